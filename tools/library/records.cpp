// Reading the plug-in's record file.
#include "library/records.h"

#include <stdio.h>
#include <string.h>

#include <system_error>
#include <unordered_map>

#include "autosave/autosave.h"
#include "library/csv.h"
#include "library/files.h"
#include "naming/naming.h"
#include "settings/settings.h"
#include "library/sheet_time.h"
#include "snapshot/race_context.h"

// The plug-in names the file; we only read it.
const char ra_records_file[] = RA_RECORD_FILE;

// A line without a file and a saved time is of no use; a header without
// them is not the plug-in's.
const char ra_column_file[] = "file";
const char ra_column_saved[] = "saved";
const char ra_column_started[] = "started";
const char ra_column_type[] = "type";
const char ra_column_track[] = "track";
const char ra_column_laps[] = "laps";
const char ra_column_source[] = "source";
const char ra_column_best_lap[] = "best_lap_car";
const char ra_column_player[] = "player";

struct ra_record_layout {
    std::vector<std::string> names;
    std::unordered_map<std::string, uint32_t> index;  // position of each name

    explicit ra_record_layout(const std::vector<std::string> &columns) : names(columns) {
        // Of a name given twice, the first counts.
        for (uint32_t i = 0; i < names.size(); ++i) index.emplace(names[i], i);
    }
    // The position of the column, or -1.
    long at(const std::string &column) const {
        auto found = index.find(column);
        return found == index.end() ? -1 : (long)found->second;
    }
};

// One string for all values and where each ends: two blocks per line
// instead of one per value, or a map of all of them.
struct ra_record_values {
    std::string data;
    std::vector<uint32_t> ends;

    std::string value(long i) const {
        if (i < 0 || (size_t)i >= ends.size()) return std::string();
        uint32_t start = i == 0 ? 0 : ends[(size_t)i - 1];
        return data.substr(start, ends[(size_t)i] - start);
    }
};

namespace {

const char ra_utf8_bom[] = "\xEF\xBB\xBF";
// Separators a spreadsheet may have written instead of the plug-in's comma.
const char ra_separators[] = {',', ';', '\t'};

// What went wrong with the file's lines: each cause is told once.
enum ra_cause {
    ra_cause_open_quote,   // a quote still open at the line's end
    ra_cause_stray_quote,  // a quote in an unquoted field, or text after a closing one
    ra_cause_fields,       // more or fewer fields than the header
    ra_cause_file,         // no name the plug-in can have saved
    ra_cause_saved,        // no saved time that can be read
    ra_cause_source,       // a source that is not the game's replay
    ra_cause_separator,    // a spreadsheet's separator (read all the same)
    ra_cause_times,        // a spreadsheet's form of times (read all the same)
    ra_cause_ambiguous,    // slashed dates whose order no date of the file tells
    ra_cause_no_header,    // the first line is no header of ours
    ra_cause_count,
};

struct ra_cause_seen {
    int count = 0;
    int line = 0;         // the first line of this cause
    std::string example;  // a value that shows it, or empty
};

// A name the plug-in can have saved in Dir: characters it keeps in names
// only, and its extension. Anything else (a folder, "..") is foreign and
// must never lead us out of Dir.
bool ra_saved_name(const std::string &name) {
    const size_t ext = sizeof RA_REPLAY_EXT - 1;
    if (name.size() < ext || !ra_ieq(name.c_str() + name.size() - ext, RA_REPLAY_EXT)) return false;
    for (char c : name) {
        if (!vqra_char_ok((unsigned char)c)) return false;
    }
    return true;
}

// The game's replay, in any folder: the only file a restore writes to.
bool ra_replay_source(const std::string &path) {
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Compared whole: a NUL in the value must not end the name early.
    return name.size() == strlen(RA_REPLAY_FILE) && ra_ieq(name.c_str(), RA_REPLAY_FILE) != 0;
}

// The plug-in marks a text that a spreadsheet would run as a formula with
// a leading "'" (and one that starts with "'" with one more); the mark is
// taken off again.
void ra_unmark(std::string *value) {
    if (value->size() < 2 || (*value)[0] != '\'') return;
    if (strchr("=+-@\t\r'", (*value)[1]) != nullptr) value->erase(0, 1);
}

bool ra_names(const std::vector<std::string> &fields, const char *a, const char *b) {
    bool has_a = false, has_b = false;
    for (const std::string &f : fields) {
        has_a = has_a || f == a;
        has_b = has_b || f == b;
    }
    return has_a && has_b;
}

bool ra_all_empty(const std::vector<std::string> &fields) {
    for (const std::string &f : fields) {
        if (!f.empty()) return false;
    }
    return true;
}

bool ra_lap_column(const std::string &column) {
    return column.compare(0, 12, "best_lap_car") == 0 ||
           column.compare(0, 14, "total_time_car") == 0;
}

// A lap time as the plug-in writes it ("80.10", "0.00") where a spreadsheet
// dropped its zeros ("80.1", "0"); any other text as it is.
std::string ra_plugin_lap(const std::string &value) {
    uint32_t lap = ra_parse_lap(value);
    if (lap != 0) return ra_format_lap_seconds(lap);
    if (!value.empty() && value.find_first_not_of("0.,") == std::string::npos &&
        value.find_first_of("0") == 0) {
        return ra_format_lap_seconds(0);
    }
    return value;
}

// A value as the plug-in writes a text: control bytes as '_', a "'" before
// a text a spreadsheet would run as a formula, quoted when it must be. The
// plug-in's numbers and words never start with such a character, so this
// serves every column.
std::string ra_plugin_field(std::string value) {
    for (char &c : value) {
        if ((unsigned char)c < 0x20u || c == 0x7F) c = '_';
    }
    if (!value.empty() && strchr("=+-@'", value[0]) != nullptr) {
        std::string quoted = "\"'";
        for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + "\"";
    }
    return ra_csv_field(value);
}

}  // namespace

