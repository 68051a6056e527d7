// The library's index is a cache: however it was left (deleted, damaged, of
// another schema, cut off by a crash, written by two processes at once),
// the list it gives is exactly the one the pipeline makes from the record
// and Dir, and a new race is read alone.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "companion_fixture.h"
#include "friends/friends_folder.h"
#include "friends/leaderboard.h"
#include "library/cache/index_queries.h"
#include "library/cache/index_store.h"
#include "library/cache/library_index.h"
#include "library/record/racers.h"
#include "library/text/local_time.h"
#include "library/record/record_reader.h"
#include "plugin_state.h"

namespace fs = std::filesystem;

namespace {

// Everything of a list that a command can show, as one text.
std::string ra_described(const ra_replay_list &list) {
    std::string text = list.records.found ? "found\n" : "none\n";
    for (const std::string &w : list.records.warnings) text += "warning " + w + "\n";
    for (int line : list.records.skipped) text += "skipped " + std::to_string(line) + "\n";
    auto record = [](const ra_record &r) {
        std::string fields;
        for (const std::string &f : ra_record_fields(r)) fields += f + "|";
        return std::to_string(r.line) + " " + r.file + " " + ra_format_time(r.saved) + " " +
               std::to_string(r.fastest_lap) + " " + std::to_string(r.player) + " " + fields;
    };
    for (const ra_record &r : list.records.lines) text += "line " + record(r) + "\n";
    for (const ra_replay &r : list.replays) {
        text += "entry " + r.file + " " + ra_format_time(r.when) + " " +
                std::to_string((int)r.state) + " " + std::to_string((int)r.kind) + " [" +
                (r.record ? record(*r.record) : "") + "] [" + (r.holds ? record(*r.holds) : "") +
                "]\n";
    }
    return text;
}

class LibraryIndex : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = ra_test_scratch_dir() + "/Saves";
        fs::create_directories(dir_);
    }

    // A race the plug-in saved: its file, stamped as saved, and its line.
    std::string race(const std::string &file, const std::string &saved, const char *track,
                     const char *lap) {
        EXPECT_TRUE(ra_test_write_file(dir_ + "/" + file, "replay " + file));
        EXPECT_TRUE(ra_test_set_file_time(dir_ + "/" + file, saved.c_str()));
        return ra_test_record_line({{"file", file},
                                    {"saved", saved},
                                    {"type", "SR"},
                                    {"track", track},
                                    {"source", "Replays\\replay.rp4"},
                                    {"name1", "Player"},
                                    {"best_lap_car1", lap},
                                    {"name2", "Ana"},
                                    {"best_lap_car2", "82.00"},
                                    {"player", "1"}});
    }

    // A season with each state and kind: saved, missing, replaced, renamed,
    // a backup, a copy of a race, and a damaged line.
    void season() {
        records_ = ra_test_record_header() +
                   race("a.rp4", "2026-03-01 20:00:00", "ALPINE", "81.00") +
                   race("b.rp4", "2026-03-02 20:00:00", "COAST", "80.50") +
                   race("a.rp4", "2026-03-03 20:00:00", "CITY", "80.00") +
                   race("c.rp4", "2026-03-04 20:00:00", "ALPINE", "79.00") +
                   race("d.rp4", "2026-03-05 20:00:00", "ALPINE", "79.50") + "broken,\"line\r\n";
        ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.csv", records_));
        fs::rename(dir_ + "/c.rp4", dir_ + "/my best.rp4");
        fs::remove(dir_ + "/b.rp4");
        fs::copy_file(dir_ + "/d.rp4", dir_ + "/kept_2026-03-05_20-00-00.rp4");
        ra_test_set_file_time(dir_ + "/kept_2026-03-05_20-00-00.rp4", "2026-03-05 20:00:00");
        ASSERT_TRUE(ra_test_write_file(dir_ + "/mine.rp4", "copied in"));
    }

    std::string pipeline() {
        ra_replay_list list;
        std::string error;
        EXPECT_TRUE(ra_list_replays(dir_, dir_, &list, &error)) << error;
        return ra_described(list);
    }
    std::string indexed() {
        ra_replay_list list;
        std::string error;
        EXPECT_TRUE(ra_indexed_list(dir_, dir_, &list, &error)) << error;
        return ra_described(list);
    }
    // One refresh of the index as a command makes it; what it did.
    ra_index_change refresh() {
        ra_library_index index;
        std::string why;
        EXPECT_TRUE(index.open(dir_, &why)) << why;
        EXPECT_TRUE(index.refresh(dir_, false, nullptr, &why)) << why;
        ra_replay_list list;
        EXPECT_TRUE(index.load(&list));
        EXPECT_EQ(ra_described(list), pipeline());
        return index.last_change();
    }
    void append(const std::string &line) {
        records_ += line;
        ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.csv", records_));
    }

    std::string dir_, records_;
};

}  // namespace

