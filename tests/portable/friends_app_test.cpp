// What the library app adds to friends: removing a friend takes only their
// listed folder, a friend's laps for the chart overlay come from their own
// car, their races come newest first a page at a time, and a download's
// name is one Windows takes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "companion_fixture.h"
#include "friends/friend_laps.h"
#include "friends/friend_removal.h"
#include "plugin_state.h"
#include "serve/friends_api.h"
#include "platform/file_system.h"
#include "serve/upload_file.h"

namespace fs = std::filesystem;

TEST(FriendRemoval, OnlyAListedFolderGoesNeverALinkOrAPath) {
    const std::string dir = ra_test_scratch_dir() + "/friends-removal";
    fs::remove_all(dir);
    const std::string friends = dir + "/Friends";
    fs::create_directories(friends + "/Ann");
    fs::create_directories(friends + "/.import-1");
    fs::create_directories(dir + "/elsewhere");
    ASSERT_TRUE(ra_test_write_file(friends + "/Ann/a.rp4", "replay"));
    ASSERT_TRUE(ra_test_write_file(dir + "/elsewhere/mine.rp4", "mine"));
    fs::create_directory_symlink(dir + "/elsewhere", friends + "/Linked");
    std::string error;
    // Refused, and nothing goes: a link, an import at work, a path, nobody.
    for (const char *name : {"Linked", ".import-1", "..", "Ann/..", "Bob", ""}) {
        EXPECT_FALSE(ra_remove_friend(dir, name, &error)) << name;
        EXPECT_NE(error.find("nothing was removed"), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::exists(dir + "/elsewhere/mine.rp4"));
    EXPECT_TRUE(fs::exists(friends + "/.import-1"));
    // A friend the view lists goes whole.
    EXPECT_TRUE(ra_remove_friend(dir, "Ann", &error)) << error;
    EXPECT_FALSE(fs::exists(friends + "/Ann"));
    EXPECT_TRUE(fs::exists(dir + "/elsewhere/mine.rp4"));
}

TEST(FriendLaps, TheirOwnCarOnTheTrackAndTypeOldestFirstWithTheirBests) {
    const std::string dir = ra_test_scratch_dir() + "/friend-laps";
    fs::remove_all(dir);
    fs::create_directories(dir + "/Friends/Ann");
    std::string record = ra_test_record_header();
    auto line = [](const char *file, const char *saved, const char *track, const char *lap) {
        // Ann drove car 2 here; car 1's lap is another racer's.
        return ra_test_record_line({{"file", file},
                                    {"saved", saved},
                                    {"type", "SR"},
                                    {"track", track},
                                    {"laps", "3"},
                                    {"player", "2"},
                                    {"name1", "Bob"},
                                    {"name2", "Ann"},
                                    {"best_lap_car1", "70.00"},
                                    {"best_lap_car2", lap}});
    };
    record += line("b.rp4", "2026-03-05 20:00:00", "ALPINE", "80.50");
    record += line("a.rp4", "2026-03-01 20:00:00", "ALPINE", "81.00");
    record += line("c.rp4", "2026-03-06 20:00:00", "ALPINE", "80.90");
    record += line("d.rp4", "2026-03-07 20:00:00", "COAST", "60.00");
    ASSERT_TRUE(ra_test_write_file(dir + "/Friends/Ann/replays.csv", record));
    std::vector<ra_chart_lap> laps;
    std::string error;
    ASSERT_TRUE(ra_friend_laps(dir, "Ann", "alpine", "sr", &laps, &error)) << error;
    ASSERT_EQ(laps.size(), 3u);
    EXPECT_EQ(laps[0].file, "a.rp4");
    EXPECT_EQ(laps[0].lap, 8100u);
    EXPECT_TRUE(laps[0].pb);
    EXPECT_TRUE(laps[1].pb);
    EXPECT_FALSE(laps[2].pb);
    // Nobody of that name: a sentence, no laps.
    EXPECT_FALSE(ra_friend_laps(dir, "../Friends/Ann", "ALPINE", "SR", &laps, &error));
    EXPECT_TRUE(laps.empty());
}

TEST(FriendRaces, NewestFirstAPageAtATimeWithTheirLapAndWhatTheirFolderHolds) {
    const std::string dir = ra_test_scratch_dir() + "/friend-races";
    fs::remove_all(dir);
    fs::create_directories(dir + "/Friends/Ann");
    std::string record = ra_test_record_header();
    for (const char *file : {"a.rp4", "c.rp4", "b.rp4"}) {
        const std::string day = file[0] == 'a' ? "01" : file[0] == 'b' ? "02" : "03";
        record += ra_test_record_line({{"file", file},
                                       {"saved", "2026-03-" + day + " 20:00:00"},
                                       {"track", "ALPINE"},
                                       {"player", "2"},
                                       {"best_lap_car1", "70.00"},
                                       {"best_lap_car2", "80.50"}});
    }
    ASSERT_TRUE(ra_test_write_file(dir + "/Friends/Ann/replays.csv", record));
    // Only b's replay came; she keeps it.
    ASSERT_TRUE(ra_test_write_file(dir + "/Friends/Ann/b.rp4", "replay"));
    ASSERT_TRUE(ra_test_write_file(dir + "/Friends/Ann/replays.keep", "b.rp4\n"));
    nlohmann::json page;
    std::string error;
    ASSERT_TRUE(ra_friend_races_json(dir, "Ann", 0, 2, &page, &error)) << error;
    EXPECT_EQ(page["total"], 3);
    ASSERT_EQ(page["races"].size(), 2u);
    EXPECT_EQ(page["races"][0]["when"], "2026-03-03 20:00");
    EXPECT_EQ(page["races"][0]["replay"], false);
    EXPECT_EQ(page["races"][1]["lap"], "1:20.50");
    EXPECT_EQ(page["races"][1]["replay"], true);
    EXPECT_EQ(page["races"][1]["kept"], true);
    // The next page holds the oldest alone; nobody of that name gets a sentence.
    ASSERT_TRUE(ra_friend_races_json(dir, "Ann", 2, 2, &page, &error)) << error;
    ASSERT_EQ(page["races"].size(), 1u);
    EXPECT_EQ(page["races"][0]["when"], "2026-03-01 20:00");
    EXPECT_FALSE(ra_friend_races_json(dir, "../Friends/Ann", 0, 2, &page, &error));
}

TEST(UploadFile, IsTheUsersAloneFromTheMomentItExists) {
    // Whatever the umask, no other user can open it while it is written.
    const mode_t before = umask(0);
    const std::string path = ra_test_scratch_dir() + "/private.rpshare";
    mode_t seen = 0;
    std::string why;
    const bool made = ra_create_new_file_with(
        path,
        [&](const ra_put_bytes &put) {
            struct stat st;
            if (stat(path.c_str(), &st) == 0) seen = st.st_mode & 0777;
            return put("x", 1);
        },
        true, &why);
    umask(before);
    ASSERT_TRUE(made) << why;
    EXPECT_EQ(seen, 0600u);
    ra_upload_file upload;
    ASSERT_TRUE(upload.make(".rpshare", &why)) << why;
    struct stat st;
    ASSERT_EQ(stat(upload.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Attachment, ANameWindowsRefusesFallsBackAndQuotesCannotBreakTheHeader) {
    EXPECT_EQ(ra_attachment_header("Ann_2026.rpshare", "replays.rpshare"),
              "attachment; filename=\"Ann_2026.rpshare\"; filename*=UTF-8''Ann_2026.rpshare");
    // A racer named with a separator or a device name: the fallback.
    EXPECT_NE(ra_attachment_header("a/b.rpshare", "replays.rpshare").find("\"replays.rpshare\""),
              std::string::npos);
    EXPECT_NE(ra_attachment_header("CON.rpshare", "replays.rpshare").find("\"replays.rpshare\""),
              std::string::npos);
    // Quotes and line ends never reach the header as themselves.
    const std::string header = ra_attachment_header("x\"; y.rpshare", "replays.rpshare");
    EXPECT_EQ(header.find("x\";"), std::string::npos) << header;
}
