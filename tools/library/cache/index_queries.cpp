// The library app's questions to the index, in SQL.
#include "library/cache/index_queries.h"

#include <sqlite3.h>

#include <functional>
#include <map>
#include <stdlib.h>

#include "library/text/folded_name.h"
#include "library/cache/index_store.h"
#include "library/text/utf8_text.h"

const size_t ra_rows_max = 500;
const size_t ra_changes_max = 200;

namespace {

// The columns a row is made from; ?1 is the chosen racer (folded).
const char ra_row_columns[] =
    "SELECT e.file, e.when_text, e.type, e.track, e.laps, e.cars, e.weather, e.lap, e.lap_by, "
    "e.laps_by, l.lap, l.pb, e.state, e.kind, e.renamed_from, e.holds, e.line, e.kept, "
    "e.removed, e.born FROM entries e LEFT JOIN laps l ON l.entry = e.id AND l.racer = ?1 ";

ra_index_row ra_row_of(const ra_statement &s) {
    ra_index_row row;
    row.file = s.text(0);
    row.when = s.text(1);
    row.type = s.text(2);
    row.track = s.text(3);
    row.laps = s.text(4);
    row.cars = s.text(5);
    row.weather = s.text(6);
    row.lap = (uint32_t)s.integer(7);
    row.lap_by = s.text(8);
    std::vector<std::string> laps;
    if (ra_decode_list(s.text(9), &laps)) {
        for (size_t i = 0; i + 1 < laps.size(); i += 2)
            row.laps_by.push_back({laps[i], (uint32_t)strtoul(laps[i + 1].c_str(), nullptr, 10)});
    }
    row.yours = (uint32_t)s.integer(10);
    row.pb = s.integer(11) != 0;
    row.state = (int)s.integer(12);
    row.kind = (int)s.integer(13);
    row.renamed_from = s.text(14);
    const bool holds = s.integer(15) != 0, line = s.integer(16) != 0;
    row.copy = row.kind == 2 && holds;
    row.kept = s.integer(17) != 0;
    row.details = line || holds;
    return row;
}

// The sort's expression by its name in the query; an unknown name sorts by time.
struct ra_sort_column {
    const char *name;
    const char *value;    // what is sorted by
    const char *unknown;  // true for an unknown value, which sorts last either way; null: never
    // Where the known values are read from in their order through an index
    // (the rows of ties sorted among themselves alone), then the unknown
    // ones in the list's order; null: the rows are sorted whole.
    const char *known_from;
    const char *known, *unknown_rows;  // what picks each part, after the filters
    // A value many rows share (a race's laps, its cars): its values counted
    // from this index in the sort's order, then each value's rows read in
    // the list's order (ra_grouped_page); null: as above.
    const char *groups_from = nullptr;
};
// Newest first, then the later line, then by name: the order of the list,
// which ends every sort. It is the order of the index entries_order, so
// that a page of it is read in that order and stops at its last row,
// when nothing is put before it.
const char ra_list_order[] = "e.when_text DESC, e.line DESC, e.file";
const ra_sort_column ra_sort_columns[] = {
    {"when", "e.when_text", nullptr, nullptr, nullptr, nullptr},
    {"type", "e.type_key", "e.type_key = ''", nullptr, nullptr, nullptr},
    {"track", "e.track_key", "e.track_key = ''", nullptr, nullptr, nullptr},
    {"laps", "CAST(e.laps AS INTEGER)", "e.laps = ''", "FROM entries e INDEXED BY entries_order ",
     " AND e.laps <> '' AND ?1 = ?1", " AND e.laps = '' AND ?1 = ?1",
     "FROM entries e INDEXED BY entries_laps "},
    {"cars", "CAST(e.cars AS INTEGER)", "e.cars = ''", "FROM entries e INDEXED BY entries_order ",
     " AND e.cars <> '' AND ?1 = ?1", " AND e.cars = '' AND ?1 = ?1",
     "FROM entries e INDEXED BY entries_cars "},
    {"weather", "e.weather_key", "e.weather_key = ''", nullptr, nullptr, nullptr},
    {"lap", "e.lap", "e.lap = 0", "FROM entries e INDEXED BY entries_lap ",
     " AND e.lap <> 0 AND ?1 = ?1", " AND e.lap = 0 AND ?1 = ?1"},
    // The racer's laps first, each joined to its race: CROSS makes SQLite
    // keep that order.
    {"yours", "l.lap", "l.lap IS NULL",
     "FROM laps l INDEXED BY laps_yours CROSS JOIN entries e ON e.id = l.entry ",
     " AND l.racer = ?1",
     " AND NOT EXISTS (SELECT 1 FROM laps l WHERE l.entry = e.id AND l.racer = ?1)"},
    // Every row has a file: read in the names' order, stopping at the page's end.
    {"file", "e.folded", nullptr, "FROM entries e INDEXED BY entries_folded ", " AND ?1 = ?1",
     " AND 0 AND ?1 = ?1"},
};

// Whether a search's folded text is found through the index of letter
// triples exactly as a look for its bytes in each race would: UTF-8 of
// three characters or more (the index reads UTF-8 a character at a time),
// no NUL.
bool ra_searched_by_index(const std::string &text) {
    const size_t triple = 3;
    return ra_text_width(text) >= triple && ra_is_utf8(text) &&
           text.find('\0') == std::string::npos;
}

// A search's text as one phrase of the index: in quotes, a quote doubled.
std::string ra_phrase_of(const std::string &text) {
    std::string phrase = "\"";
    for (char c : text) phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
    return phrase + "\"";
}

// How many races a search alone finds, told by the index of letter triples
// without a look at each race: its matches of every entry, less those of the
// few entries that are no race of the list (removed, or other files), each
// looked at.
bool ra_searched_total(sqlite3 *db, const std::string &text, size_t *total) {
    ra_statement count(db,
                       "SELECT (SELECT count(*) FROM search_text WHERE search_text MATCH ?1) - "
                       "(SELECT count(*) FROM entries e INDEXED BY entries_order "
                       "WHERE e.removed = 1 AND instr(e.search, ?2) > 0) - "
                       "(SELECT count(*) FROM entries e INDEXED BY entries_order "
                       "WHERE e.removed = 0 AND e.kind > 0 AND instr(e.search, ?2) > 0)");
    count.bind(1, ra_phrase_of(text)).bind(2, text);
    if (!count.step()) return false;
    *total = (size_t)count.integer(0);
    return true;
}

// The ids a statement gives, appended.
bool ra_ids_of(ra_statement &s, std::vector<int64_t> *ids) {
    while (s.step()) ids->push_back(s.integer(0));
    return s.ok();
}

// Each row of a page whole, in the order of its ids.
bool ra_rows_of(sqlite3 *db, const std::string &racer, const std::vector<int64_t> &ids,
                std::vector<ra_index_row> *rows) {
    ra_statement row(db, std::string(ra_row_columns) + "WHERE e.id = ?2");
    rows->clear();
    for (int64_t id : ids) {
        row.reset();
        row.bind(1, racer).bind(2, id);
        if (!row.step()) return false;
        rows->push_back(ra_row_of(row));
    }
    return true;
}

// Where a page's rows are counted from, and its rows without a value read
// from: every row the filters keep (through the list's own index when a
// text is searched, which is looked for in each row in that order).
std::string ra_filtered_from(const ra_row_query &query, const std::string &where) {
    return std::string("FROM entries e ") +
           (query.text.empty() ? "" : "INDEXED BY entries_order ") + where;
}

// The ids of the rows `from` picks, in the list's order: up to `room` of
// them after the first `skip`, appended.
bool ra_ids_in_list_order(sqlite3 *db, const std::string &from, size_t room, size_t skip,
                          const std::function<void(ra_statement &)> &bind,
                          std::vector<int64_t> *ids) {
    ra_statement rows(db, "SELECT e.id " + from + " ORDER BY " + ra_list_order + " LIMIT " +
                              std::to_string(room) + " OFFSET " + std::to_string(skip));
    bind(rows);
    return ra_ids_of(rows, ids);
}

// A page of a sort whose unknown values go last, in two parts: the rows
// with a value read in its order from an index, stopping at the page's
// last row, then those without, in the list's order. How many rows have a
// value is counted only for a page that starts past them.
bool ra_split_page(sqlite3 *db, const ra_sort_column &sort, const ra_row_query &query,
                   const std::string &where, size_t limit,
                   const std::function<void(ra_statement &)> &bind,
                   const std::function<bool(const std::string &)> &count_rows,
                   std::vector<int64_t> *ids) {
    const std::string from = ra_filtered_from(query, where);
    if (!count_rows("SELECT count(*) " + from + " AND ?1 = ?1")) return false;
    const std::string known = std::string(sort.known_from) + where + sort.known;
    ra_statement page(db, "SELECT e.id " + known + " ORDER BY " + sort.value +
                              (query.desc ? " DESC, " : " ASC, ") + ra_list_order + " LIMIT " +
                              std::to_string(limit) + " OFFSET " + std::to_string(query.offset));
    bind(page);
    if (!ra_ids_of(page, ids)) return false;
    if (ids->size() == limit) return true;
    size_t skipped = 0;  // of the rows without a value
    if (ids->empty() && query.offset > 0) {
        ra_statement known_count(db, "SELECT count(*) " + known);
        bind(known_count);
        if (!known_count.step()) return false;
        const size_t with_value = (size_t)known_count.integer(0);
        skipped = query.offset > with_value ? query.offset - with_value : 0;
    }
    return ra_ids_in_list_order(db, from + sort.unknown_rows, limit - ids->size(), skipped, bind,
                                ids);
}

// A page of a sort by a value many rows share, so that neither the rows
// of one value nor the whole list is sorted for it: how many rows each
// value has, from the sort's small index in its order; the rows of the
// values the page covers, each read in the list's order; then, as the
// sort puts them last, the rows without a value.
bool ra_grouped_page(sqlite3 *db, const ra_sort_column &sort, const ra_row_query &query,
                     const std::string &where, size_t limit,
                     const std::function<void(ra_statement &)> &bind,
                     const std::function<bool(const std::string &)> &count_rows,
                     std::vector<int64_t> *ids) {
    const std::string from = ra_filtered_from(query, where);
    if (!count_rows("SELECT count(*) " + from + " AND ?1 = ?1")) return false;
    ra_statement groups(db, std::string("SELECT ") + sort.value + ", count(*) " + sort.groups_from +
                                where + sort.known + " GROUP BY 1 ORDER BY 1" +
                                (query.desc ? " DESC" : " ASC"));
    bind(groups);
    size_t skip = query.offset;
    std::vector<std::pair<int64_t, size_t>> values;
    while (groups.step()) values.push_back({groups.integer(0), (size_t)groups.integer(1)});
    if (!groups.ok()) return false;
    for (const auto &value : values) {
        if (skip >= value.second) {
            skip -= value.second;
            continue;
        }
        const std::string rows_of_value = std::string(sort.known_from) + where + sort.known +
                                          " AND " + sort.value + " = " +
                                          std::to_string(value.first);
        if (!ra_ids_in_list_order(db, rows_of_value, limit - ids->size(), skip, bind, ids))
            return false;
        skip = 0;
        if (ids->size() == limit) return true;
    }
    return ra_ids_in_list_order(db, from + sort.unknown_rows, limit - ids->size(), skip, bind, ids);
}

}  // namespace