TEST_F(LibraryIndex, FollowsEveryChangeOfTheRecordAndDir) {
    season();
    ASSERT_EQ(refresh(), ra_index_change::rebuilt);
    EXPECT_EQ(refresh(), ra_index_change::none);

    // A race saved: its line is read alone.
    append(race("e.rp4", "2026-03-06 20:00:00", "ALPINE", "78.00"));
    EXPECT_EQ(refresh(), ra_index_change::appended);

    // The same record rewritten in place by a spreadsheet, size and time
    // stamp kept: the hash of its first bytes tells.
    const std::string csv = dir_ + "/replays.csv";
    const fs::file_time_type stamp = fs::last_write_time(csv);
    records_.replace(records_.find("CITY"), 4, "TOWN");
    ASSERT_TRUE(ra_test_write_file(csv, records_));
    fs::last_write_time(csv, stamp);
    EXPECT_EQ(refresh(), ra_index_change::rebuilt);

    // A file renamed, a mark made, the index deleted: each gives the
    // pipeline's list again.
    fs::rename(dir_ + "/e.rp4", dir_ + "/newest.rp4");
    EXPECT_EQ(refresh(), ra_index_change::rebuilt);
    ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.keep", "newest.rp4\n"));
    EXPECT_EQ(refresh(), ra_index_change::marks);

    // A replay written over in place (Dir's own time stamp may not change):
    // a command sees its new size and time. After an action the app tells
    // from Dir's names alone that no replay came or went, and leaves the
    // index as a command then finds it: up to date.
    ASSERT_TRUE(ra_test_write_file(dir_ + "/a.rp4", "a longer replay"));
    EXPECT_EQ(refresh(), ra_index_change::rebuilt);
    {
        ra_library_index app;
        std::string why;
        ASSERT_TRUE(app.open(dir_, &why)) << why;
        ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.keep", "a.rp4\n"));
        ASSERT_TRUE(app.refresh(dir_, true, nullptr, &why)) << why;
        EXPECT_EQ(app.last_change(), ra_index_change::marks);
    }
    EXPECT_EQ(refresh(), ra_index_change::none);
    ra_remove_index(dir_);
    EXPECT_EQ(refresh(), ra_index_change::rebuilt);

    // A line for a name an older line has, or a line whose file is not
    // there: not the everyday case, so the whole list is made again.
    append(race("d.rp4", "2026-03-07 20:00:00", "COAST", "77.00"));
    EXPECT_EQ(refresh(), ra_index_change::rebuilt);
    append(race("f.rp4", "2026-03-08 20:00:00", "COAST", "77.00"));
    fs::remove(dir_ + "/f.rp4");
    EXPECT_EQ(refresh(), ra_index_change::rebuilt);
}

