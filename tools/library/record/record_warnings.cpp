// The warnings about a record file's lines, a sentence per cause.
#include "library/record/record_warnings.h"

namespace {

// A warning's text. Where a part depends on the count, "{one|more}" gives
// both; the other names in braces stand for:
//   {lines}         "1 line (line 7)" or "3 lines (the first is line 7)"
//   {count} {line}  how many, and the first one's line
//   {example}       the value that shows it, as the file has it
//   {skipped}       what happens to such lines
//   {repair}        the command that shows what a repair would write
//   {repair_apply}  the command that writes the file back
struct ra_warning_row {
    ra_record_cause cause;
    const char *text;
};

constexpr ra_warning_row ra_warning_rows[] = {
    {ra_cause_not_ours,
     "not the plug-in's record file (its first line names no \"file\" and \"saved\" columns); it "
     "is not used"},
    {ra_cause_no_header,
     "{lines} {is|are} not in the plug-in's own form, and the first line of the file is not its "
     "header, so they cannot be read{skipped}{repair}"},
    {ra_cause_semicolons,
     "a spreadsheet changed the separator to \";\". The lines are read all the same, but the "
     "plug-in goes on adding lines with \",\"{repair_apply}"},
    {ra_cause_tabs,
     "a spreadsheet changed the separator to a tab. The lines are read all the same, but the "
     "plug-in goes on adding lines with \",\"{repair_apply}"},
    {ra_cause_times,
     "{lines} {has its time|have their times} in a spreadsheet's form, such as \"{example}\". "
     "They are read all the same{repair_apply}"},
    {ra_cause_dates_day_first,
     "{count} {date|dates} such as \"{example}\" (line {line}) could be day/month or month/day, "
     "and no date of the file tells which; they were read day first. Check the dates that list "
     "shows before you repair the file"},
    {ra_cause_dates_month_first,
     "{count} {date|dates} such as \"{example}\" (line {line}) could be day/month or month/day, "
     "and no date of the file tells which; they were read month first, as where clocks show AM "
     "and PM. Check the dates that list shows before you repair the file"},
    {ra_cause_open_quote,
     "{lines} {has|have} a quote that is not closed before the line ends. The plug-in never "
     "writes that, so a quote was typed or the line was cut there{skipped}{repair}"},
    {ra_cause_stray_quote,
     "{lines} {has|have} a quote inside a field, as in \"ALPINE\"x, which the plug-in never "
     "writes{skipped}{repair}"},
    {ra_cause_fields,
     "{lines} {does|do} not fit the header ({example}), so the values cannot be told apart. A "
     "value was added or removed there by hand or by a program{skipped}{repair}"},
    {ra_cause_file,
     "{lines} {names|name} no replay the plug-in can have saved, such as \"{example}\"{skipped}"},
    {ra_cause_saved,
     "{lines} {has|have} a saved time that cannot be read, such as \"{example}\"{skipped}"},
    {ra_cause_source,
     "{lines} {names|name} another file than the game's replay.rp4 as the source, such as "
     "\"{example}\"{skipped}"},
};
constexpr bool ra_one_row_per_cause(void) {
    int cause = 0;
    for (const ra_warning_row &row : ra_warning_rows) {
        if (row.cause != cause++) return false;
    }
    return cause == ra_cause_count;
}
static_assert(ra_one_row_per_cause(), "one message per cause, in the order of the causes");

// The text of a row for what was seen. Only the row is scanned for
// braces: what the file gave goes in as it is.
std::string ra_warning_text(const char *text, int count, int line, const std::string &example) {
    const bool one = count == 1;
    std::string out;
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p != '{') {
            out += *p;
            continue;
        }
        const char *close = p;
        while (*close != '}' && *close != '\0') ++close;
        const std::string name(p + 1, close);
        p = *close == '\0' ? close - 1 : close;
        const size_t bar = name.find('|');
        if (bar != std::string::npos) {
            out += one ? name.substr(0, bar) : name.substr(bar + 1);
        } else if (name == "lines") {
            out += std::to_string(count) + (one ? " line (line " : " lines (the first is line ") +
                   std::to_string(line) + ")";
        } else if (name == "count") {
            out += std::to_string(count);
        } else if (name == "line") {
            out += std::to_string(line);
        } else if (name == "example") {
            out += example;
        } else if (name == "skipped") {
            out += one ? ": it is skipped, and the other lines read"
                       : ": they are skipped, and the other lines read";
        } else if (name == "repair") {
            out += "; \"replay-autosave repair\" shows what it would write back";
        } else if (name == "repair_apply") {
            out +=
                ": \"replay-autosave repair --apply\" writes the file back in the plug-in's form";
        }
    }
    return out;
}

}  // namespace

void ra_record_trouble::note(ra_record_cause cause, int line, const std::string &example) {
    ra_seen &s = seen_[cause];
    if (s.count++ == 0) {
        s.line = line;
        s.example = example;
    }
}

std::vector<std::string> ra_record_trouble::warnings(const std::string &shown,
                                                     bool any_read) const {
    std::vector<std::string> out;
    const bool not_ours = seen_[ra_cause_no_header].count > 0 && !any_read;
    for (const ra_warning_row &row : ra_warning_rows) {
        const ra_seen &s = seen_[row.cause];
        const bool told = row.cause == ra_cause_not_ours ? not_ours : !not_ours && s.count > 0;
        if (told)
            out.push_back(shown + ": " + ra_warning_text(row.text, s.count, s.line, s.example));
    }
    return out;
}