std::string ra_plugin_form(const ra_record &record) {
    std::string line;
    bool first = true;
    for (const std::string &column : ra_plugin_columns()) {
        std::string value = record.get(column);
        if (ra_lap_column(column)) value = ra_plugin_lap(value);
        line += (first ? "" : ",") + ra_plugin_field(value);
        first = false;
    }
    return line + "\r\n";
}

namespace {

// The whole reading of one file.
class ra_reader {
public:
    ra_reader(const std::string &text, size_t start, const std::string &shown, ra_records *out)
        : text_(text), start_(start), shown_(shown), out_(out) {}

    void read();

private:
    // The line's layout and fields: the plug-in's own for exactly its
    // number of comma-separated fields, else the header's. Null for a line
    // that carries nothing, a header, or (with *damaged) one that cannot be
    // read, its cause noted unless quiet.
    const std::shared_ptr<const ra_record_layout> *classify(const char *begin, const char *end,
                                                            int line, bool quiet, bool *damaged);
    bool make(const ra_record_layout &layout, int line, ra_record *out);
    bool time_of(const std::string &text, int line, ra_time *out, bool *sheet);
    void note(ra_cause cause, int line, const std::string &example = std::string());
    void vote(const char *begin, const char *end, int line);
    void warn();

    const std::string &text_;
    size_t start_;
    const std::string &shown_;
    ra_records *out_;