TEST_F(LibraryIndex, DamagedOrCutOffIndexIsMadeAgain) {
    season();
    const std::string index = dir_ + "/" + ra_index_file;
    const std::string expected = pipeline();
    ASSERT_EQ(indexed(), expected);
    std::string whole = ra_test_read_file(index);
    ASSERT_GT(whole.size(), 1024u);

    // Garbage, half of the file, and an index of another schema.
    ASSERT_TRUE(ra_test_write_file(index, std::string(4096, '\x5A')));
    EXPECT_EQ(indexed(), expected);
    ASSERT_TRUE(ra_test_write_file(index, whole.substr(0, whole.size() / 2)));
    EXPECT_EQ(indexed(), expected);
    {
        ra_library_index other;
        std::string why;
        ASSERT_TRUE(other.open(dir_, &why)) << why;
        ASSERT_EQ(sqlite3_exec(other.db(), "PRAGMA user_version=99", nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    append(race("e.rp4", "2026-03-06 20:00:00", "ALPINE", "78.00"));
    EXPECT_EQ(indexed(), pipeline());

    // A process killed in the middle of writing the index: the next one
    // finds the index as it was before, and brings it up to date.
    append(race("f.rp4", "2026-03-07 20:00:00", "ALPINE", "77.00"));
    ra_remove_index(dir_);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ra_library_index dying;
        std::string why;
        dying.open(dir_, &why);
        dying.refresh(
            dir_, false, [](size_t, size_t) { _exit(3); }, &why);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
    EXPECT_EQ(indexed(), pipeline());
}

// The indexes of an index file's tables, each with its definition.
std::string ra_index_definitions(sqlite3 *db) {
    std::string all;
    sqlite3_stmt *s = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT name || ': ' || sql FROM sqlite_schema WHERE type = 'index' AND "
                       "sql IS NOT NULL ORDER BY name",
                       -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW)
        all += (const char *)sqlite3_column_text(s, 0) + std::string("\n");
    sqlite3_finalize(s);
    return all;
}

// An index of the schemas before (the record's state in five values rather
// than one stamp; more indexes of the laps) is migrated with its rows: no
// rebuild, the indexes a new one has, the pipeline's list, and the next race
// read alone.
TEST_F(LibraryIndex, IndexOfThePreviousSchemaIsMigratedNotRebuilt) {
    season();
    ASSERT_EQ(refresh(), ra_index_change::rebuilt);
    std::string made;
    {
        ra_library_index old;
        std::string why;
        ASSERT_TRUE(old.open(dir_, &why)) << why;
        made = ra_index_definitions(old.db());
        const std::string stamp = ra_meta_text(old.db(), "record_stamp");
        const size_t at = stamp.find('@'), hash = stamp.find('#');
        ASSERT_TRUE(at != std::string::npos && hash != std::string::npos) << stamp;
        const std::string size = stamp.substr(0, at);
        const std::string sql =
            "DELETE FROM meta WHERE key='record_stamp';"
            "INSERT OR REPLACE INTO meta VALUES('record_found', 1), ('record_size', " +
            size + "), ('record_mtime', " + stamp.substr(at + 1, hash - at - 1) +
            "), ('record_head', CAST('" + stamp.substr(hash + 1) +
            "' AS BLOB)), ('record_head_length', min(4096, " + size +
            "));"
            "DROP INDEX laps_pb; CREATE INDEX laps_pb ON laps(racer, pb);"
            "CREATE INDEX laps_best ON laps(racer, track_key, lap);"
            "CREATE INDEX laps_group ON laps(racer, track_key, type_key);"
            "DROP INDEX entries_laps; DROP INDEX entries_cars;"
            "PRAGMA user_version=9;";
        ASSERT_EQ(sqlite3_exec(old.db(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    {
        ra_library_index index;
        std::string why;
        ASSERT_TRUE(index.open(dir_, &why)) << why;
        EXPECT_EQ(index.opened(), ra_cache_opened::migrated);
        EXPECT_EQ(ra_index_definitions(index.db()), made);
        ASSERT_TRUE(index.refresh(dir_, false, nullptr, &why)) << why;
        EXPECT_EQ(index.last_change(), ra_index_change::none);
        ra_replay_list list;
        ASSERT_TRUE(index.load(&list));
        EXPECT_EQ(ra_described(list), pipeline());
    }
    append(race("e.rp4", "2026-03-06 20:00:00", "ALPINE", "78.00"));
    EXPECT_EQ(refresh(), ra_index_change::appended);
}

TEST_F(LibraryIndex, TwoProcessesRefreshingAtOnceBothEndRight) {
    season();
    ASSERT_EQ(indexed(), pipeline());
    // Two writers of their own (as the app and a console are) refresh while
    // races are saved; neither fails, and the index ends as the pipeline.
    const int races = 12;
    std::string lines[races];
    for (int i = 0; i < races; ++i) {
        char file[32], saved[32];
        snprintf(file, sizeof file, "r%02d.rp4", i);
        snprintf(saved, sizeof saved, "2026-04-%02d 20:00:00", i + 1);
        lines[i] = race(file, saved, "CANYON", "75.00");
        fs::remove(dir_ + "/" + file);
    }
    auto writer = [this](bool *ok) {
        for (int n = 0; n < 30; ++n) {
            ra_library_index index;
            std::string why;
            ra_replay_list list;
            *ok = *ok && index.open(dir_, &why) && index.refresh(dir_, n % 2 == 0, nullptr, &why) &&
                  index.load(&list);
        }
    };
    bool first = true, second = true;
    std::thread a(writer, &first), b(writer, &second);
    for (int i = 0; i < races; ++i) {
        char file[32];
        snprintf(file, sizeof file, "r%02d.rp4", i);
        ASSERT_TRUE(ra_test_write_file(dir_ + "/" + file, "replay"));
        append(lines[i]);
    }
    a.join();
    b.join();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_EQ(indexed(), pipeline());
}

TEST_F(LibraryIndex, AppRowsAreTheListsRows) {
    season();
    append(race("e.rp4", "2026-03-06 20:00:00", "ALPINE", "78.50"));
    ra_replay_list list;
    std::string error;
    ASSERT_TRUE(ra_list_replays(dir_, dir_, &list, &error)) << error;
    ra_library_index index;
    ASSERT_TRUE(index.open(dir_, &error)) << error;
    ASSERT_TRUE(index.refresh(dir_, true, nullptr, &error)) << error;

    // The races newest first, and the other files apart, as list has them;
    // Player's personal bests as list --racer marks them.
    std::vector<std::string> races, others, bests;
    for (const ra_racer_race &r : ra_racer_races(list, "player")) {
        if (r.personal) bests.push_back(list.replays[r.replay].file);
    }
    for (const ra_replay &r : list.replays)
        (r.kind == ra_replay_kind::race ? races : others).push_back(r.file);
    auto files = [&](ra_row_query query) {
        size_t total = 0;
        std::vector<ra_index_row> rows;
        EXPECT_TRUE(ra_query_rows(index.db(), query, &total, &rows));
        std::vector<std::string> names;
        for (const ra_index_row &row : rows) names.push_back(row.file);
        EXPECT_EQ(total, names.size());
        return names;
    };
    ra_row_query query;
    EXPECT_EQ(files(query), races);
    query.others = true;
    EXPECT_EQ(files(query), others);
    query = ra_row_query();
    query.racer = "PLAYER";
    query.pb = true;
    EXPECT_EQ(files(query), std::vector<std::string>(bests.rbegin(), bests.rend()));

    // Filters, a sort with unknown values last, a page, a search.
    query = ra_row_query();
    query.track = "alpine";
    query.sort = "lap";
    query.desc = false;
    EXPECT_EQ(files(query), (std::vector<std::string>{"e.rp4", "my best.rp4", "d.rp4", "a.rp4"}));
    query.offset = 1;
    query.limit = 2;
    size_t total = 0;
    std::vector<ra_index_row> rows;
    ASSERT_TRUE(ra_query_rows(index.db(), query, &total, &rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(total, 4u);
    EXPECT_EQ(rows[0].file, "my best.rp4");
    EXPECT_EQ(rows[0].renamed_from, "c.rp4");
    query = ra_row_query();
    query.text = "ana";
    EXPECT_EQ(files(query).size(), races.size());
    query.text = "MY BE";
    EXPECT_EQ(files(query), std::vector<std::string>{"my best.rp4"});

    // What changed since a cursor: a mark is one row; a new race grows the
    // library; a file gone leaves its id.
    ra_index_facts facts;
    ASSERT_TRUE(index.facts(&facts));
    ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.keep", "d.rp4\n"));
    ASSERT_TRUE(index.refresh(dir_, true, nullptr, &error)) << error;
    std::vector<ra_index_row> changed;
    std::vector<std::string> removed;
    bool grown = true, too_many = true;
    ASSERT_TRUE(
        ra_query_changes(index.db(), facts.cursor, "", &changed, &removed, &grown, &too_many));
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_TRUE(changed[0].kept);
    EXPECT_FALSE(grown);
    ASSERT_TRUE(index.facts(&facts));
    append(race("f.rp4", "2026-03-07 20:00:00", "COAST", "77.00"));
    fs::remove(dir_ + "/mine.rp4");
    ASSERT_TRUE(index.refresh(dir_, true, nullptr, &error)) << error;
    ASSERT_TRUE(
        ra_query_changes(index.db(), facts.cursor, "", &changed, &removed, &grown, &too_many));
    EXPECT_TRUE(grown);
    EXPECT_EQ(removed, std::vector<std::string>{"mine.rp4"});
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].file, "f.rp4");

    // The personal bests after a race read alone, as list --racer has them.
    append(race("g.rp4", "2026-03-08 20:00:00", "ALPINE", "77.50"));
    ASSERT_TRUE(index.refresh(dir_, true, nullptr, &error)) << error;
    EXPECT_EQ(index.last_change(), ra_index_change::appended);
    ASSERT_TRUE(ra_list_replays(dir_, dir_, &list, &error)) << error;
    bests.clear();
    for (const ra_racer_race &r : ra_racer_races(list, "player")) {
        if (r.personal) bests.push_back(list.replays[r.replay].file);
    }
    query = ra_row_query();
    query.racer = "player";
    query.pb = true;
    EXPECT_EQ(files(query), std::vector<std::string>(bests.rbegin(), bests.rend()));

    // A search finds what was added since and not what is gone; a sort by a
    // racer's lap pages through the laps and then the races without one.
    append(race("h.rp4", "2026-03-09 20:00:00", "ALPINE", ""));
    ASSERT_TRUE(index.refresh(dir_, true, nullptr, &error)) << error;
    query = ra_row_query();
    query.text = "g.RP4";
    EXPECT_EQ(files(query), std::vector<std::string>{"g.rp4"});
    query.text = "mine";
    EXPECT_TRUE(files(query).empty());
    query = ra_row_query();
    query.racer = "player";
    query.sort = "yours";
    query.desc = false;
    ASSERT_TRUE(ra_query_rows(index.db(), query, &total, &rows));
    std::vector<std::string> whole;
    for (size_t i = 0; i < rows.size(); ++i) {
        whole.push_back(rows[i].file);
        // Laps ascending, then the races without one.
        EXPECT_TRUE(i == 0 || rows[i].yours == 0 || rows[i - 1].yours <= rows[i].yours);
        EXPECT_TRUE(i == 0 || rows[i - 1].yours != 0 || rows[i].yours == 0);
    }
    ASSERT_TRUE(rows.front().yours != 0 && rows.back().yours == 0);
    query.limit = 1;
    for (size_t i = 0; i < whole.size(); ++i) {
        query.offset = i;
        ASSERT_TRUE(ra_query_rows(index.db(), query, &total, &rows));
        EXPECT_EQ(total, whole.size());
        EXPECT_EQ(rows.at(0).file, whole[i]);
    }
}

// A season read race by race (the everyday appends) and the same record
// made from nothing give the app the same answers: its racers as the newest
// race spells them, each racer's personal bests and chart, and the
// leaderboard, whose cache takes the player's lines from the index as it
// took them from the record.
// The sorts by a value many races share (laps, cars) and by file, both
// ways: a page anywhere is that part of one whole sort, which is the list
// sorted by the value with ties in the list's order and unknown values last.
TEST_F(LibraryIndex, SortsBySharedValuesPageAsOneWholeSort) {
    const char *laps[] = {"3", "5", "", "5", "3", "10", "3", ""};
    const char *cars[] = {"4", "2", "2", "", "8", "4", "2", "4"};
    records_ = ra_test_record_header();
    for (int i = 0; i < 8; ++i) {
        const std::string file = "r" + std::to_string(7 - i) + ".rp4";
        const std::string saved = "2026-05-0" + std::to_string(i + 1) + " 20:00:00";
        ASSERT_TRUE(ra_test_write_file(dir_ + "/" + file, "replay"));
        records_ += ra_test_record_line({{"file", file},
                                         {"saved", saved},
                                         {"track", "ALPINE"},
                                         {"laps", laps[i]},
                                         {"cars", cars[i]},
                                         {"name1", "Zoë"},
                                         {"best_lap_car1", "80.00"},
                                         {"player", "1"}});
    }
    ASSERT_TRUE(ra_test_write_file(dir_ + "/replays.csv", records_));
    ra_library_index index;
    std::string error;
    ASSERT_TRUE(index.open(dir_, &error) && index.refresh(dir_, true, nullptr, &error)) << error;
    auto page = [&](ra_row_query query) {
        size_t total = 0;
        std::vector<ra_index_row> rows;
        EXPECT_TRUE(ra_query_rows(index.db(), query, &total, &rows));
        EXPECT_EQ(total, 8u);
        return rows;
    };
    const std::vector<ra_index_row> list = page(ra_row_query());
    for (const char *sort : {"laps", "cars", "file"}) {
        for (bool desc : {false, true}) {
            std::vector<ra_index_row> expected = list;
            auto value = [&](const ra_index_row &r) -> std::string {
                return std::string(sort) == "file"   ? r.file
                       : std::string(sort) == "laps" ? r.laps
                                                     : r.cars;
            };
            auto number = [&](const ra_index_row &r) {
                return std::string(sort) == "file" ? 0 : atoi(value(r).c_str());
            };
            std::stable_sort(expected.begin(), expected.end(), [&](const auto &a, const auto &b) {
                if (value(a).empty() != value(b).empty()) return value(b).empty();
                if (std::string(sort) == "file")
                    return desc ? value(a) > value(b) : value(a) < value(b);
                return desc ? number(a) > number(b) : number(a) < number(b);
            });
            ra_row_query query;
            query.sort = sort;
            query.desc = desc;
            query.limit = 3;
            for (size_t offset = 0; offset < 8; ++offset) {
                query.offset = offset;
                const std::vector<ra_index_row> rows = page(query);
                ASSERT_EQ(rows.size(), std::min<size_t>(3, 8 - offset)) << sort << desc << offset;
                for (size_t i = 0; i < rows.size(); ++i)
                    EXPECT_EQ(rows[i].file, expected[offset + i].file) << sort << desc << offset;
            }
        }
    }
}

TEST_F(LibraryIndex, RebuildAndAppendsGiveTheSameAnswers) {
    records_ = ra_test_record_header();
    append(race("a.rp4", "2026-03-01 20:00:00", "ALPINE", "81.00"));
    ASSERT_EQ(refresh(), ra_index_change::rebuilt);
    const char *laps[] = {"80.00", "80.50", "79.00", "79.50", "78.00"};
    for (int i = 0; i < 5; ++i) {
        const std::string file = "r" + std::to_string(i) + ".rp4";
        const std::string saved = "2026-03-0" + std::to_string(i + 2) + " 20:00:00";
        ASSERT_TRUE(ra_test_write_file(dir_ + "/" + file, "replay"));
        ASSERT_TRUE(ra_test_set_file_time(dir_ + "/" + file, saved.c_str()));
        append(ra_test_record_line({{"file", file},
                                    {"saved", saved},
                                    {"type", "SR"},
                                    {"track", "ALPINE"},
                                    {"source", "Replays\\replay.rp4"},
                                    {"name1", "Player"},
                                    {"best_lap_car1", laps[i]},
                                    {"name2", i < 4 ? "rival" : "Rival"},
                                    {"best_lap_car2", "82.00"},
                                    {"total_time_car1", "250.00"},
                                    {"player", "1"}}));
        ASSERT_EQ(refresh(), ra_index_change::appended);
    }
    ASSERT_TRUE(fs::create_directories(dir_ + "/" + ra_friends_folder));
    auto answers = [&]() {
        ra_library_index index;
        std::string why;
        EXPECT_TRUE(index.open(dir_, &why)) << why;
        EXPECT_TRUE(index.refresh(dir_, false, nullptr, &why)) << why;
        std::string text;
        ra_index_choices choices;
        EXPECT_TRUE(ra_query_choices(index.db(), &choices));
        for (const std::string &r : choices.racers) text += "racer " + r + "\n";
        ra_row_query query;
        query.racer = "player";
        query.pb = true;
        size_t total = 0;
        std::vector<ra_index_row> rows;
        EXPECT_TRUE(ra_query_rows(index.db(), query, &total, &rows));
        for (const ra_index_row &r : rows) text += "pb " + r.file + "\n";
        std::vector<ra_chart_lap> chart;
        EXPECT_TRUE(ra_query_chart(index.db(), "rival", "alpine", "sr", &chart));
        for (const ra_chart_lap &l : chart) text += "chart " + l.file + (l.pb ? " pb\n" : "\n");
        const ra_leaderboard board = ra_make_leaderboard(dir_, "", "");
        text += "board " + board.player + "\n";
        for (const ra_board &b : board.boards) {
            for (const ra_board_entry &e : b.entries)
                text += b.track + " " + e.racer + " " + std::to_string(e.lap) + " " + e.file + "\n";
        }
        return text;
    };
    const std::string appended = answers();
    EXPECT_NE(appended.find("racer Rival\n"), std::string::npos) << appended;
    EXPECT_NE(appended.find("pb r2.rp4\n"), std::string::npos) << appended;
    EXPECT_NE(appended.find("Player 7800 r4.rp4"), std::string::npos) << appended;
    ra_remove_index(dir_);
    fs::remove_all(dir_ + "/" + ra_friends_folder);
    ASSERT_TRUE(fs::create_directories(dir_ + "/" + ra_friends_folder));
    EXPECT_EQ(answers(), appended);
    // Without a usable index the leaderboard reads the record itself.
    ra_remove_index(dir_);
    fs::remove_all(dir_ + "/" + ra_friends_folder);
    ASSERT_TRUE(fs::create_directories(dir_ + "/" + std::string(ra_index_file)));
    const ra_leaderboard board = ra_make_leaderboard(dir_, "alpine", "sr");
    ASSERT_EQ(board.boards.size(), 1u);
    EXPECT_EQ(board.boards[0].entries.at(0).file, "r4.rp4");
}