std::string ra_row_name(const ra_index_row &row) {
    // "YYYY-MM-DD HH:MM": a race is named to the minute.
    const size_t minute_text_length = 16;
    if (row.track.empty()) return row.file;
    return row.track + ", " + row.when.substr(0, minute_text_length);
}

bool ra_query_rows(sqlite3 *db, const ra_row_query &query, size_t *total,
                   std::vector<ra_index_row> *rows) {
    // The filters, each bound by number after the racer (?1).
    std::string where =
        query.others ? "WHERE e.removed = 0 AND e.kind <> 0" : "WHERE e.removed = 0 AND e.kind = 0";
    std::vector<std::string> values;
    auto filter = [&](const std::string &value, const char *test) {
        if (value.empty()) return;
        values.push_back(ra_folded_name(value));
        where += std::string(" AND ") + test + "?" + std::to_string(values.size() + 1);
    };
    filter(query.track, "e.track_key = ");
    filter(query.type, "e.type_key = ");
    filter(query.weather, "e.weather_key = ");
    const std::string text = ra_folded_name(query.text);
    const bool by_index = ra_searched_by_index(text);
    if (!query.text.empty()) {
        if (by_index) {
            values.push_back(ra_phrase_of(text));
            where += " AND e.id IN (SELECT rowid FROM search_text WHERE search_text MATCH ?" +
                     std::to_string(values.size() + 1) + ")";
        } else {
            values.push_back(text);
            where += " AND instr(e.search, ?" + std::to_string(values.size() + 1) + ") > 0";
        }
    }
    if (query.pb) where += " AND l.pb = 1";
    if (query.kept) where += " AND e.kept = 1";
    const ra_sort_column *sort = &ra_sort_columns[0];
    for (const ra_sort_column &c : ra_sort_columns) {
        if (query.sort == c.name) sort = &c;
    }
    // Newest first is the list's own order; else the sort's value, then the
    // list's order among equal values (a time sorted by again changes nothing).
    const bool newest_first = sort == &ra_sort_columns[0] && query.desc;
    std::string order = "ORDER BY ";
    if (!newest_first) {
        if (sort->unknown != nullptr) order += std::string(sort->unknown) + ", ";
        order += std::string(sort->value) + (query.desc ? " DESC" : " ASC") + ", ";
    }
    const size_t limit = std::min(query.limit, ra_rows_max);
    order += ra_list_order;
    const std::string racer = ra_folded_name(query.racer);
    auto bind = [&](ra_statement &s) {
        s.bind(1, racer);
        for (size_t i = 0; i < values.size(); ++i) s.bind((int)i + 2, values[i]);
    };
    // How many rows match: a search alone is counted from its own index.
    const bool searched_alone = by_index && !query.others && query.track.empty() &&
                                query.type.empty() && query.weather.empty() && !query.pb &&
                                !query.kept;
    auto count_rows = [&](const std::string &sql) {
        if (searched_alone) return ra_searched_total(db, text, total);
        ra_statement count(db, sql);
        bind(count);
        if (!count.step()) return false;
        *total = (size_t)count.integer(0);
        return true;
    };
    std::vector<int64_t> ids;
    if (sort->groups_from != nullptr && !query.pb) {
        if (!ra_grouped_page(db, *sort, query, where, limit, bind, count_rows, &ids)) return false;
        return ra_rows_of(db, racer, ids, rows);
    }
    if (sort->known_from != nullptr && !query.pb) {
        if (!ra_split_page(db, *sort, query, where, limit, bind, count_rows, &ids)) return false;
        return ra_rows_of(db, racer, ids, rows);
    }
    order += " LIMIT " + std::to_string(limit) + " OFFSET " + std::to_string(query.offset);
    // The racer's laps are joined only where they filter or sort: a page
    // deep in the list then skips its rows without looking up their laps.
    const bool laps = query.pb || sort->value == std::string("l.lap");
    // A text is looked for in each row, in the order of the list: through
    // the index of the filters instead, the rows would be read in no order.
    const std::string from = std::string("FROM entries e ") +
                             (query.text.empty() ? "" : "INDEXED BY entries_order ") +
                             (query.pb ? "JOIN laps l ON l.entry = e.id AND l.racer = ?1 "
                              : laps   ? "LEFT JOIN laps l ON l.entry = e.id AND l.racer = ?1 "
                                       : "") +
                             where + (laps ? "" : " AND ?1 = ?1");
    if (!count_rows("SELECT count(*) " + from)) return false;
    ra_statement page(db, "SELECT e.id " + from + " " + order);
    bind(page);
    if (!ra_ids_of(page, &ids)) return false;
    return ra_rows_of(db, racer, ids, rows);
}

