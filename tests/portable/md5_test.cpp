#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "game_image.h"
#include "game_memory.h"
#include "host/host.h"
#include "plugin_state.h"
#include "sim_win32.h"
#include "snapshot/md5.h"
#include "snapshot/track_digests.h"

namespace {

std::string hex(const unsigned char *d) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < RA_MD5_DIGEST; ++i) {
        s += digits[d[i] >> 4];
        s += digits[d[i] & 15];
    }
    return s;
}

// Digest of bytes fed in pieces of the given sizes (cycled), then finished.
std::string md5_in_pieces(const std::string &bytes, std::initializer_list<uint32_t> pieces) {
    vqmd5_ctx ctx;
    vqmd5_init(&ctx);
    size_t at = 0;
    for (size_t k = 0; at < bytes.size(); ++k) {
        uint32_t n = *(pieces.begin() + k % pieces.size());
        if (n > bytes.size() - at) n = (uint32_t)(bytes.size() - at);
        vqmd5_update(&ctx, bytes.data() + at, n);
        at += n;
    }
    unsigned char d[RA_MD5_DIGEST];
    vqmd5_final(&ctx, d);
    return hex(d);
}

std::string md5sum_of(const std::string &path) {
    std::string cmd = "md5sum '" + path + "'";
    FILE *p = popen(cmd.c_str(), "r");
    char line[64] = {};
    if (p == nullptr || fgets(line, sizeof line, p) == nullptr) ADD_FAILURE() << cmd;
    if (p != nullptr) pclose(p);
    return std::string(line, 32);
}

// Deterministic bytes, different for each size.
std::string random_bytes(size_t n) {
    std::string s(n, '\0');
    uint32_t x = 0x9E3779B9u ^ (uint32_t)n;
    for (char &c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = (char)(x >> 24);
    }
    return s;
}

std::string file_md5(const std::string &path) {
    char out[RA_MD5_TEXT_SIZE];
    memset(out, 'x', sizeof out);
    ra_file_md5(path.c_str(), out);
    return out;
}

class Md5File : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        dir = ra_test_scratch_dir();
    }
    std::string dir;
};

}  // namespace

TEST(Md5, Rfc1321TestSuite) {
    const char *const vectors[][2] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456"
         "7890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto &v : vectors) EXPECT_EQ(md5_in_pieces(v[0], {64}), v[1]) << v[0];
}

TEST(Md5, PieceSizesAndEmptyUpdatesDoNotChangeTheDigest) {
    std::string bytes = random_bytes(1000);
    std::string whole = md5_in_pieces(bytes, {1000});
    EXPECT_EQ(md5_in_pieces(bytes, {1, 0, 63, 64, 65, 0, 7}), whole);
    EXPECT_EQ(md5_in_pieces(bytes, {55, 0}), whole);
}

TEST_F(Md5File, FilesOfEveryBoundarySizeMatchMd5sum) {
    const size_t sizes[] = {0, 1, 55, 56, 63, 64, 65, 16383, 16384, 16385, 3 * 1024 * 1024 + 17};
    for (size_t n : sizes) {
        std::string path = dir + "/f" + std::to_string(n);
        ASSERT_TRUE(ra_test_write_file(path, random_bytes(n)));
        EXPECT_EQ(file_md5(path), md5sum_of(path)) << n << " bytes";
    }
    EXPECT_EQ(sim_open_handles(), 0u);
}

TEST_F(Md5File, ShortReadsAreNotTakenForTheEnd) {
    std::string path = dir + "/short";
    ASSERT_TRUE(ra_test_write_file(path, random_bytes(40000)));
    sim_short_read(100, 0);
    EXPECT_EQ(file_md5(path), md5sum_of(path));
}

TEST_F(Md5File, FailuresLeaveTheDigestEmptyAndCloseTheHandle) {
    std::string path = dir + "/data";
    ASSERT_TRUE(ra_test_write_file(path, random_bytes(40000)));

    // Missing file: nothing opened, nothing to close.
    EXPECT_EQ(file_md5(dir + "/missing"), "");
    EXPECT_EQ(sim_call_count("CloseHandle"), 0u);

    // A read that fails after the first piece: the partial digest is dropped.
    sim_clear_faults();
    sim_short_read(RA_MD5_READ_CHUNK, ERROR_ACCESS_DENIED);
    EXPECT_EQ(file_md5(path), "");
    EXPECT_EQ(sim_call_count("ReadFile"), 2u);
    EXPECT_EQ(sim_call_count("CloseHandle"), 1u);
    EXPECT_EQ(sim_open_handles(), 0u);

    // The very first read failing.
    sim_clear_faults();
    sim_fail_call("ReadFile", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(file_md5(path), "");
    EXPECT_EQ(sim_open_handles(), 0u);

    // Nothing sticks: the next attempt works.
    sim_clear_faults();
    EXPECT_EQ(file_md5(path), md5sum_of(path));
}

TEST_F(Md5File, TrackPathOf259CharactersIsHashedAnd260IsNotOpened) {
    sim_game_map();
    ra_game = VQ_GAME_BASE;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    // root + "TRK" + "\" + "Tr.frd": a root of 249 characters gives 259.
    for (size_t root_len : {249u, 250u}) {
        std::string root_dir(root_len - 1, 'r');
        ASSERT_EQ(system(("mkdir -p " + root_dir + "/TRK").c_str()), 0);
        ASSERT_TRUE(ra_test_write_file(root_dir + "/TRK/Tr.frd", "abc"));
        sim_race race;
        race.track_root = root_dir + "\\";
        sim_game_write_race(race);
        sim_clear_faults();
        char out[RA_MD5_TEXT_SIZE] = "stale";
        ra_track_md5("TRK", RA_TRACK_FILE_TR, out);
        if (root_len == 249) {
            EXPECT_STREQ(out, "900150983cd24fb0d6963f7d28e17f72");
        } else {
            EXPECT_STREQ(out, "");
            EXPECT_EQ(sim_call_count("CreateFileA"), 0u);
        }
    }
    ASSERT_EQ(chdir(cwd), 0);
}
