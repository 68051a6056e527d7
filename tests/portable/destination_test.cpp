#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <string>

#include "naming/naming.h"
#include "settings/settings.h"

namespace {

class Destination : public ::testing::Test {
protected:
    void SetUp() override { ra_stpcpy(ra_dir, RA_DEFAULT_DIR); }
    void TearDown() override { ra_stpcpy(ra_dir, RA_DEFAULT_DIR); }

    // The path for name, or "<refused>" with the buffer checked untouched.
    static std::string dst(const std::string &name) {
        char buf[RA_PATH_SIZE];
        memset(buf, 0x5A, sizeof buf);
        if (!ra_build_dst(buf, name.c_str())) {
            for (char c : buf) EXPECT_EQ(c, 0x5A) << "refusal wrote into the buffer";
            return "<refused>";
        }
        return buf;
    }
};

}  // namespace

TEST_F(Destination, WorkedExamples) {
    EXPECT_EQ(dst("2026-03-07_21-05-09_SR_MYTRACK_3L"),
              "SaveData\\Saves\\2026-03-07_21-05-09_SR_MYTRACK_3L.rp4");
    EXPECT_EQ(dst("MYTRACK_83.45s_Racer_1"), "SaveData\\Saves\\MYTRACK_83-45s_Racer_1.rp4");
}

TEST_F(Destination, OwnExtensionIsDroppedOnceInAnyCase) {
    EXPECT_EQ(dst("a.rp4"), "SaveData\\Saves\\a.rp4");
    EXPECT_EQ(dst("a.RP4"), "SaveData\\Saves\\a.rp4");
    EXPECT_EQ(dst("a.Rp4"), "SaveData\\Saves\\a.rp4");
    // Only the last one goes; the dot of the other becomes '-'.
    EXPECT_EQ(dst("a.rp4.rp4"), "SaveData\\Saves\\a-rp4.rp4");
    // Not the extension: no dot, or another character folded wrongly.
    EXPECT_EQ(dst("arp4"), "SaveData\\Saves\\arp4.rp4");
    EXPECT_EQ(dst("a.r.p4"), "SaveData\\Saves\\a-r-p4.rp4");
    EXPECT_EQ(dst("a-rp4"), "SaveData\\Saves\\a-rp4.rp4");
    // Exactly ".rp4": an empty base name.
    EXPECT_EQ(dst(".rp4"), "SaveData\\Saves\\.rp4");
    // Shorter than the extension: not tested for it.
    EXPECT_EQ(dst(""), "SaveData\\Saves\\.rp4");
    EXPECT_EQ(dst("a"), "SaveData\\Saves\\a.rp4");
    EXPECT_EQ(dst(".rp"), "SaveData\\Saves\\-rp.rp4");
    EXPECT_EQ(dst("rp4"), "SaveData\\Saves\\rp4.rp4");
}

TEST_F(Destination, DirectoryIsUsedAsGiven) {
    // Its dots stay; only the name part changes.
    ra_stpcpy(ra_dir, "C:\\Game.v1\\Saves.old");
    EXPECT_EQ(dst("x.y"), "C:\\Game.v1\\Saves.old\\x-y.rp4");
    // A trailing separator is not merged with ours.
    ra_stpcpy(ra_dir, "C:\\Replays\\");
    EXPECT_EQ(dst("x"), "C:\\Replays\\\\x.rp4");
    ra_stpcpy(ra_dir, "D:/replays");
    EXPECT_EQ(dst("x"), "D:/replays\\x.rp4");
}

TEST_F(Destination, NameOfAWindowsDeviceGetsAGuardSoTheCopyIsNotLost) {
    // A racer called NUL or COM1 must not send the copy to a device.
    EXPECT_EQ(dst("NUL"), "SaveData\\Saves\\NUL_.rp4");
    EXPECT_EQ(dst("con"), "SaveData\\Saves\\con_.rp4");
    EXPECT_EQ(dst("Aux.rp4"), "SaveData\\Saves\\Aux_.rp4");
    EXPECT_EQ(dst("com7"), "SaveData\\Saves\\com7_.rp4");
    EXPECT_EQ(dst("LPT0"), "SaveData\\Saves\\LPT0_.rp4");
    // Superscript digits name the same devices on Windows 10 and later.
    EXPECT_EQ(dst("COM\xB9"), "SaveData\\Saves\\COM\xB9_.rp4");
    EXPECT_EQ(dst("lpt\xB3.rp4"), "SaveData\\Saves\\lpt\xB3_.rp4");
    // Longer or shorter names, and names merely starting with one, are files.
    EXPECT_EQ(dst("NULL"), "SaveData\\Saves\\NULL.rp4");
    EXPECT_EQ(dst("NU"), "SaveData\\Saves\\NU.rp4");
    EXPECT_EQ(dst("COM10"), "SaveData\\Saves\\COM10.rp4");
    EXPECT_EQ(dst("COMX"), "SaveData\\Saves\\COMX.rp4");
    EXPECT_EQ(dst("con.x"), "SaveData\\Saves\\con-x.rp4");
    // Windows ignores spaces between the base name and the extension, so
    // these are devices too.
    EXPECT_EQ(dst("CON .rp4"), "SaveData\\Saves\\CON _.rp4");
    EXPECT_EQ(dst("lpt3  .RP4"), "SaveData\\Saves\\lpt3  _.rp4");
    EXPECT_EQ(dst("Nul "), "SaveData\\Saves\\Nul _.rp4");
    // A dot there stands as '-' in the path: "nul- " is a file.
    EXPECT_EQ(dst("nul. .rp4"), "SaveData\\Saves\\nul- .rp4");
}