    std::shared_ptr<const ra_record_layout> plugin_;
    std::shared_ptr<const ra_record_layout> header_;
    char sep_ = ',';
    std::vector<std::string> fields_;
    ra_cause_seen seen_[ra_cause_count];
    ra_date_order order_ = ra_date_order::day_first;
    bool order_known_ = false;
    bool twelve_hour_ = false;
    int ambiguous_ = 0, ambiguous_line_ = 0;
    std::string ambiguous_example_;
};

void ra_reader::note(ra_cause cause, int line, const std::string &example) {
    ra_cause_seen &s = seen_[cause];
    if (s.count++ == 0) {
        s.line = line;
        s.example = example;
    }
}

const std::shared_ptr<const ra_record_layout> *ra_reader::classify(const char *begin,
                                                                   const char *end, int line,
                                                                   bool quiet, bool *damaged) {
    *damaged = false;
    ra_csv_fault fault = ra_csv_split(begin, end, ',', &fields_);
    if (fault == ra_csv_fault::none && fields_.size() == plugin_->names.size()) return &plugin_;
    if (sep_ != ',') fault = ra_csv_split(begin, end, sep_, &fields_);
    // An empty line, or one of separators only, carries nothing; it is no damage either.
    if (fault == ra_csv_fault::none && ra_all_empty(fields_)) return nullptr;
    if (fault != ra_csv_fault::none) {
        *damaged = true;
        if (!quiet) {
            note(fault == ra_csv_fault::open_quote ? ra_cause_open_quote : ra_cause_stray_quote,
                 line);
        }
        return nullptr;
    }
    // A header again, as where two record files were joined: the lines
    // after it are read by it.
    if (ra_names(fields_, ra_column_file, ra_column_saved)) {
        if (!quiet) header_ = std::make_shared<const ra_record_layout>(fields_);
        return nullptr;
    }
    if (header_ == nullptr || fields_.size() != header_->names.size()) {
        *damaged = true;
        if (!quiet && header_ == nullptr) note(ra_cause_no_header, line);
        if (!quiet && header_ != nullptr) {
            note(ra_cause_fields, line,
                 std::to_string(fields_.size()) + " fields where the header has " +
                     std::to_string(header_->names.size()));
        }
        return nullptr;
    }
    return &header_;
}

bool ra_reader::time_of(const std::string &text, int line, ra_time *out, bool *sheet) {
    if (ra_parse_time(text, out)) return true;
    ra_sheet_time t;
    if (!ra_parse_sheet_time(text, order_, &t)) return false;
    *sheet = true;
    if (t.slashed && !order_known_ && t.a <= 12 && t.b <= 12 && t.a != t.b) {
        if (ambiguous_++ == 0) {
            ambiguous_line_ = line;
            ambiguous_example_ = text;
        }
    }
    *out = t.time;
    return true;
}

bool ra_reader::make(const ra_record_layout &layout, int line, ra_record *out) {
    ra_record record;
    record.line = line;
    // Values in their layout's order, unmarked, times in the plug-in's form.
    auto values = std::make_shared<ra_record_values>();
    const long file = layout.at(ra_column_file), saved = layout.at(ra_column_saved),
               started = layout.at(ra_column_started);
    bool sheet = false;
    size_t total = 0;
    for (const std::string &f : fields_) total += f.size();
    values->data.reserve(total);
    values->ends.reserve(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
        std::string &f = fields_[i];
        ra_unmark(&f);
        if ((long)i == saved) {
            if (!time_of(f, line, &record.saved, &sheet)) {
                note(ra_cause_saved, line, f);
                return false;
            }
            if (sheet) note(ra_cause_times, line, f);
            f = ra_format_time(record.saved);
        } else if ((long)i == started && !f.empty()) {
            ra_time when;
            if (time_of(f, line, &when, &sheet)) f = ra_format_time(when);
        }
        values->data += f;
        values->ends.push_back((uint32_t)values->data.size());
    }
    record.file = values->value(file);
    if (!ra_saved_name(record.file)) {
        note(ra_cause_file, line, record.file);
        return false;
    }
    const std::string source = values->value(layout.at(ra_column_source));
    if (!source.empty() && !ra_replay_source(source)) {
        note(ra_cause_source, line, source);
        return false;
    }
    for (int car = 1; car <= RA_CARS; ++car) {
        uint32_t lap =
            ra_parse_lap(values->value(layout.at(ra_column_best_lap + std::to_string(car))));
        if (lap != 0 && (record.fastest_lap == 0 || lap < record.fastest_lap)) {
            record.fastest_lap = lap;
            record.fastest_car = car;
        }
    }
    const std::string player = values->value(layout.at(ra_column_player));
    if (player.size() <= 2 && !player.empty() &&
        player.find_first_not_of("0123456789") == std::string::npos) {
        int car = std::stoi(player);
        record.player = car >= 1 && car <= RA_CARS ? car : 0;
    }
    record.values = std::move(values);
    *out = std::move(record);
    return true;
}

// Slashed dates tell their order where a number is above 12: 25/3 is day
// first, 3/25 month first.
void ra_reader::vote(const char *begin, const char *end, int line) {
    bool damaged;
    const std::shared_ptr<const ra_record_layout> *layout =
        classify(begin, end, line, true, &damaged);
    if (layout == nullptr) return;
    for (const char *column : {ra_column_saved, ra_column_started}) {
        long i = (*layout)->at(column);
        if (i < 0 || (size_t)i >= fields_.size()) continue;
        ra_sheet_time t;
        if (!ra_parse_sheet_time(fields_[(size_t)i], ra_date_order::day_first, &t) &&
            !ra_parse_sheet_time(fields_[(size_t)i], ra_date_order::month_first, &t)) {
            continue;
        }
        twelve_hour_ = twelve_hour_ || t.twelve_hour;
        if (!t.slashed || order_known_) continue;
        if (t.a > 12) {
            order_ = ra_date_order::day_first;
            order_known_ = true;
        } else if (t.b > 12) {
            order_ = ra_date_order::month_first;
            order_known_ = true;
        }
    }
}

void ra_reader::read() {
    plugin_ = std::make_shared<const ra_record_layout>(ra_plugin_columns());
    ra_csv_lines lines;
    lines.text = &text_;
    lines.pos = start_;
    const char *begin, *end;
    if (!ra_csv_next_line(&lines, &begin, &end)) return;
    // The header tells the separator: the one that gives it our columns.
    for (char sep : ra_separators) {
        if (ra_csv_split(begin, end, sep, &fields_) == ra_csv_fault::none &&
            ra_names(fields_, ra_column_file, ra_column_saved)) {
            sep_ = sep;
            header_ = std::make_shared<const ra_record_layout>(fields_);
            break;
        }
    }
    if (header_ == nullptr) {
        // No header: the first line may be one of ours all the same.
        lines = ra_csv_lines();
        lines.text = &text_;
        lines.pos = start_;
    } else if (sep_ != ',') {
        note(ra_cause_separator, 1);
    }
    const ra_csv_lines first = lines;
    const std::shared_ptr<const ra_record_layout> header = header_;

    // Slashed dates: which number is the day is decided for the whole file.
    if (text_.find('/', lines.pos) != std::string::npos) {
        while (ra_csv_next_line(&lines, &begin, &end)) vote(begin, end, lines.line);
        // Without a number above 12, a clock of AM and PM says month first.
        if (!order_known_ && twelve_hour_) order_ = ra_date_order::month_first;
        lines = first;
        header_ = header;
    }

    while (ra_csv_next_line(&lines, &begin, &end)) {
        bool damaged;
        const std::shared_ptr<const ra_record_layout> *layout =
            classify(begin, end, lines.line, false, &damaged);
        ra_record record;
        if (layout != nullptr && make(**layout, lines.line, &record)) {
            record.layout = *layout;
            out_->lines.push_back(std::move(record));
        } else if (layout != nullptr || damaged) {
            out_->skipped.push_back(lines.line);
        }
    }
    warn();
}

void ra_reader::warn() {
    const std::string at = shown_ + ": ";
    const ra_cause_seen *s = seen_;
    std::vector<std::string> &w = out_->warnings;
    if (s[ra_cause_no_header].count > 0 && out_->lines.empty()) {
        w.push_back(at +
                    "not the plug-in's record file (its first line names no \"file\" and "
                    "\"saved\" columns); it is not used");
        return;
    }
    // "3 lines (the first is line 7) have", "1 line (line 7) has".
    auto lines = [&](ra_cause cause, const char *one, const char *more) {
        const ra_cause_seen &c = s[cause];
        return at + std::to_string(c.count) +
               (c.count == 1 ? " line (line " : " lines (the first is line ") +
               std::to_string(c.line) + ") " + (c.count == 1 ? one : more);
    };
    auto quoted = [&](ra_cause cause) { return " \"" + s[cause].example + "\""; };
    auto skipped = [&](ra_cause cause) {
        return s[cause].count == 1 ? std::string(": it is skipped, and the other lines read")
                                   : std::string(": they are skipped, and the other lines read");
    };
    const std::string repair = "; \"replay-autosave repair\" shows what it would write back";
    const std::string repair_apply =
        ": \"replay-autosave repair --apply\" writes the file back in the plug-in's form";

    if (s[ra_cause_no_header].count > 0) {
        w.push_back(lines(ra_cause_no_header, "is", "are") +
                    " not in the plug-in's own form, and the first line of the file is not its "
                    "header, so they cannot be read" +
                    skipped(ra_cause_no_header) + repair);
    }
    if (s[ra_cause_separator].count > 0) {
        w.push_back(at + "a spreadsheet changed the separator to " +
                    (sep_ == ';' ? "\";\"" : "a tab") +
                    ". The lines are read all the same, but the plug-in goes on adding lines with "
                    "\",\"" +
                    repair_apply);
    }
    if (s[ra_cause_times].count > 0) {
        w.push_back(lines(ra_cause_times, "has its time", "have their times") +
                    " in a spreadsheet's form, such as" + quoted(ra_cause_times) +
                    ". They are read all the same" + repair_apply);
    }
    if (ambiguous_ > 0) {
        const bool month = order_ == ra_date_order::month_first;
        w.push_back(at + std::to_string(ambiguous_) + (ambiguous_ == 1 ? " date" : " dates") +
                    " such as \"" + ambiguous_example_ + "\" (line " +
                    std::to_string(ambiguous_line_) +
                    ") could be day/month or month/day, and no date of the file tells which; "
                    "they were read " +
                    (month ? "month first, as where clocks show AM and PM" : "day first") +
                    ". Check the dates that list shows before you repair the file");
    }
    if (s[ra_cause_open_quote].count > 0) {
        w.push_back(lines(ra_cause_open_quote, "has", "have") +
                    " a quote that is not closed before the line ends. The plug-in never writes "
                    "that, so a quote was typed or the line was cut there" +
                    skipped(ra_cause_open_quote) + repair);
    }
    if (s[ra_cause_stray_quote].count > 0) {
        w.push_back(lines(ra_cause_stray_quote, "has", "have") +
                    " a quote inside a field, as in \"ALPINE\"x, which the plug-in never writes" +
                    skipped(ra_cause_stray_quote) + repair);
    }
    if (s[ra_cause_fields].count > 0) {
        w.push_back(lines(ra_cause_fields, "does", "do") + " not fit the header (" +
                    s[ra_cause_fields].example +
                    "), so the values cannot be told apart. A value was added or removed "
                    "there by hand or by a program" +
                    skipped(ra_cause_fields) + repair);
    }
    if (s[ra_cause_file].count > 0) {
        w.push_back(lines(ra_cause_file, "names", "name") +
                    " no replay the plug-in can have saved, such as" + quoted(ra_cause_file) +
                    skipped(ra_cause_file));
    }
    if (s[ra_cause_saved].count > 0) {
        w.push_back(lines(ra_cause_saved, "has", "have") +
                    " a saved time that cannot be read, such as" + quoted(ra_cause_saved) +
                    skipped(ra_cause_saved));
    }
    if (s[ra_cause_source].count > 0) {
        w.push_back(lines(ra_cause_source, "names", "name") +
                    " another file than the game's replay.rp4 as the source, such as" +
                    quoted(ra_cause_source) + skipped(ra_cause_source));
    }
}

}  // namespace

