#include <gtest/gtest.h>
#include <string.h>

#include "game_image.h"
#include "game_memory.h"
#include "plugin_state.h"
#include "snapshot/game_map.h"
#include "snapshot/race_context.h"

namespace {

class GameMap : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        sim_game_map();
        ra_game = VQ_GAME_BASE;
    }
    std::string folder() {
        char out[RA_TRACK_SIZE];
        memset(out, 'x', sizeof out);
        ra_track_folder(out);
        return out;
    }
};

uintptr_t mem(uint32_t a) { return (uintptr_t)ra_image_mem(a); }

}  // namespace

TEST(RaceTypeCode, EveryRowIncludingCatchAlls) {
    const uint32_t none = 0xFFFFFFFFu;  // vq_ra_circ_type before any capture
    struct row {
        uint32_t type, m, variant, circ;
        const char *code;
    } rows[] = {
        // clang-format off
        // Types 0..2: the M flag picks the code; variant and circuit ignored.
        {0, 0, 9, 1, "SR"}, {0, 1, 9, 1, "MS"}, {1, 0, 0, 0, "ST"},
        {1, 1, 0, 0, "MT"}, {2, 0, 5, 2, "SK"}, {2, 1, 5, 2, "MK"},
        // Type 3 without the M flag: by variant, 3 and above (wrapping too) "HP".
        {3, 0, 0, 2, "HC"}, {3, 0, 1, 0, "HG"}, {3, 0, 2, 0, "HT"},
        {3, 0, 3, 0, "HP"}, {3, 0, 10, 0, "HP"}, {3, 0, none, 0, "HP"},
        // Type 3 with the M flag: 4..9 in pairs, everything else "MH".
        {3, 1, 4, 0, "MC"}, {3, 1, 7, 0, "MC"}, {3, 1, 5, 0, "MX"}, {3, 1, 8, 0, "MX"},
        {3, 1, 6, 0, "MP"}, {3, 1, 9, 0, "MP"}, {3, 1, 0, 0, "MH"}, {3, 1, 3, 0, "MH"},
        {3, 1, 10, 0, "MH"}, {3, 1, none, 0, "MH"},
        // Type 4: by circuit type only; -1 and anything from 3 up is "C".
        {4, 0, 3, 0, "CT"}, {4, 1, 3, 1, "CK"}, {4, 0, 0, 2, "CH"},
        {4, 0, 0, 3, "C"}, {4, 0, 0, none, "C"}, {4, 1, 0, none, "C"},
        // Unknown race types.
        {5, 0, 0, 0, "??"}, {7, 1, 4, 1, "??"}, {none, 0, 0, 0, "??"},
        // clang-format on
    };
    for (const row &r : rows) {
        char dst[8];
        memset(dst, 'x', sizeof dst);
        uint32_t len = vqra_type_code(r.type, r.variant, r.circ, r.m, dst);
        EXPECT_STREQ(dst, r.code) << "type " << r.type << " m " << r.m << " variant " << r.variant
                                  << " circ " << r.circ;
        EXPECT_EQ(len, strlen(r.code));
    }
}

TEST(ImageMem, PreferredBaseLeavesEveryAddressAlone) {
    ra_game = VQ_GAME_BASE;
    for (uint32_t a : {0u, 0x3FFFFFu, 0x400000u, 0x5BA21Cu, 0x7FFFFFu, 0x800000u, 0xFFFFFFFFu})
        EXPECT_EQ(mem(a), (uintptr_t)a);
}

TEST(ImageMem, OtherBaseRebasesOnlyTheImageWindow) {
    ra_game = 0x10000000u;
    // Inside the 4 MiB window, edges included.
    EXPECT_EQ(mem(0x400000u), (uintptr_t)0x10000000u);
    EXPECT_EQ(mem(0x5BA21Cu), (uintptr_t)0x101BA21Cu);
    EXPECT_EQ(mem(0x7FFFFFu), (uintptr_t)0x103FFFFFu);
    // Outside it the address passes through; 0 stays a null pointer.
    EXPECT_EQ(mem(0x800000u), (uintptr_t)0x800000u);
    EXPECT_EQ(mem(0x3FFFFFu), (uintptr_t)0x3FFFFFu);
    EXPECT_EQ(ra_image_mem(0), nullptr);
}

TEST_F(GameMap, TrackFolderFollowsIndexWithinTheTable) {
    sim_race race;
    race.has_track_folder[0] = true;
    race.track_folders[0] = "first";
    race.has_track_folder[18] = true;
    race.track_folders[18] = "last";
    race.track_index = 18;
    sim_game_write_race(race);
    EXPECT_EQ(folder(), "LAST");

    // 19 and beyond name no track, even with a readable pointer after the table.
    sim_game_put32(game_track_folder_table + 4 * 19, sim_game_get32(game_track_folder_table));
    for (uint32_t index : {19u, 0xFFFFFFFFu}) {
        sim_game_put32(game_track_index, index);
        EXPECT_EQ(folder(), "") << index;
    }
    // A null entry gives the empty name.
    sim_game_put32(game_track_index, 5);
    EXPECT_EQ(folder(), "");
}

TEST_F(GameMap, TrackFolderUpperCasesAsciiOnlyAndCutsTo23Bytes) {
    sim_race race;
    race.track_index = 3;
    race.has_track_folder[3] = true;
    race.track_folders[3] = "abc_Def9";
    sim_game_write_race(race);
    EXPECT_EQ(folder(), "ABC_DEF9");

    race.track_folders[3] = "abcdefghijklmnopqrstuvwxyz0123";  // 30 bytes
    sim_game_write_race(race);
    EXPECT_EQ(folder(), "ABCDEFGHIJKLMNOPQRSTUVW");

    race.track_folders[3] = "\xe9t\xe9_\x80\xff";
    sim_game_write_race(race);
    EXPECT_EQ(folder(), "\xe9T\xe9_\x80\xff");
}
