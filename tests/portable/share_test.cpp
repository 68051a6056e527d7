// Shares between friends: the SHA-256 they state, the names they may
// bring, and hostile share files, each refused with nothing written.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "autosave/autosave.h"
#include "companion_fixture.h"
#include "friends/friend_replay.h"
#include "friends/friends_folder.h"
#include "friends/friends_index.h"
#include "friends/import.h"
#include "friends/leaderboard.h"
#include "friends/plain_name.h"
#include "friends/share_file.h"
#include "friends/sharing.h"
#include "library/replays/keep_marks.h"
#include "library/replays/sha256.h"
#include "plugin_state.h"
#include "snapshot/race_context.h"

namespace fs = std::filesystem;

namespace {

TEST(Sha256, StandardVectorsWholeAndInPieces) {
    EXPECT_EQ(ra_sha256_hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(ra_sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(ra_sha256_hex(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    // One million 'a', fed in uneven pieces across block ends.
    const std::string a(1000000, 'a');
    ra_sha256 hash;
    for (size_t at = 0, piece = 1; at < a.size(); at += piece, piece = piece % 97 + 13) {
        hash.add(a.data() + at, std::min(piece, a.size() - at));
    }
    EXPECT_EQ(ra_hex(hash.digest()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(PlainName, RefusesWhatCouldLeaveTheFolderOrNameADevice) {
    for (const char *ok : {"2026-03-07_21-05-09_SR_ALPINE_3L.rp4", "Ann", "\xc5\x81ukasz",
                           "Ren\xC3\xA9"
                           "e",
                           "a (2).rp4"}) {
        EXPECT_EQ(ra_plain_name_problem(ok), "") << ok;
    }
    // Names are judged as text: bytes of no UTF-8 and a C1 control are none.
    for (const char *bad :
         {"", "../x.rp4", "..", "a/b.rp4", "a\\b.rp4", "C:x.rp4", "CON", "nul.rp4", "com1.txt",
          "LPT9", "a\tb", "a\x7f", "name.", "name ", "a?.rp4",
          // Windows 10 takes superscript digits for COM1 to COM3 and LPT1 to LPT3.
          "COM\xc2\xb9.rp4", "lpt\xc2\xb2", "LPT\xc2\xb3.rp4",
          // Names are UTF-8: the game's bytes of a name never reach here.
          "Ren\xE9"
          "e",
          "a\xC2\x85"}) {
        EXPECT_NE(ra_plain_name_problem(bad), "") << bad;
    }
    EXPECT_NE(ra_plain_name_problem(std::string(300, 'a')), "");
}

// Ann's Dir with two replays and their lines, and Bob's empty Dir.
class Share : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        root_ = ra_test_scratch_dir();
        ann_ = root_ + "/ann";
        bob_ = root_ + "/bob";
        fs::create_directories(ann_);
        fs::create_directories(bob_);
        std::string replay(7000, 'r');
        replay.replace(100, 11, "10.20.30.40");
        ASSERT_TRUE(ra_test_write_file(ann_ + "/a1.rp4", replay));
        ASSERT_TRUE(ra_test_write_file(ann_ + "/a2.rp4", "a short replay"));
        std::string record = ra_test_record_header();
        for (const char *file : {"a1.rp4", "a2.rp4"}) {
            record += ra_test_record_line({{"file", file},
                                           {"replay_md5", digest(file)},
                                           {"saved", "2026-03-01 20:00:00"},
                                           {"type", "SR"},
                                           {"track", "ALPINE"},
                                           {"laps", "3"},
                                           {"player", "1"},
                                           {"name1", "Ann"},
                                           {"name2", "Bob"},
                                           {"best_lap_car1", "80.10"}});
        }
        ASSERT_TRUE(ra_test_write_file(ann_ + "/replays.csv", record));
        share_ = root_ + "/ann.rpshare";
        make_share(share_);
    }
    void TearDown() override { ra_test_reset_plugin(); }

    // The digest the plug-in records for one of Ann's replays.
    std::string digest(const std::string &file) {
        char out[RA_MD5_TEXT_SIZE];
        ra_replay_digest((ann_ + "/" + file).c_str(), out);
        return out;
    }
    void make_share(const std::string &path) {
        ra_share_plan plan;
        std::string error;
        ASSERT_TRUE(ra_plan_share(ann_, {"a1.rp4", "a2.rp4"}, false, &plan, &error)) << error;
        ASSERT_TRUE(ra_write_share(path, plan.share, &error)) << error;
    }
    // Each board's racers, laps and what their times come with.
    std::string laps(const std::string &dir) {
        ra_leaderboard board = ra_make_leaderboard(dir, "", "");
        std::string text;
        for (const ra_board &b : board.boards)
            for (const ra_board_entry &e : b.entries)
                text += e.racer + " " + std::to_string(e.lap) +
                        (e.with_replay ? " with its replay" : "") + "\n";
        return text;
    }

    // Every path and byte below Bob's Dir.
    std::string bob_tree() {
        std::string tree;
        for (const auto &e : fs::recursive_directory_iterator(bob_)) {
            tree += e.path().string() + "\n";
            if (e.is_regular_file()) tree += ra_test_read_file(e.path().string());
        }
        return tree;
    }
    // A copy of the good share changed by one SQL statement.
    std::string changed_share(const std::string &sql) {
        const std::string path = root_ + "/changed.rpshare";
        fs::remove(path);
        fs::copy_file(share_, path);
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(db);
        return path;
    }
    // Imports into Bob's Dir; the refusal's sentence, or "" when imported.
    std::string refusal(const std::string &file) {
        ra_import_result result;
        std::string error;
        return ra_import_share(bob_, file, &result, &error) ? "" : error;
    }

    std::string root_, ann_, bob_, share_;
};

TEST_F(Share, HostileSharesAreRefusedWithNothingWritten) {
    const std::string before = bob_tree();
    struct {
        const char *sql;   // what was done to a good share
        const char *says;  // in the one sentence of the refusal
    } cases[] = {
        // A name that climbs out of Friends\Ann\, in the list and in the record.
        {"UPDATE replays SET name='../x.rp4' WHERE name='a1.rp4'", "path separator"},
        {"UPDATE replays SET name='..x.rp4' WHERE name='a1.rp4'", "holds \"..\""},
        {"UPDATE record SET text=replace(text,'a2.rp4','nul.rp4')", "record line"},
        // Anything beside our tables: a view, a trigger, an index.
        {"CREATE VIEW odd AS SELECT 1", "not a share"},
        {"CREATE TRIGGER odd AFTER INSERT ON record BEGIN DELETE FROM replays; END", "not a share"},
        {"CREATE INDEX odd ON replays(name)", "not a share"},
        // A size bomb: more bytes than stated, or a stated size past any replay.
        {"UPDATE replays SET size=size-1 WHERE name='a1.rp4'", "another size"},
        {"UPDATE replays SET size=1099511627776 WHERE name='a2.rp4'", "bigger than any replay"},
        // Bytes that do not hash as stated.
        {"UPDATE replays SET bytes=zeroblob(size) WHERE name='a1.rp4'",
         "other bytes than its hash"},
        // A sharer that cannot be a folder name.
        {"UPDATE manifest SET sharer='..'", "cannot be a folder name"},
        {"UPDATE manifest SET sharer='CON'", "cannot be a folder name"},
        // Names the program keeps in Friends\ for itself: the next import
        // would take an import's folder for a leftover and delete it.
        {"UPDATE manifest SET sharer='.import-abcd'", "starts with a dot"},
        {"UPDATE manifest SET sharer='Friends.Index-wal'", "keeps in Friends"},
        {"UPDATE replays SET name='COM\xc2\xb9.rp4' WHERE name='a1.rp4'", "device name"},
        {"PRAGMA user_version=3", "newer version; update replay-autosave"},
        // Texts of this format are UTF-8.
        {"UPDATE manifest SET sharer=CAST(X'52656EE965' AS TEXT)", "malformed manifest"},
        {"PRAGMA application_id=1", "not a share"},
        {"UPDATE record SET text='not,a,header' WHERE line=0", "malformed record"},
    };
    for (const auto &c : cases) {
        const std::string said = refusal(changed_share(c.sql));
        EXPECT_NE(said.find(c.says), std::string::npos) << c.sql << ": " << said;
        EXPECT_EQ(bob_tree(), before) << c.sql;
    }
    // Cut short.
    std::string bytes = ra_test_read_file(share_);
    ASSERT_TRUE(ra_test_write_file(root_ + "/cut.rpshare", bytes.substr(0, bytes.size() / 2)));
    const std::string cut = refusal(root_ + "/cut.rpshare");
    EXPECT_NE(cut.find("damaged or cut short"), std::string::npos) << cut;
    // A link to a good share, and a folder.
    fs::create_symlink(share_, root_ + "/link.rpshare");
    EXPECT_NE(refusal(root_ + "/link.rpshare").find("is a link"), std::string::npos);
    EXPECT_NE(refusal(root_).find("not a file"), std::string::npos);
    EXPECT_EQ(bob_tree(), before);
    // The good share itself is taken.
    EXPECT_EQ(refusal(share_), "");
    EXPECT_TRUE(fs::exists(bob_ + "/Friends/Ann/a1.rp4"));
}

TEST_F(Share, TextsTravelAsUtf8AndAShareOfThePreviousVersionReadsAsWindows1252) {
    // Renée's record in her game's Windows-1252.
    ASSERT_TRUE(ra_test_write_file(
        ann_ + "/replays.csv",
        ra_test_record_header() + ra_test_record_line({{"file", "a1.rp4"},
                                                       {"saved", "2026-03-01 20:00:00"},
                                                       {"player", "1"},
                                                       {"name1",
                                                        "Ren\xE9"
                                                        "e"},
                                                       {"name2", "J\xFCrgen"},
                                                       {"best_lap_car1", "80.10"}})));
    ra_share_plan plan;
    std::string error;
    ASSERT_TRUE(ra_plan_share(ann_, {"a1.rp4"}, false, &plan, &error)) << error;
    EXPECT_EQ(plan.share.sharer,
              "Ren\xC3\xA9"
              "e");
    share_ = root_ + "/renee.rpshare";
    ASSERT_TRUE(ra_write_share(share_, plan.share, &error)) << error;
    // The previous version's share: format 1, its texts in the sharer's bytes.
    const std::string older = changed_share(
        "PRAGMA user_version=1; UPDATE manifest SET sharer=CAST(X'52656EE965' AS TEXT); "
        "UPDATE record SET text=replace(replace(text, 'Ren\xC3\xA9"
        "e', CAST(X'52656EE965' AS TEXT)), "
        "'J\xC3\xBCrgen', CAST(X'4AFC7267656E' AS TEXT))");
    for (const std::string &file : {share_, older}) {
        SCOPED_TRACE(file);
        fs::remove_all(bob_);
        fs::create_directories(bob_);
        EXPECT_EQ(refusal(file), "");
        // Her folder and her record, which is UTF-8 after its mark.
        const std::string folder = bob_ +
                                   "/Friends/Ren\xC3\xA9"
                                   "e";
        EXPECT_TRUE(fs::exists(folder + "/a1.rp4"));
        const std::string record = ra_test_read_file(folder + "/replays.csv");
        EXPECT_EQ(record.compare(0, 3, "\xEF\xBB\xBF"), 0);
        ra_friend her;
        ASSERT_TRUE(ra_read_friend(folder,
                                   "Ren\xC3\xA9"
                                   "e",
                                   &her, &error))
            << error;
        ASSERT_EQ(her.records.lines.size(), 1u);
        EXPECT_EQ(her.records.lines[0].get("name1"),
                  "Ren\xC3\xA9"
                  "e");
        EXPECT_EQ(her.records.lines[0].get("name2"), "J\xC3\xBCrgen");
    }
}

TEST_F(Share, TakenNameGetsTheNextFreeOneAndTheRecordFollows) {
    fs::create_directories(bob_ + "/Friends/Ann");
    ASSERT_TRUE(
        ra_test_write_file(bob_ + "/Friends/Ann/a1.rp4", "another replay of the same name"));
    ra_import_result result;
    std::string error;
    ASSERT_TRUE(ra_import_share(bob_, share_, &result, &error)) << error;
    EXPECT_EQ(ra_test_read_file(bob_ + "/Friends/Ann/a1.rp4"), "another replay of the same name");
    const std::string shared = ra_test_read_file(bob_ + "/Friends/Ann/a1 (2).rp4");
    ASSERT_EQ(shared.size(), 7000u);
    EXPECT_EQ(shared.find("10.20.30.40"), std::string::npos);  // scrubbed on the way
    EXPECT_NE(ra_test_read_file(bob_ + "/Friends/Ann/replays.csv").find("a1 (2).rp4"),
              std::string::npos);
    EXPECT_NE(ra_test_read_file(ann_ + "/a1.rp4").find("10.20.30.40"), std::string::npos);
    // The same share again: both replays found by their hashes, nothing written.
    ASSERT_TRUE(ra_import_share(bob_, share_, &result, &error)) << error;
    EXPECT_FALSE(result.changed);
    EXPECT_EQ(result.skipped.size(), 2u);
}

TEST_F(Share, KilledImportIsRepairedByTheNextImport) {
    std::string error;
    ASSERT_EQ(refusal(share_), "");
    const std::string ann = bob_ + "/Friends/Ann/";
    const std::string record = ra_test_read_file(ann + "replays.csv");
    const std::string hashes = ra_test_read_file(ann + "replays.sha256");
    // Killed after a1.rp4 was moved in, before the hash list and the record
    // named it; its working folder left behind.
    auto without_a1 = [](const std::string &text) {
        std::string kept;
        for (size_t at = 0, end; at < text.size(); at = end + 1) {
            end = text.find('\n', at);
            if (end == std::string::npos) end = text.size() - 1;
            const std::string line = text.substr(at, end + 1 - at);
            if (line.find("a1.rp4") == std::string::npos) kept += line;
        }
        return kept;
    };
    ASSERT_TRUE(ra_test_write_file(ann + "replays.csv", without_a1(record)));
    ASSERT_TRUE(ra_test_write_file(ann + "replays.sha256", without_a1(hashes)));
    fs::create_directories(bob_ + "/Friends/.import-0123456789abcdef");
    ASSERT_TRUE(ra_test_write_file(bob_ + "/Friends/.import-0123456789abcdef/a1.rp4", "part"));

    // The same share again: a1.rp4 is known by its bytes, named again, and
    // its line comes back; the leftover folder is gone.
    ra_import_result result;
    ASSERT_TRUE(ra_import_share(bob_, share_, &result, &error)) << error;
    EXPECT_TRUE(result.added.empty());
    EXPECT_FALSE(fs::exists(ann + "a1 (2).rp4"));
    EXPECT_EQ(ra_test_read_file(ann + "replays.sha256"), hashes);
    EXPECT_EQ(ra_test_read_file(ann + "replays.csv").size(), record.size());
    EXPECT_FALSE(fs::exists(bob_ + "/Friends/.import-0123456789abcdef"));
}

TEST_F(Share, LeaderboardIsCachedBeforeAnyFriendIsImported) {
    ra_leaderboard board = ra_make_leaderboard(ann_, "", "");
    ASSERT_EQ(board.boards.size(), 1u);
    EXPECT_EQ(board.boards[0].entries.at(0).lap, 8010u);
    EXPECT_TRUE(fs::is_regular_file(ann_ + "/Friends/" + ra_friends_index_file));
    EXPECT_TRUE(ra_friend_folders(ann_).empty());
}

TEST_F(Share, FriendsReplayIsKeptRemovedAndTheLeaderboardFollows) {
    ASSERT_EQ(refusal(share_), "");
    const std::string ann = bob_ + "/Friends/Ann/";
    auto laps = [&]() { return this->laps(bob_); };
    EXPECT_EQ(laps(), "Ann 8010 with its replay\n");
    // Bob's own record, then a line appended to it (read alone): his new
    // best lap and his name from the newest line.
    auto bob_line = [](const char *file, const char *name, const char *lap) {
        return ra_test_record_line({{"file", file},
                                    {"saved", "2026-03-02 20:00:00"},
                                    {"type", "SR"},
                                    {"track", "ALPINE"},
                                    {"laps", "3"},
                                    {"player", "1"},
                                    {"name1", name},
                                    {"best_lap_car1", lap}});
    };
    const std::string own = ra_test_record_header() + bob_line("b1.rp4", "Bobby", "81.00");
    ASSERT_TRUE(ra_test_write_file(bob_ + "/replays.csv", own));
    EXPECT_EQ(laps(), "Ann 8010 with its replay\nBobby 8100\n");
    ASSERT_TRUE(
        ra_test_write_file(bob_ + "/replays.csv", own + bob_line("b2.rp4", "Bob", "79.50")));
    EXPECT_EQ(laps(), "Bob 7950\nAnn 8010 with its replay\n");
    // The cache is a file of Friends\, never a friend; a damaged one is made anew.
    ASSERT_TRUE(fs::is_regular_file(bob_ + "/Friends/" + ra_friends_index_file));
    ASSERT_TRUE(
        ra_test_write_file(bob_ + "/Friends/" + ra_friends_index_file, std::string(8192, 'x')));
    EXPECT_EQ(laps(), "Bob 7950\nAnn 8010 with its replay\n");
    EXPECT_EQ(ra_friend_folders(bob_).size(), 1u);

    // Names that lead anywhere but a friend's replay are refused.
    ra_friend_replay theirs;
    std::string problem;
    EXPECT_FALSE(ra_is_friend_replay(bob_, "a1.rp4", &theirs, &problem));
    for (const char *bad : {"Friends/Ann/../../replays.csv", "Friends/Bob/a1.rp4",
                            "Friends\\Ann\\x\\a1.rp4", "Friends/Ann/CON"}) {
        EXPECT_TRUE(ra_is_friend_replay(bob_, bad, &theirs, &problem)) << bad;
        EXPECT_NE(problem, "") << bad;
    }
    ASSERT_TRUE(ra_is_friend_replay(bob_, "friends\\ann\\a1.rp4", &theirs, &problem));
    ASSERT_EQ(problem, "");
    EXPECT_EQ(theirs.friend_name, "Ann");

    // Kept in the friend's folder: not removed until unkept.
    ASSERT_TRUE(ra_set_keep_mark(theirs.folder, theirs.file, true, &problem)) << problem;
    EXPECT_FALSE(ra_remove_friend_replay(theirs, &problem));
    EXPECT_TRUE(fs::exists(ann + "a1.rp4"));
    ASSERT_TRUE(ra_set_keep_mark(theirs.folder, theirs.file, false, &problem)) << problem;
    // Removed: its lines and hash leave Ann's files, and the board has a2's lap alone.
    ASSERT_TRUE(ra_remove_friend_replay(theirs, &problem)) << problem;
    EXPECT_FALSE(fs::exists(ann + "a1.rp4"));
    EXPECT_EQ(ra_test_read_file(ann + "replays.csv").find("a1.rp4"), std::string::npos);
    EXPECT_EQ(ra_test_read_file(ann + "replays.sha256").find("a1.rp4"), std::string::npos);
    EXPECT_NE(ra_test_read_file(ann + "replays.csv").find("a2.rp4"), std::string::npos);
    ra_leaderboard board = ra_make_leaderboard(bob_, "", "");
    ASSERT_EQ(board.boards.size(), 1u);
    ASSERT_EQ(board.boards[0].entries.size(), 2u);
    EXPECT_EQ(board.boards[0].entries[1].file, "a2.rp4");
}

TEST_F(Share, WithItsReplayOnlyWhereTheLineWasWrittenForThatReplay) {
    // Ann's 41.00 is put with a2.rp4, but its line states a1's digest: the
    // lap was moved onto another race's replay. Her old line, written
    // before the plug-in kept digests, states none.
    std::string record = ra_test_record_header();
    const std::map<std::string, std::string> race = {{"saved", "2026-03-01 20:00:00"},
                                                     {"type", "SR"},
                                                     {"track", "ALPINE"},
                                                     {"laps", "3"},
                                                     {"player", "1"},
                                                     {"name1", "Ann"}};
    auto line = [&](const char *file, const char *lap, const std::string &md5) {
        std::map<std::string, std::string> values = race;
        values["file"] = file;
        values["best_lap_car1"] = lap;
        if (!md5.empty()) values["replay_md5"] = md5;
        return ra_test_record_line(values);
    };
    ASSERT_TRUE(ra_test_write_file(
        ann_ + "/replays.csv",
        record + line("a1.rp4", "80.10", "") + line("a2.rp4", "41.00", digest("a1.rp4"))));
    const std::string moved = root_ + "/moved.rpshare";
    make_share(moved);
    ra_import_result result;
    std::string error;
    ASSERT_TRUE(ra_import_share(bob_, moved, &result, &error)) << error;
    EXPECT_EQ(result.lines_added, 2u);
    EXPECT_EQ(result.lines_unmatched, 1u);
    EXPECT_EQ(result.lines_undigested, 1u);
    const std::string report = ra_import_report(result);
    EXPECT_NE(report.find("1 record lines do not match the replay"), std::string::npos) << report;
    EXPECT_EQ(laps(bob_), "Ann 4100\n");
    EXPECT_EQ(ra_leaderboard_text(ra_make_leaderboard(bob_, "", "")).find("verified"),
              std::string::npos);
}

TEST_F(Share, LeaderboardTrustsNoPathOfItsCacheAndMarksAFriendNamedAsThePlayer) {
    ASSERT_EQ(refusal(share_), "");
    // Bob races as "Ann" too, slower than his friend Ann.
    ASSERT_TRUE(ra_test_write_file(
        bob_ + "/replays.csv",
        ra_test_record_header() + ra_test_record_line({{"file", "b1.rp4"},
                                                       {"saved", "2026-03-02 20:00:00"},
                                                       {"type", "SR"},
                                                       {"track", "ALPINE"},
                                                       {"laps", "3"},
                                                       {"player", "1"},
                                                       {"name1", "Ann"},
                                                       {"best_lap_car1", "81.00"}})));
    EXPECT_EQ(laps(bob_), "Ann (friend) 8010 with its replay\nAnn 8100\n");
    // A row planted in the cache that leads out of Dir is never read.
    ASSERT_TRUE(ra_test_write_file(root_ + "/outside.rp4", "not Bob's"));
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open((bob_ + "/Friends/" + ra_friends_index_file).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db, "UPDATE bests SET file='../../../outside.rp4'", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    ra_leaderboard board = ra_make_leaderboard(bob_, "", "");
    ASSERT_EQ(board.boards.size(), 1u);
    for (const ra_board_entry &e : board.boards[0].entries) {
        EXPECT_FALSE(e.watchable) << e.racer;
        EXPECT_EQ(e.file, "") << e.racer;
    }
}

TEST_F(Share, CancelledImportLeavesNothingBehind) {
    const std::string before = bob_tree();
    for (ra_import_stage stop : {ra_import_stage::checking, ra_import_stage::writing}) {
        ra_import_result result;
        std::string error;
        uint64_t told = 0;
        EXPECT_FALSE(ra_import_share(bob_, share_, &result, &error,
                                     [&](ra_import_stage stage, uint64_t, uint64_t) {
                                         ++told;
                                         return stage != stop;
                                     }));
        EXPECT_EQ(error, ra_import_cancelled);
        EXPECT_GT(told, 0u);
        EXPECT_EQ(bob_tree(), before);
    }
    // Told to the end, it imports.
    ra_import_result result;
    std::string error;
    std::vector<ra_import_stage> stages;
    ASSERT_TRUE(ra_import_share(bob_, share_, &result, &error,
                                [&](ra_import_stage stage, uint64_t, uint64_t) {
                                    stages.push_back(stage);
                                    return true;
                                }))
        << error;
    EXPECT_EQ(stages.back(), ra_import_stage::placing);
    EXPECT_EQ(result.added.size(), 2u);
}

}  // namespace