bool ra_query_changes(sqlite3 *db, int64_t since, const std::string &racer,
                      std::vector<ra_index_row> *changed, std::vector<std::string> *removed,
                      bool *grown, bool *too_many) {
    changed->clear();
    removed->clear();
    *grown = false;
    *too_many = false;
    // Of equal versions (a rebuild gives every row one), in the list's order.
    ra_statement rows(db, std::string(ra_row_columns) +
                              "WHERE e.version > ?2 ORDER BY e.version, " + ra_list_order + " " +
                              "LIMIT " + std::to_string(ra_changes_max + 1));
    rows.bind(1, ra_folded_name(racer)).bind(2, since);
    size_t n = 0;
    while (rows.step()) {
        if (++n > ra_changes_max) {
            *too_many = true;
            return true;
        }
        if (rows.integer(18) != 0) {
            removed->push_back(rows.text(0));
            *grown = true;
            continue;
        }
        *grown = *grown || rows.integer(19) > since;
        changed->push_back(ra_row_of(rows));
    }
    return rows.ok();
}

bool ra_query_choices(sqlite3 *db, ra_index_choices *out) {
    *out = ra_index_choices();
    ra_statement counts(db,
                        "SELECT kind <> 0, state IN (1, 2), count(*) FROM entries "
                        "WHERE removed = 0 GROUP BY 1, 2");
    while (counts.step()) {
        size_t n = (size_t)counts.integer(2);
        if (counts.integer(0) != 0) {
            out->others += n;
        } else {
            (counts.integer(1) != 0 ? out->gone : out->races) += n;
        }
    }
    if (!counts.ok()) return false;
    // Each value once, as the races spell it first.
    auto values = [&](const char *column, const char *key, std::vector<std::string> *into) {
        ra_statement s(db, std::string("SELECT min(") + column +
                               ") FROM entries WHERE removed = 0 "
                               "AND kind = 0 AND " +
                               key + " <> '' GROUP BY " + key + " ORDER BY " + key);
        while (s.step()) into->push_back(s.text(0));
        return s.ok();
    };
    ra_statement racers(db, "SELECT name FROM racers ORDER BY races DESC, car, racer");
    while (racers.step()) out->racers.push_back(racers.text(0));
    return values("track", "track_key", &out->tracks) && values("type", "type_key", &out->types) &&
           values("weather", "weather_key", &out->weather) && racers.ok() &&
           ra_decode_list(ra_meta_text(db, "warnings"), &out->warnings);
}