std::string ra_record::get(const std::string &column) const {
    if (layout == nullptr || values == nullptr) return std::string();
    return values->value(layout->at(column));
}

const std::vector<std::string> &ra_plugin_columns(void) {
    // Taken from the plug-in's own header, so that the two cannot disagree.
    static const std::vector<std::string> columns = [] {
        char buf[RA_RECORD_BUF];
        uint32_t fill = 0;
        ra_record_header(buf, &fill);
        std::vector<std::string> names;
        ra_csv_split(buf, buf + fill - 2, ',', &names);  // without its CR LF
        return names;
    }();
    return columns;
}

void ra_parse_records(const std::string &text, const std::string &shown, ra_records *out) {
    out->found = true;
    out->lines.clear();
    out->warnings.clear();
    out->skipped.clear();
    size_t start = text.compare(0, 3, ra_utf8_bom) == 0 ? 3 : 0;
    ra_reader(text, start, shown, out).read();
}

void ra_read_records(const std::filesystem::path &dir, const std::string &shown, ra_records *out) {
    *out = ra_records();
    std::filesystem::path path = dir / ra_records_file;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return;
    out->found = true;
    std::string text, why;
    if (!ra_read_file(path, &text, &why)) {
        out->warnings.push_back("cannot read " + shown + ": " + why +
                                "; what it records is not shown");
        return;
    }
    ra_parse_records(text, shown, out);
}

