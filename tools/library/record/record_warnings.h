// What the reader of the record file tells the player about its lines:
// each cause of trouble once, however many lines it hit, with how many,
// the first of them and a value that shows it. The messages are a table
// from cause to text (record_warnings.cpp).
#pragma once

#include <string>
#include <vector>

// The causes, in the order their warnings are given.
enum ra_record_cause {
    ra_cause_not_ours,           // no line could be read and none is a header of ours
    ra_cause_no_header,          // the first line is no header of ours
    ra_cause_semicolons,         // a spreadsheet's ';' between the fields (read all the same)
    ra_cause_tabs,               // a spreadsheet's tab between the fields (read all the same)
    ra_cause_times,              // a spreadsheet's form of times (read all the same)
    ra_cause_dates_day_first,    // slashed dates no date of the file orders, read day first
    ra_cause_dates_month_first,  // the same, read month first
    ra_cause_open_quote,         // a quote still open at the line's end
    ra_cause_stray_quote,        // a quote in an unquoted field, or text after a closing one
    ra_cause_fields,             // more or fewer fields than the header
    ra_cause_file,               // no name the plug-in can have saved
    ra_cause_saved,              // no saved time that can be read
    ra_cause_source,             // a source that is not the game's replay
    ra_cause_count,
};

// The trouble met in one file.
class ra_record_trouble {
public:
    // One more line (or date) of this cause; the first one's line and
    // example are the ones told.
    void note(ra_record_cause cause, int line, const std::string &example = std::string());

    // The warnings, each starting with "shown: ". When no line could be
    // read and the first one was no header, the file is not the plug-in's
    // and only that is said (any_read: some line was read).
    std::vector<std::string> warnings(const std::string &shown, bool any_read) const;

private:
    struct ra_seen {
        int count = 0;
        int line = 0;         // the first line of this cause
        std::string example;  // a value that shows it, or empty
    };
    ra_seen seen_[ra_cause_count];
};
