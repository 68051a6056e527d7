// Address scrubbing of a fuzzed replay file, and the dotted-quad scan.
//
// Input: the whole file. It is written to a temporary file through the POSIX
// calls, scrubbed through the Windows stand-ins, and read back.
//
// Properties of the scrub: the file keeps its length; bytes from 6308 on are
// untouched; a file shorter than 6308 bytes is untouched; every changed byte
// became 0 and lies in the block 56..63 or in a quad that a reference scan
// finds, and every byte of such a quad is 0 afterwards. The reference scan
// follows the rule on the original bytes: the block cleared first (when not
// all zero), then from position 0 each quad that ra_quad_len reports is
// skipped whole, any other position by one.
//
// Properties of ra_quad_len, called at every position of an exactly sized
// copy of the region (so ASan stops a read past the limit): a length is 0
// or 7 to 15 and within the limit, and covers four groups of one to three
// digits joined by single dots, with no digit or dot right after it.
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "autosave/autosave.h"
#include "fuzz_input.h"

static char fuzz_path[64];

static void fuzz_remove_file(void) { unlink(fuzz_path); }

static const char *fuzz_file(void) {
    if (fuzz_path[0] == '\0') {
        strcpy(fuzz_path, "/tmp/ra-fuzz-scrub-XXXXXX");
        int fd = mkstemp(fuzz_path);
        FUZZ_CHECK(fd >= 0);
        close(fd);
        atexit(fuzz_remove_file);
    }
    return fuzz_path;
}

static bool fuzz_write_all(const char *path, const uint8_t *data, size_t size) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return false;
    size_t put = 0;
    while (put < size) {
        ssize_t n = write(fd, data + put, size - put);
        if (n <= 0) break;
        put += (size_t)n;
    }
    return close(fd) == 0 && put == size;
}

static std::vector<uint8_t> fuzz_read_all(const char *path) {
    std::vector<uint8_t> bytes;
    int fd = open(path, O_RDONLY);
    FUZZ_CHECK(fd >= 0);
    uint8_t chunk[4096];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    close(fd);
    return bytes;
}

static bool fuzz_digit(uint8_t c) { return c >= '0' && c <= '9'; }

// What a reported quad must look like.
static void fuzz_check_quad(const uint8_t *p, uint32_t limit, uint32_t n) {
    FUZZ_CHECK(n <= limit);
    FUZZ_CHECK(n >= RA_QUAD_MIN && n <= 15);
    uint32_t dots = 0, run = 0, value = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (p[i] == '.') {
            FUZZ_CHECK(run >= 1);  // no empty group
            ++dots;
            run = 0;
            value = 0;
            continue;
        }
        FUZZ_CHECK(fuzz_digit(p[i]));
        ++run;
        value = value * 10 + (uint32_t)(p[i] - '0');
        FUZZ_CHECK(run <= 3 && value <= 255);
    }
    FUZZ_CHECK(dots == 3 && run >= 1);
    FUZZ_CHECK(n == limit || (!fuzz_digit(p[n]) && p[n] != '.'));
}

static void fuzz_quad_scan(const uint8_t *data, size_t size) {
    const uint32_t region = size < RA_SCRUB_REGION ? (uint32_t)size : RA_SCRUB_REGION;
    uint8_t *copy = (uint8_t *)malloc(region);
    if (region) memcpy(copy, data, region);
    for (uint32_t p = 0; p < region; ++p) {
        uint32_t n = ra_quad_len(copy + p, region - p);
        if (n != 0) fuzz_check_quad(copy + p, region - p, n);
    }
    free(copy);
}

// 1 for each byte of the region that the scrub may clear, and must.
static std::vector<uint8_t> fuzz_reference(const uint8_t *original) {
    std::vector<uint8_t> region(original, original + RA_SCRUB_REGION);
    std::vector<uint8_t> cleared(RA_SCRUB_REGION, 0);
    bool block_set = false;
    for (uint32_t i = 0; i < RA_SCRUB_BLOCK_SIZE; ++i) {
        block_set = block_set || region[RA_SCRUB_BLOCK_OFFSET + i] != 0;
    }
    if (block_set) {
        for (uint32_t i = 0; i < RA_SCRUB_BLOCK_SIZE; ++i) {
            region[RA_SCRUB_BLOCK_OFFSET + i] = 0;
            cleared[RA_SCRUB_BLOCK_OFFSET + i] = 1;
        }
    }
    uint32_t pos = 0;
    while (pos + RA_QUAD_MIN <= RA_SCRUB_REGION) {
        uint32_t n = ra_quad_len(region.data() + pos, RA_SCRUB_REGION - pos);
        if (n == 0) {
            ++pos;
            continue;
        }
        for (uint32_t i = 0; i < n; ++i) cleared[pos + i] = 1;
        pos += n;
    }
    return cleared;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_quad_scan(data, size);

    const char *path = fuzz_file();
    FUZZ_CHECK(fuzz_write_all(path, data, size));
    ra_scrub_ip(path);
    std::vector<uint8_t> after = fuzz_read_all(path);

    FUZZ_CHECK(after.size() == size);
    if (size < RA_SCRUB_REGION) {
        FUZZ_CHECK(size == 0 || memcmp(after.data(), data, size) == 0);
        return 0;
    }
    FUZZ_CHECK(memcmp(after.data() + RA_SCRUB_REGION, data + RA_SCRUB_REGION,
                      size - RA_SCRUB_REGION) == 0);
    std::vector<uint8_t> cleared = fuzz_reference(data);
    for (uint32_t i = 0; i < RA_SCRUB_REGION; ++i) {
        if (cleared[i]) {
            FUZZ_CHECK(after[i] == 0);
        } else {
            FUZZ_CHECK(after[i] == data[i]);
        }
    }
    return 0;
}
