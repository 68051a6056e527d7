// The expected-bytes matcher against fuzzed patterns and memory.
//
// Input: the pattern up to a NUL, then the memory bytes; length is the
// number of memory bytes. The pattern lives in a heap block of exactly its
// length plus terminator, the memory in one of exactly length bytes, so that
// ASan stops any read past either.
//
// Properties: the result agrees with a reference that first collects the
// counting characters; and the pattern is read no further than the byte
// descriptions it needs: cut right after the last character the walk uses,
// with no terminator at all, it gives the same result (a length of 0 reads
// nothing of it).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "fuzz_input.h"
#include "host/host.h"

static bool fuzz_counts(uint8_t c) { return c == '?' || vq_hexv_(c) >= 0; }

// Pairs of counting characters, one pair per byte; a lone last character
// matches its byte, a missing one fails.
static int fuzz_reference(const std::vector<uint8_t> &chars, const uint8_t *mem, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) {
        size_t at = 2 * (size_t)i;
        if (at >= chars.size()) return 0;
        if (at + 1 == chars.size()) continue;
        uint8_t hi = chars[at], lo = chars[at + 1];
        if (hi == '?' || lo == '?') continue;
        if (mem[i] != vq_hexv_(hi) * 16 + vq_hexv_(lo)) return 0;
    }
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_input in{data, size};
    const uint8_t *pattern_bytes;
    size_t pattern_len = in.take_text(&pattern_bytes);
    const uint32_t length = (uint32_t)in.size;

    uint8_t *mem = (uint8_t *)malloc(length);
    if (length) memcpy(mem, in.data, length);
    char *pattern = fuzz_exact_string(pattern_bytes, pattern_len);

    std::vector<uint8_t> chars;
    size_t needed_end = 0;  // pattern bytes up to the last counting character used
    for (size_t i = 0; i < pattern_len; ++i) {
        if (!fuzz_counts(pattern_bytes[i])) continue;
        chars.push_back(pattern_bytes[i]);
        if (chars.size() == 2 * (size_t)length) needed_end = i + 1;
    }

    int result = vqsdk_hex_match(mem, length, pattern);
    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(result == fuzz_reference(chars, mem, length));

    // Enough descriptions for every byte: nothing after them is looked at.
    if (chars.size() >= 2 * (size_t)length) {
        char *cut = (char *)malloc(needed_end);
        if (needed_end) memcpy(cut, pattern_bytes, needed_end);
        FUZZ_CHECK(vqsdk_hex_match(mem, length, cut) == result);
        free(cut);
    }

    free(pattern);
    free(mem);
    return 0;
}
