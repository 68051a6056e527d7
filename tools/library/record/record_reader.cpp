// Reading the plug-in's record file.
#include "library/record/record_reader.h"

#include <string.h>

#include <fstream>
#include <functional>
#include <system_error>
#include <unordered_map>

#include "autosave/autosave.h"
#include "autosave/record_cell.h"
#include "library/record/csv.h"
#include "library/replays/files.h"
#include "library/record/record_lines.h"
#include "library/record/record_warnings.h"
#include "library/record/sheet_time.h"
#include "library/text/utf8_text.h"
#include "platform/game_text.h"
#include "naming/naming.h"
#include "settings/settings.h"
#include "snapshot/race_context.h"

struct ra_record_layout {
    std::vector<std::string> names;
    std::unordered_map<std::string, uint32_t> index;  // position of each name

    // Where each car's columns are, and the player's car: what every line
    // is read for, found once for all the lines of the layout.
    long car_at[ra_car_prefix_count][RA_CARS];
    long player_at;
    // Where each of the plug-in's columns is (ra_plugin_columns order), or -1.
    std::vector<long> plugin_at;

    explicit ra_record_layout(const std::vector<std::string> &columns) : names(columns) {
        // Of a name given twice, the first counts.
        for (uint32_t i = 0; i < names.size(); ++i) index.emplace(names[i], i);
        for (size_t p = 0; p < ra_car_prefix_count; ++p) {
            for (int car = 1; car <= RA_CARS; ++car)
                car_at[p][car - 1] = at(ra_car_column(ra_car_prefixes[p], car));
        }
        player_at = at(ra_column_player);
        for (const std::string &column : ra_plugin_columns()) plugin_at.push_back(at(column));
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

const char ra_utf8_mark[4] = "\xEF\xBB\xBF";

namespace {

// Separators a spreadsheet may have written instead of the plug-in's comma.
const char ra_separators[] = {',', ';', '\t'};

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

// The plug-in marks a text that a spreadsheet would run as a formula, and
// one that starts with the mark, with a leading mark; by its own rule the
// mark is taken off again.
void ra_unmark(std::string *value) {
    if (value->size() < 2 || (*value)[0] != RA_RECORD_TEXT_MARK) return;
    if (ra_record_formula_like((unsigned char)(*value)[1])) value->erase(0, 1);
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

// The facts a line's values give: its fastest lap and car, the player's car.
void ra_derive_facts(const ra_record_layout &layout, const ra_record_values &values,
                     ra_record *record) {
    for (int car = 1; car <= RA_CARS; ++car) {
        uint32_t lap = ra_parse_lap(values.value(layout.car_at[ra_car_best_lap][car - 1]));
        if (lap != 0 && (record->fastest_lap == 0 || lap < record->fastest_lap)) {
            record->fastest_lap = lap;
            record->fastest_car = car;
        }
    }
    const std::string player = values.value(layout.player_at);
    if (player.size() <= 2 && !player.empty() &&
        player.find_first_not_of("0123456789") == std::string::npos) {
        int car = std::stoi(player);
        record->player = car >= 1 && car <= RA_CARS ? car : 0;
    }
}

// The whole reading of one file.
class ra_reader {
public:
    ra_reader(ra_record_lines *lines, ra_record_bytes bytes, const std::string &shown,
              ra_records *out)
        : lines_(*lines), bytes_(bytes), shown_(shown), out_(out) {}

    // The usable lines go to `each` `lines` at a time instead of staying
    // in out->lines.
    void in_parts(size_t lines, const std::function<bool(const ra_records &part)> &each) {
        part_lines_ = lines;
        each_ = &each;
    }
    // False when `each` said to stop.
    bool read();

private:
    // The line's layout and fields: the plug-in's own for exactly its
    // number of comma-separated fields, else the header's. Null for a line
    // that carries nothing, a header, or (with *damaged) one that cannot be
    // read, its cause noted unless quiet.
    const std::shared_ptr<const ra_record_layout> *classify(const char *begin, const char *end,
                                                            int line, bool quiet, bool *damaged);
    bool make(const ra_record_layout &layout, int line, ra_record *out);
    void decode(std::string *value) const;
    std::shared_ptr<const ra_record_layout> header_of_fields();
    bool time_of(const std::string &text, int line, ra_time *out, bool *sheet);
    void vote(const char *begin, const char *end, int line);
    bool hand_on();

    ra_record_lines &lines_;  // they start after the mark of UTF-8, if any
    ra_record_bytes bytes_;
    const std::string &shown_;
    ra_records *out_;

    std::shared_ptr<const ra_record_layout> plugin_;
    std::shared_ptr<const ra_record_layout> header_;
    char sep_ = ',';
    std::vector<std::string> fields_;
    ra_record_trouble trouble_;
    ra_date_order order_ = ra_date_order::day_first;
    bool order_known_ = false;
    bool twelve_hour_ = false;
    size_t part_lines_ = 0;
    const std::function<bool(const ra_records &part)> *each_ = nullptr;
    bool any_line_ = false;
};

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
            trouble_.note(
                fault == ra_csv_fault::open_quote ? ra_cause_open_quote : ra_cause_stray_quote,
                line);
        }
        return nullptr;
    }
    // A header again, as where two record files were joined: the lines
    // after it are read by it.
    if (ra_names(fields_, ra_column_file, ra_column_saved)) {
        if (!quiet) header_ = header_of_fields();
        return nullptr;
    }
    if (header_ == nullptr || fields_.size() != header_->names.size()) {
        *damaged = true;
        if (!quiet && header_ == nullptr) trouble_.note(ra_cause_no_header, line);
        if (!quiet && header_ != nullptr) {
            trouble_.note(ra_cause_fields, line,
                          std::to_string(fields_.size()) + " fields where the header has " +
                              std::to_string(header_->names.size()));
        }
        return nullptr;
    }
    return &header_;
}

void ra_reader::decode(std::string *value) const {
    bool ascii = true;
    for (unsigned char c : *value) ascii = ascii && c < 0x80;
    if (ascii || bytes_ == ra_record_bytes::utf8) return;
    if (lines_.marked() && ra_is_utf8(*value)) return;
    *value = ra_game_text(*value);
}

// The header of the line just split, its names decoded as the values are.
std::shared_ptr<const ra_record_layout> ra_reader::header_of_fields() {
    for (std::string &f : fields_) decode(&f);
    return std::make_shared<const ra_record_layout>(fields_);
}

bool ra_reader::time_of(const std::string &text, int line, ra_time *out, bool *sheet) {
    if (ra_parse_time(text, out)) return true;
    ra_sheet_time t;
    if (!ra_parse_sheet_time(text, order_, &t)) return false;
    *sheet = true;
    if (t.slashed && !order_known_ && t.a <= 12 && t.b <= 12 && t.a != t.b) {
        trouble_.note(order_ == ra_date_order::month_first ? ra_cause_dates_month_first
                                                           : ra_cause_dates_day_first,
                      line, text);
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
        decode(&f);
        ra_unmark(&f);
        if ((long)i == saved) {
            if (!time_of(f, line, &record.saved, &sheet)) {
                trouble_.note(ra_cause_saved, line, f);
                return false;
            }
            if (sheet) trouble_.note(ra_cause_times, line, f);
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
        trouble_.note(ra_cause_file, line, record.file);
        return false;
    }
    const std::string source = values->value(layout.at(ra_column_source));
    if (!source.empty() && !ra_replay_source(source)) {
        trouble_.note(ra_cause_source, line, source);
        return false;
    }
    ra_derive_facts(layout, *values, &record);
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

// The lines read so far to `each`, when lines go on in parts.
bool ra_reader::hand_on() {
    any_line_ = any_line_ || !out_->lines.empty();
    if (each_ == nullptr || out_->lines.empty()) return true;
    const bool more = (*each_)(*out_);
    out_->lines.clear();
    return more;
}

bool ra_reader::read() {
    plugin_ = std::make_shared<const ra_record_layout>(ra_plugin_columns());
    const ra_record_lines::place start = lines_.here();
    const char *begin, *end;
    if (!lines_.next(&begin, &end)) return !lines_.failed();
    // The header tells the separator: the one that gives it our columns.
    for (char sep : ra_separators) {
        if (ra_csv_split(begin, end, sep, &fields_) == ra_csv_fault::none &&
            ra_names(fields_, ra_column_file, ra_column_saved)) {
            sep_ = sep;
            header_ = header_of_fields();
            break;
        }
    }
    if (header_ == nullptr) {
        // No header: the first line may be one of ours all the same.
        lines_.go(start);
    } else if (sep_ != ',') {
        trouble_.note(sep_ == ';' ? ra_cause_semicolons : ra_cause_tabs, 1);
    }
    const ra_record_lines::place first = lines_.here();
    const std::shared_ptr<const ra_record_layout> header = header_;

    // Slashed dates: which number is the day is decided for the whole file.
    if (lines_.rest_has('/')) {
        while (lines_.next(&begin, &end)) vote(begin, end, lines_.line());
        // Without a number above 12, a clock of AM and PM says month first.
        if (!order_known_ && twelve_hour_) order_ = ra_date_order::month_first;
        lines_.go(first);
        header_ = header;
    }

    while (lines_.next(&begin, &end)) {
        bool damaged;
        const std::shared_ptr<const ra_record_layout> *layout =
            classify(begin, end, lines_.line(), false, &damaged);
        ra_record record;
        if (layout != nullptr && make(**layout, lines_.line(), &record)) {
            record.layout = *layout;
            out_->lines.push_back(std::move(record));
            if (out_->lines.size() == part_lines_ && !hand_on()) return false;
        } else if (layout != nullptr || damaged) {
            out_->skipped.push_back(lines_.line());
        }
    }
    // A file that could not be read to its end is not half shown.
    if (lines_.failed() || !hand_on()) return false;
    out_->warnings = trouble_.warnings(shown_, any_line_);
    return true;
}

}  // namespace

std::string ra_record::get(const std::string &column) const {
    if (layout == nullptr || values == nullptr) return std::string();
    return values->value(layout->at(column));
}

std::string ra_record::get_plugin(size_t i) const {
    if (layout == nullptr || values == nullptr || i >= layout->plugin_at.size()) return "";
    return values->value(layout->plugin_at[i]);
}

std::string ra_record::get_car(ra_car_field field, int car) const {
    if (layout == nullptr || values == nullptr || car < 1 || car > RA_CARS) return std::string();
    return values->value(layout->car_at[field][car - 1]);
}

void ra_parse_records(const std::string &text, const std::string &shown, ra_records *out,
                      ra_record_bytes bytes) {
    out->found = true;
    out->lines.clear();
    out->warnings.clear();
    out->skipped.clear();
    ra_record_lines lines(text);
    ra_reader(&lines, bytes, shown, out).read();
}

namespace {

// The record file's text; false, with *out saying why, when there is none
// to read.
bool ra_record_text(const std::filesystem::path &dir, const std::string &shown, ra_records *out,
                    std::string *text) {
    *out = ra_records();
    std::filesystem::path path = dir / ra_records_file;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return false;
    out->found = true;
    std::string why;
    if (!ra_read_file(path, text, &why)) {
        out->warnings.push_back("cannot read " + shown + ": " + why +
                                "; what it records is not shown");
        return false;
    }
    return true;
}

}  // namespace

void ra_read_records(const std::filesystem::path &dir, const std::string &shown, ra_records *out) {
    std::string text;
    if (ra_record_text(dir, shown, out, &text)) ra_parse_records(text, shown, out);
}

bool ra_read_records_in_parts(const std::filesystem::path &dir, const std::string &shown,
                              size_t part_lines,
                              const std::function<bool(const ra_records &part)> &each,
                              ra_records *out) {
    // Read a piece at a time: a long career's record is never in memory whole.
    *out = ra_records();
    const std::filesystem::path path = dir / ra_records_file;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return true;
    out->found = true;
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, error)) in.open(path, std::ios::binary);
    if (!in) {
        // Why, as the whole file's reading tells it.
        std::string text;
        ra_record_text(dir, shown, out, &text);
        return true;
    }
    ra_record_lines lines(&in);
    ra_reader reader(&lines, ra_record_bytes::file, shown, out);
    reader.in_parts(part_lines, each);
    return reader.read();
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

std::vector<std::string> ra_record_columns(const ra_record &record) {
    return record.layout ? record.layout->names : std::vector<std::string>();
}

std::vector<std::string> ra_record_fields(const ra_record &record) {
    std::vector<std::string> fields;
    if (record.values == nullptr) return fields;
    for (size_t i = 0; i < record.values->ends.size(); ++i)
        fields.push_back(record.values->value((long)i));
    return fields;
}

std::shared_ptr<const ra_record_layout> ra_record_layout_of(
    const std::vector<std::string> &columns) {
    return std::make_shared<const ra_record_layout>(columns);
}

namespace {

// A line of that layout from its values; false when they cannot be a usable line.
bool ra_record_of_values(int line, const std::shared_ptr<const ra_record_layout> &layout,
                         std::shared_ptr<ra_record_values> values, ra_record *out) {
    ra_record record;
    record.line = line;
    record.file = values->value(layout->at(ra_column_file));
    if (!ra_saved_name(record.file) ||
        !ra_parse_time(values->value(layout->at(ra_column_saved)), &record.saved)) {
        return false;
    }
    ra_derive_facts(*layout, *values, &record);
    record.layout = layout;
    record.values = std::move(values);
    *out = std::move(record);
    return true;
}

}  // namespace

std::string ra_record_packed(const ra_record &record) {
    std::string packed;
    if (record.values == nullptr) return packed;
    uint32_t start = 0;
    for (uint32_t end : record.values->ends) {
        for (uint32_t n = end - start;; n >>= 7) {
            packed += (char)((n & 0x7F) | (n >= 0x80 ? 0x80 : 0));
            if (n < 0x80) break;
        }
        start = end;
    }
    return packed + record.values->data;
}

bool ra_record_of_packed(int line, const std::shared_ptr<const ra_record_layout> &layout,
                         const char *packed, size_t size, ra_record *out) {
    if (layout == nullptr) return false;
    auto values = std::make_shared<ra_record_values>();
    values->ends.reserve(layout->names.size());
    size_t at = 0;
    uint64_t end = 0;
    for (size_t i = 0; i < layout->names.size(); ++i) {
        uint64_t n = 0;
        for (int shift = 0;; shift += 7) {
            // At most five bytes: a length beyond 32 bits is no line of ours.
            if (at >= size || shift > 28) return false;
            const unsigned char c = (unsigned char)packed[at++];
            n |= (uint64_t)(c & 0x7F) << shift;
            if (!(c & 0x80)) break;
        }
        end += n;
        if (end > size - at) return false;
        values->ends.push_back((uint32_t)end);
    }
    if (end != size - at) return false;
    values->data.assign(packed + at, size - at);
    return ra_record_of_values(line, layout, std::move(values), out);
}

bool ra_record_of_fields(int line, const std::shared_ptr<const ra_record_layout> &layout,
                         const std::vector<std::string> &fields, ra_record *out) {
    if (layout == nullptr || fields.size() != layout->names.size()) return false;
    auto values = std::make_shared<ra_record_values>();
    values->ends.reserve(fields.size());
    for (const std::string &field : fields) {
        values->data += field;
        values->ends.push_back((uint32_t)values->data.size());
    }
    return ra_record_of_values(line, layout, std::move(values), out);
}
