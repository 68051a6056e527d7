// The companion's record reader against any bytes as replays.csv.
//
// Input: the whole of the file.
//
// Properties: every line read names a replay the plug-in can have saved
// (no folder, the replay extension), at a time that exists; its player is
// 0..16, and its fastest lap and car are both set or both not; lines come
// in file order, and no line is both read and skipped; there is at most one
// warning per cause, however many lines are damaged; every value read is
// UTF-8, decoded once; and the plug-in's form of every line read (what
// repair writes, as text) reads back whole, to the same facts and the same
// form.
#include <stdint.h>

#include <set>
#include <string>

#include "fuzz_input.h"
#include "library/record/record_writer.h"
#include "library/record/record_reader.h"
#include "library/text/utf8_text.h"

// The causes the reader tells apart, each told at most once.
static const size_t fuzz_causes = 10;

static bool fuzz_valid_time(const ra_time &t) {
    ra_time back;
    return ra_parse_time(ra_format_time(t), &back) && back == t;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text((const char *)data, size);
    ra_records records;
    ra_parse_records(text, "replays.csv", &records);
    FUZZ_CHECK(records.warnings.size() <= fuzz_causes);

    std::set<int> skipped(records.skipped.begin(), records.skipped.end());
    int last = 0;
    std::string form;
    for (const ra_record &r : records.lines) {
        FUZZ_CHECK(r.line > last);
        last = r.line;
        FUZZ_CHECK(skipped.count(r.line) == 0);
        FUZZ_CHECK(r.file.find_first_of("/\\:") == std::string::npos);
        FUZZ_CHECK(r.file.size() >= 4);
        FUZZ_CHECK(fuzz_valid_time(r.saved));
        FUZZ_CHECK(r.get("saved") == ra_format_time(r.saved));
        FUZZ_CHECK(r.player >= 0 && r.player <= 16);
        FUZZ_CHECK(r.fastest_car >= 0 && r.fastest_car <= 16);
        FUZZ_CHECK((r.fastest_car == 0) == (r.fastest_lap == 0));
        for (const std::string &value : ra_record_fields(r)) FUZZ_CHECK(ra_is_utf8(value));
        form += ra_plugin_form(r);
    }

    // What repair writes: the plug-in's header, then each line in its form.
    std::string header;
    for (const std::string &c : ra_plugin_columns()) header += (header.empty() ? "" : ",") + c;
    ra_records again;
    ra_parse_records(header + "\r\n" + form, "replays.csv", &again, ra_record_bytes::utf8);
    FUZZ_CHECK(again.warnings.empty());
    FUZZ_CHECK(again.skipped.empty());
    FUZZ_CHECK(again.lines.size() == records.lines.size());
    for (size_t i = 0; i < again.lines.size(); ++i) {
        const ra_record &a = records.lines[i], &b = again.lines[i];
        FUZZ_CHECK(a.file == b.file);
        FUZZ_CHECK(a.saved == b.saved);
        FUZZ_CHECK(a.player == b.player);
        FUZZ_CHECK(a.fastest_lap == b.fastest_lap && a.fastest_car == b.fastest_car);
        FUZZ_CHECK(ra_plugin_form(a) == ra_plugin_form(b));
    }
    return 0;
}
