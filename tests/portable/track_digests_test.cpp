#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "game_image.h"
#include "game_memory.h"
#include "host/host.h"
#include "plugin_state.h"
#include "sim_win32.h"
#include "snapshot/track_digests.h"

namespace {

const char md5_abc[] = "900150983cd24fb0d6963f7d28e17f72";
const char md5_message[] = "f96b697d7cb7938d525a2f31aaf161d0";  // "message digest"
const char md5_a[] = "0cc175b9c0f1b6a831c399e269772661";

// Game with the track root "tracks\" below a scratch folder that is the
// current directory; table entries 0 and 1 name the folders "alpha", "beta".
class DigestCache : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        sim_game_map();
        ra_game = VQ_GAME_BASE;
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        std::string dir = ra_test_scratch_dir();
        ASSERT_EQ(chdir(dir.c_str()), 0);
        ASSERT_EQ(system("mkdir -p tracks/ALPHA tracks/BETA"), 0);
        race.track_root = "tracks\\";
        race.has_track_folder[0] = race.has_track_folder[1] = true;
        race.track_folders[0] = "alpha";
        race.track_folders[1] = "beta";
        on_track(0);
    }
    void TearDown() override { ASSERT_EQ(chdir(cwd), 0); }

    void on_track(uint32_t index) {
        race.track_index = index;
        sim_game_write_race(race);
    }
    // Refreshes and returns the number of files it opened.
    uint32_t refresh() {
        uint32_t before = sim_call_count("CreateFileA");
        ra_md5_refresh();
        return sim_call_count("CreateFileA") - before;
    }

    char cwd[4096];
    sim_race race;
};

}  // namespace

TEST_F(DigestCache, ComputedOncePerFolderEvenWhenFilesChange) {
    ASSERT_TRUE(ra_test_write_file("tracks/ALPHA/Tr.frd", "abc"));
    ASSERT_TRUE(ra_test_write_file("tracks/ALPHA/Trn.frd", "message digest"));
    EXPECT_EQ(refresh(), 2u);
    EXPECT_EQ(ra_md5_valid, 1);
    EXPECT_STREQ(ra_md5_tr, md5_abc);
    EXPECT_STREQ(ra_md5_trn, md5_message);
    EXPECT_STREQ(ra_md5_folder, "ALPHA");

    // Same folder: nothing is read, even after the files were replaced.
    ASSERT_TRUE(ra_test_write_file("tracks/ALPHA/Tr.frd", "a"));
    EXPECT_EQ(refresh(), 0u);
    EXPECT_STREQ(ra_md5_tr, md5_abc);
    EXPECT_EQ(sim_open_handles(), 0u);
}

TEST_F(DigestCache, RecomputedAfterAChangeOfFolderAndBack) {
    ASSERT_TRUE(ra_test_write_file("tracks/ALPHA/Tr.frd", "abc"));
    ASSERT_TRUE(ra_test_write_file("tracks/BETA/Tr.frd", "a"));
    EXPECT_EQ(refresh(), 2u);
    on_track(1);
    EXPECT_EQ(refresh(), 2u);
    EXPECT_STREQ(ra_md5_tr, md5_a);
    EXPECT_STREQ(ra_md5_folder, "BETA");
    on_track(0);
    EXPECT_EQ(refresh(), 2u);
    EXPECT_STREQ(ra_md5_tr, md5_abc);
    EXPECT_STREQ(ra_md5_folder, "ALPHA");
}

TEST_F(DigestCache, EmptyFolderNameIsCachedWithoutOpeningAnything) {
    strcpy(ra_md5_tr, "leftover");
    on_track(19);
    EXPECT_EQ(refresh(), 0u);
    EXPECT_EQ(ra_md5_valid, 1);
    EXPECT_STREQ(ra_md5_tr, "");
    EXPECT_STREQ(ra_md5_trn, "");
    EXPECT_STREQ(ra_md5_folder, "");
    // Later races without a track do not try again.
    EXPECT_EQ(refresh(), 0u);
}

TEST_F(DigestCache, EachFileStandsAlone) {
    // Tr.frd missing, Trn.frd present.
    ASSERT_TRUE(ra_test_write_file("tracks/ALPHA/Trn.frd", "message digest"));
    EXPECT_EQ(refresh(), 2u);
    EXPECT_STREQ(ra_md5_tr, "");
    EXPECT_STREQ(ra_md5_trn, md5_message);
    // The empty digest is cached like any other: a file that appears later
    // is not picked up while the folder stays current.
    ASSERT_TRUE(ra_test_write_file("tracks/ALPHA/Tr.frd", "abc"));
    EXPECT_EQ(refresh(), 0u);
    EXPECT_STREQ(ra_md5_tr, "");
}

TEST_F(DigestCache, NullTrackRootGivesEmptyDigests) {
    ASSERT_TRUE(ra_test_write_file("tracks/ALPHA/Tr.frd", "abc"));
    race.has_track_root = false;
    on_track(0);
    EXPECT_EQ(refresh(), 0u);
    EXPECT_EQ(ra_md5_valid, 1);
    EXPECT_STREQ(ra_md5_tr, "");
    EXPECT_STREQ(ra_md5_folder, "ALPHA");
}