bool ra_query_groups(sqlite3 *db, const std::string &racer, std::vector<ra_racer_group> *out) {
    out->clear();
    ra_statement groups(db,
                        "SELECT min(e.track), min(e.type), count(*) FROM laps l "
                        "JOIN entries e ON e.id = l.entry WHERE l.racer = ? AND e.removed = 0 "
                        "GROUP BY l.track_key, l.type_key ORDER BY l.track_key, l.type_key");
    groups.bind(1, ra_folded_name(racer));
    while (groups.step())
        out->push_back({groups.text(0), groups.text(1), (size_t)groups.integer(2)});
    return groups.ok();
}

bool ra_query_chart(sqlite3 *db, const std::string &racer, const std::string &track,
                    const std::string &type, std::vector<ra_chart_lap> *out) {
    out->clear();
    ra_statement laps(db,
                      "SELECT e.file, l.when_text, l.lap FROM laps l JOIN entries e "
                      "ON e.id = l.entry WHERE l.racer = ? AND l.track_key = ? "
                      "AND l.type_key = ? AND e.removed = 0 ORDER BY l.when_text, l.line");
    laps.bind(1, ra_folded_name(racer))
        .bind(2, ra_folded_name(track))
        .bind(3, ra_folded_name(type));
    uint32_t best = 0;
    while (laps.step()) {
        ra_chart_lap lap;
        lap.file = laps.text(0);
        lap.when = laps.text(1);
        lap.lap = (uint32_t)laps.integer(2);
        // As list's personal bests, but per track and race type: a chart
        // draws one type.
        lap.pb = best != 0 && lap.lap < best;
        if (best == 0 || lap.lap < best) best = lap.lap;
        out->push_back(lap);
    }
    return laps.ok();
}
