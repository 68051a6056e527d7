// The library page built from hostile records.
//
// Input: record lines (any bytes) under a header with every column the page
// shows; the races made from them take every state and kind, and some are
// moved to years of five digits, as a file's time stamp can be.
//
// Properties: no crash; outside the page's own style and script, every tag
// is one the page makes, with attributes it makes and values in double
// quotes that hold no '<' or '"' (so no markup came from game text). The
// charts are drawn by the page's script, from the rows.
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "fuzz_input.h"
#include "library/page/library_page.h"
#include "library/record/record_reader.h"
#include "library/replays/replays.h"

namespace {

const char fuzz_header[] =
    "file,saved,type,track,laps,cars,weather,player,name1,name2,name3,best_lap_car1,"
    "best_lap_car2,best_lap_car3\r\n";

const char *const fuzz_tags[] = {
    "!DOCTYPE", "html",  "head",  "meta",  "title", "style", "body",   "main",   "h1",    "h2",
    "p",        "span",  "ul",    "li",    "form",  "label", "select", "option", "input", "div",
    "section",  "table", "thead", "tbody", "tr",    "th",    "td",     "button", "script"};
const char *const fuzz_attributes[] = {
    "lang", "charset", "name",        "content",  "http-equiv",      "nonce",
    "id",   "class",   "role",        "hidden",   "value",           "selected",
    "type", "size",    "placeholder", "data-key", "aria-labelledby", "html"};

bool fuzz_in(const std::string &word, const char *const *list, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (word == list[i]) return true;
    }
    return false;
}

bool fuzz_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '!';
}

// Checks the tag that starts at page[at] ('<'); returns where it ends.
size_t fuzz_check_tag(const std::string &page, size_t at) {
    size_t i = at + 1;
    if (i < page.size() && page[i] == '/') ++i;
    size_t name_start = i;
    while (i < page.size() && fuzz_name_char(page[i])) ++i;
    std::string tag = page.substr(name_start, i - name_start);
    FUZZ_CHECK(fuzz_in(tag, fuzz_tags, sizeof fuzz_tags / sizeof *fuzz_tags));
    for (;;) {
        while (i < page.size() && page[i] == ' ') ++i;
        FUZZ_CHECK(i < page.size());
        if (page[i] == '>') return i + 1;
        if (page[i] == '/' && i + 1 < page.size() && page[i + 1] == '>') return i + 2;
        size_t attr_start = i;
        while (i < page.size() && fuzz_name_char(page[i])) ++i;
        std::string attribute = page.substr(attr_start, i - attr_start);
        FUZZ_CHECK(
            fuzz_in(attribute, fuzz_attributes, sizeof fuzz_attributes / sizeof *fuzz_attributes));
        if (i >= page.size() || page[i] != '=') continue;  // a bare attribute
        FUZZ_CHECK(i + 1 < page.size() && page[i + 1] == '"');
        size_t close = page.find('"', i + 2);
        FUZZ_CHECK(close != std::string::npos);
        std::string value = page.substr(i + 2, close - i - 2);
        FUZZ_CHECK(value.find('<') == std::string::npos);
        i = close + 1;
    }
}

// Whether the tag at `at` is `open` ("<style"), with or without attributes.
bool fuzz_opens(const std::string &page, size_t at, const char *open) {
    size_t n = strlen(open);
    return page.compare(at, n, open) == 0 && at + n < page.size() &&
           (page[at + n] == '>' || page[at + n] == ' ');
}

// Skips the raw text of our own <style> or <script> up to its end tag.
size_t fuzz_skip_raw(const std::string &page, size_t at, const char *end_tag) {
    size_t end = page.find(end_tag, at);
    FUZZ_CHECK(end != std::string::npos);
    return end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ra_replay_list list;
    ra_parse_records(fuzz_header + std::string((const char *)data, size), "replays.csv",
                     &list.records);
    for (const ra_record &r : list.records.lines) {
        ra_replay replay;
        replay.file = r.file;
        replay.when = r.saved;
        if (r.line % 7 == 3) replay.when.year += 9000 * (r.line % 3 + 1);
        switch (r.line % 6) {
        case 0:
            replay.kind = ra_replay_kind::backup;
            replay.holds = r;
            break;
        case 1:
            replay.kind = ra_replay_kind::unrecorded;
            break;
        default:
            replay.record = r;
            replay.state = (ra_replay_state)(r.line % 4);
        }
        if (replay.state == ra_replay_state::renamed) replay.file = "renamed " + r.file;
        list.replays.push_back(replay);
    }
    std::string page = ra_library_page(list, "C:\\<Dir>", "2026-03-09 10:00:00");

    for (size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at)) {
        // Our own, with or without a nonce.
        if (fuzz_opens(page, at, "<style")) {
            at = fuzz_skip_raw(page, at, "</style>");
        } else if (fuzz_opens(page, at, "<script")) {
            at = fuzz_skip_raw(page, at, "</script>");
        }
        at = fuzz_check_tag(page, at);
    }
    return 0;
}