const ra_record *ra_record_for(const ra_records &records, const std::string &file) {
    const ra_record *found = nullptr;
    for (const ra_record &r : records.lines) {
        if (ra_ieq(r.file.c_str(), file.c_str())) found = &r;
    }
    return found;
}

const ra_record *ra_newest_record(const ra_records &records) {
    const ra_record *newest = nullptr;
    for (const ra_record &r : records.lines) {
        if (newest == nullptr || !(r.saved < newest->saved)) newest = &r;
    }
    return newest;
}

uint32_t ra_parse_lap(const std::string &text) {
    // Digits, then '.' (or a spreadsheet's ',') and one or two digits:
    // "81.44" as %best_lap_carN% writes it, "81.4" or "81" as a spreadsheet
    // writes it back.
    size_t dot = text.find_first_of(".,");
    size_t whole = dot == std::string::npos ? text.size() : dot;
    size_t decimals = dot == std::string::npos ? 0 : text.size() - dot - 1;
    if (whole == 0 || whole > 7 || (dot != std::string::npos && (decimals < 1 || decimals > 2))) {
        return 0;
    }
    uint32_t hundredths = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == dot) continue;
        if (text[i] < '0' || text[i] > '9') return 0;
        hundredths = hundredths * 10u + (uint32_t)(text[i] - '0');
    }
    for (size_t i = decimals; i < 2; ++i) hundredths *= 10u;
    return hundredths;
}

std::string ra_format_lap(uint32_t hundredths) {
    char text[32];
    snprintf(text, sizeof text, "%u:%02u.%02u", hundredths / 6000u, hundredths / 100u % 60u,
             hundredths % 100u);
    return text;
}

std::string ra_format_lap_seconds(uint32_t hundredths) {
    char text[32];
    snprintf(text, sizeof text, "%u.%02u", hundredths / 100u, hundredths % 100u);
    return text;
}
