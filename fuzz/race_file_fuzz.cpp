// The simulator's race-file reader against fuzzed text.
//
// Input: the text of a race file.
//
// Properties: no crash; a refusal always comes with a message that begins
// "<source>:<line>:" with a line number from 1 to the number of lines of the
// text (a last line without its newline counts).
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "fuzz_input.h"
#include "race_file.h"

static const char fuzz_source[] = "race.ini";

static size_t fuzz_line_count(const std::string &text) {
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    if (!text.empty() && text.back() != '\n') ++lines;
    return lines;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text((const char *)data, size);
    sim_race_file race;
    std::string error;
    if (sim_parse_race_file(text, fuzz_source, &race, &error)) return 0;

    const std::string prefix = std::string(fuzz_source) + ":";
    FUZZ_CHECK(error.compare(0, prefix.size(), prefix) == 0);
    size_t at = prefix.size();
    size_t line = 0;
    size_t digits = 0;
    while (at < error.size() && error[at] >= '0' && error[at] <= '9' && digits < 12) {
        line = line * 10 + (size_t)(error[at] - '0');
        ++at;
        ++digits;
    }
    FUZZ_CHECK(digits > 0 && digits < 12);
    FUZZ_CHECK(at < error.size() && error[at] == ':');
    FUZZ_CHECK(line >= 1 && line <= fuzz_line_count(text));
    return 0;
}