TEST_F(Destination, PathThatWouldNotFitIsRefusedWhole) {
    // Default directory: D 14, so N 240 is the longest name (259 characters).
    std::string longest(RA_PATH_SIZE - 6 - strlen(RA_DEFAULT_DIR), 'n');
    std::string path = dst(longest);
    EXPECT_EQ(path.size(), (size_t)RA_PATH_SIZE - 1);
    EXPECT_EQ(path, "SaveData\\Saves\\" + longest + ".rp4");
    EXPECT_EQ(dst(longest + "n"), "<refused>");
    // The length counts after a dropped extension.
    EXPECT_EQ(dst(longest + ".RP4").size(), (size_t)RA_PATH_SIZE - 1);
    EXPECT_EQ(dst(longest + "n.rp4"), "<refused>");

    // The longest "Dir" takes names of up to 159 characters.
    ra_stpcpy(ra_dir, std::string(RA_DIR_SIZE - 1, 'd').c_str());
    EXPECT_EQ(dst(std::string(159, 'n')).size(), (size_t)RA_PATH_SIZE - 1);
    EXPECT_EQ(dst(std::string(160, 'n')), "<refused>");
    EXPECT_EQ(dst(std::string(RA_NAME_MAX, 'n')), "<refused>");
}

namespace {

// Text of `len` random bytes in 1..255 (a template or track cannot hold NUL).
std::string random_text(std::mt19937 &rng, size_t len) {
    std::string s;
    for (size_t i = 0; i < len; ++i) s += (char)(1 + rng() % 255);
    return s;
}

void fill_random(std::mt19937 &rng, char *field, size_t size) {
    for (size_t i = 0; i + 1 < size; ++i) field[i] = (char)rng();
    field[size - 1] = '\0';
}

}  // namespace

// Racer names come from other players online, and templates and track
// folders from files anyone can edit: whatever bytes they hold, the copy must
// land directly in the save directory under a name Windows accepts.
TEST_F(Destination, UntrustedTextNeverLeavesTheSaveDirectory) {
    std::mt19937 rng(20260307);
    const std::string dirs[] = {RA_DEFAULT_DIR, "C:\\Replays\\", "D:/x.y/z", "..\\up",
                                std::string(RA_DIR_SIZE - 1, 'd')};
    const char *tokens[] = {
        "%name1%", "%name2%", "%name16%", "%track%",  "%type%", "%track_tr_md5%",
        "%seed%",  "%date%",  "%",        "%%",       "..",     ".rp4",
        "\\",      "/",       ":",        "..\\..\\", " ",      "."};
    int accepted = 0, refused = 0;
    for (int iter = 0; iter < 4000; ++iter) {
        ra_ctx ctx;
        for (size_t i = 0; i < sizeof ctx; ++i) ((unsigned char *)&ctx)[i] = (unsigned char)rng();
        for (auto &name : ctx.names) fill_random(rng, name, RA_RACER_NAME_LEN + 1);
        fill_random(rng, ctx.track, sizeof ctx.track);
        fill_random(rng, ctx.type, sizeof ctx.type);
        fill_random(rng, ctx.md5_tr, sizeof ctx.md5_tr);
        fill_random(rng, ctx.md5_trn, sizeof ctx.md5_trn);

        std::string tpl;
        for (int pieces = (int)(rng() % 30); pieces > 0; --pieces) {
            if (rng() % 2) {
                tpl += tokens[rng() % (sizeof tokens / sizeof *tokens)];
            } else {
                tpl += random_text(rng, 1 + rng() % 12);
            }
        }
        char name[RA_NAME_BUF];
        vqra_expand(tpl.c_str(), &ctx, name);
        const size_t n = strlen(name);
        ASSERT_LE(n, (size_t)RA_NAME_MAX);
        for (size_t i = 0; i < n; ++i) ASSERT_TRUE(vqra_char_ok((unsigned char)name[i])) << tpl;

        const std::string &dir = dirs[rng() % (sizeof dirs / sizeof *dirs)];
        ra_stpcpy(ra_dir, dir.c_str());
        char buf[RA_PATH_SIZE];
        memset(buf, 0x5A, sizeof buf);
        if (!ra_build_dst(buf, name)) {
            ++refused;
            for (char c : buf) ASSERT_EQ(c, 0x5A);
            continue;
        }
        ++accepted;
        const std::string path = buf;
        ASSERT_LE(path.size(), (size_t)RA_PATH_SIZE - 1);
        ASSERT_EQ(path.compare(0, dir.size(), dir), 0) << path;
        ASSERT_EQ(path[dir.size()], '\\') << path;
        ASSERT_GE(path.size(), dir.size() + 5) << path;
        ASSERT_EQ(path.substr(path.size() - 4), ".rp4") << path;
        // The name part: no separator, no drive colon, no dot (so no ".."),
        // nothing Windows refuses.
        const std::string part = path.substr(dir.size() + 1, path.size() - dir.size() - 5);
        for (char c : part) {
            ASSERT_TRUE(c != '\\' && c != '/' && c != ':' && c != '.') << path;
            ASSERT_TRUE(vqra_char_ok((unsigned char)c)) << path;
        }
    }
    // Both outcomes were exercised.
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(refused, 10);
}
