#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "autosave/autosave.h"
#include "plugin_state.h"
#include "sim_win32.h"

namespace {

// A replay-like file: letters (no digits, no dots) and a zero block, so that
// only what a test places there can be scrubbed.
std::string plain(size_t size) {
    std::string bytes(size, 'a');
    for (size_t i = 0; i < size; ++i) bytes[i] = (char)('a' + i % 26);
    if (size >= RA_SCRUB_BLOCK_OFFSET + RA_SCRUB_BLOCK_SIZE) {
        bytes.replace(RA_SCRUB_BLOCK_OFFSET, RA_SCRUB_BLOCK_SIZE, RA_SCRUB_BLOCK_SIZE, '\0');
    }
    return bytes;
}

void put(std::string &bytes, size_t at, const std::string &text) {
    bytes.replace(at, text.size(), text);
}

void zero(std::string &bytes, size_t at, size_t n) { bytes.replace(at, n, n, '\0'); }

class ScrubIp : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        path_ = ra_test_scratch_dir() + "/copy.rp4";
    }
    void TearDown() override { ra_test_reset_plugin(); }

    // Writes bytes, scrubs them, and returns what the file then holds.
    std::string scrub(const std::string &bytes) {
        EXPECT_TRUE(ra_test_write_file(path_, bytes));
        sim_clear_faults();
        ra_scrub_ip(path_.c_str());
        EXPECT_EQ(sim_open_handles(), 0u) << "the handle was not closed";
        return ra_test_read_file(path_);
    }

    std::string path_;
};

}  // namespace

TEST_F(ScrubIp, NothingToClearMeansNoWrite) {
    // Exactly the region, block zero, no quad.
    std::string bytes = plain(RA_SCRUB_REGION);
    put(bytes, 100, "1.2.3 and 9.9 and 1..2.3.4 and 256.256.256.256");
    EXPECT_EQ(scrub(bytes), bytes);
    EXPECT_EQ(sim_call_count("CreateFileA"), 1u);
    EXPECT_EQ(sim_call_count("SetFilePointer"), 0u);
    EXPECT_EQ(sim_call_count("WriteFile"), 0u);

    // Shorter than the region: untouched even with a quad and a set block.
    bytes = plain(RA_SCRUB_REGION - 1);
    put(bytes, RA_SCRUB_BLOCK_OFFSET, "\x01");
    put(bytes, 200, "192.168.0.1");
    EXPECT_EQ(scrub(bytes), bytes);
    EXPECT_EQ(sim_call_count("WriteFile"), 0u);
}

TEST_F(ScrubIp, NonZeroBlockAloneIsClearedAndWrittenOnce) {
    std::string bytes = plain(RA_SCRUB_REGION);
    put(bytes, RA_SCRUB_BLOCK_OFFSET + RA_SCRUB_BLOCK_SIZE - 1, "\xff");
    std::string expected = plain(RA_SCRUB_REGION);
    EXPECT_EQ(scrub(bytes), expected);
    EXPECT_EQ(sim_call_count("SetFilePointer"), 1u);
    EXPECT_EQ(sim_call_count("WriteFile"), 1u);
}

TEST_F(ScrubIp, QuadsAreClearedByTheRule) {
    std::string bytes = plain(RA_SCRUB_REGION);
    std::string expected = bytes;
    // 192.168.0.1 and a NUL: 11 bytes cleared, the NUL is not counted.
    put(bytes, 1000, std::string("x192.168.0.1\0y", 14));
    put(expected, 1000, std::string("x\0\0\0\0\0\0\0\0\0\0\0\0y", 14));
    // A letter after the quad stays.
    put(bytes, 1100, "1.2.3.4x");
    put(expected, 1100, std::string(7, '\0') + "x");
    // Leading zeros count.
    put(bytes, 1200, "=010.000.001.255=");
    put(expected, 1200, "=" + std::string(15, '\0') + "=");
    // A group above 255 fails only at its own start.
    put(bytes, 1300, "=256.1.1.1=");
    put(expected, 1300, "=2" + std::string(8, '\0') + "=");
    // Four digits: the quad starts one later.
    put(bytes, 1400, "=1234.5.6.7=");
    put(expected, 1400, "=1" + std::string(9, '\0') + "=");
    // A fifth group: the quad is the last four.
    put(bytes, 1500, "=1.2.3.4.5=");
    put(expected, 1500, "=1." + std::string(7, '\0') + "=");
    // Three groups are no quad.
    put(bytes, 1600, "=1.2.3x=");
    put(expected, 1600, "=1.2.3x=");
    // Two quads in a row separated by one byte.
    put(bytes, 1700, "1.1.1.1 2.2.2.2");
    put(expected, 1700, std::string(7, '\0') + " " + std::string(7, '\0'));
    // The block goes first: 0.0.0.0 at 50 loses its last digit to it, and
    // what is left is no quad.
    put(bytes, 50, "0.0.0.0");
    put(expected, 50, "0.0.0.");
    EXPECT_EQ(scrub(bytes), expected);
    EXPECT_EQ(sim_call_count("WriteFile"), 1u);
}

TEST_F(ScrubIp, OnlyTheRegionIsScannedAndWritten) {
    const size_t size = RA_SCRUB_REGION + 100;
    // Seven bytes ending on the region's last byte: cleared. The tail
    // (with a quad of its own at 6308 and later) is never written.
    std::string bytes = plain(size);
    put(bytes, RA_SCRUB_REGION - 7, "1.2.3.4");
    put(bytes, RA_SCRUB_REGION, "5.6.7.8 9.9.9.9");
    std::string expected = bytes;
    zero(expected, RA_SCRUB_REGION - 7, 7);
    EXPECT_EQ(scrub(bytes), expected);

    // Starting at 6302 the quad is never examined (and ends past the region).
    bytes = plain(size);
    put(bytes, RA_SCRUB_REGION - 6, "1.2.3.4");
    EXPECT_EQ(scrub(bytes), bytes);
    EXPECT_EQ(sim_call_count("WriteFile"), 0u);

    // Running across the end: the region's part matches as a quad of its
    // own, up to the end, and the last digit outside stays.
    bytes = plain(size);
    put(bytes, RA_SCRUB_REGION - 9, "10.0.0.123");
    expected = bytes;
    zero(expected, RA_SCRUB_REGION - 9, 9);
    std::string after = scrub(bytes);
    EXPECT_EQ(after, expected);
    EXPECT_EQ(after.size(), size);
    EXPECT_EQ(after[RA_SCRUB_REGION], '3');
}

TEST_F(ScrubIp, FailuresLeaveTheCopyAsItWas) {
    std::string bytes = plain(RA_SCRUB_REGION);
    put(bytes, 300, "10.1.2.3");
    std::string cleared = bytes;
    zero(cleared, 300, 8);

    // No such file: nothing opened, nothing created.
    ra_scrub_ip((path_ + ".missing").c_str());
    EXPECT_FALSE(ra_test_file_exists(path_ + ".missing"));
    EXPECT_EQ(sim_open_handles(), 0u);

    // A failing or short read: untouched, and the handle still closed.
    ASSERT_TRUE(ra_test_write_file(path_, bytes));
    sim_fail_call("ReadFile", ERROR_ACCESS_DENIED, 1);
    ra_scrub_ip(path_.c_str());
    EXPECT_EQ(sim_open_handles(), 0u);
    EXPECT_EQ(ra_test_read_file(path_), bytes);
    sim_clear_faults();
    sim_short_read(RA_SCRUB_REGION - 1, 0);
    ra_scrub_ip(path_.c_str());
    EXPECT_EQ(sim_open_handles(), 0u);
    EXPECT_EQ(ra_test_read_file(path_), bytes);
    EXPECT_EQ(sim_call_count("WriteFile"), 0u);

    // A failing write-back is ignored; the handle is closed all the same.
    sim_clear_faults();
    sim_fail_call("WriteFile", ERROR_DISK_FULL, 1);
    ra_scrub_ip(path_.c_str());
    EXPECT_EQ(sim_open_handles(), 0u);
    EXPECT_EQ(ra_test_read_file(path_), bytes);

    // Another writer holding the copy keeps us out (we share reading only);
    // a reader that shares writing does not.
    sim_clear_faults();
    HANDLE writer = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    ra_scrub_ip(path_.c_str());
    CloseHandle(writer);
    EXPECT_EQ(ra_test_read_file(path_), bytes);
    HANDLE reader = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ra_scrub_ip(path_.c_str());
    CloseHandle(reader);
    EXPECT_EQ(ra_test_read_file(path_), cleared);
}

// ra_quad_len on its own: the length of the quad at p, limited to limit bytes.
TEST(QuadLen, MatchesOnlyFourGroupsEndingProperly) {
    auto len = [](const char *text, uint32_t limit) {
        return ra_quad_len((const uint8_t *)text, limit);
    };
    const uint32_t all = 64;  // beyond every text below: the NUL ends them
    EXPECT_EQ(len("1.2.3.4", all), 7u);
    EXPECT_EQ(len("255.255.255.255", all), 15u);
    EXPECT_EQ(len("000.0.00.255 ", all), 12u);
    EXPECT_EQ(len("1.2.3.4x", all), 7u);
    EXPECT_EQ(len("1.2.3.4-1", all), 7u);
    // No quad.
    EXPECT_EQ(len("", all), 0u);
    EXPECT_EQ(len("a1.2.3.4", all), 0u);
    EXPECT_EQ(len(".1.2.3.4", all), 0u);
    EXPECT_EQ(len("1.2.3", all), 0u);
    EXPECT_EQ(len("1.2.3.", all), 0u);
    EXPECT_EQ(len("1..2.3.4", all), 0u);
    EXPECT_EQ(len("1.2.3.256", all), 0u);
    EXPECT_EQ(len("1.2.3.2550", all), 0u);
    EXPECT_EQ(len("1234.1.1.1", all), 0u);
    EXPECT_EQ(len("0255.1.1.1", all), 0u);  // at most three digits, even zeros
    EXPECT_EQ(len("1.2.3.0001", all), 0u);
    EXPECT_EQ(len("1.2.3.4.", all), 0u);
    EXPECT_EQ(len("1.2.3.4.5", all), 0u);
    EXPECT_EQ(len("1,2.3.4", all), 0u);

    // The limit: the end of the region is a proper end, but a quad cut
    // before its fourth group is none.
    EXPECT_EQ(len("1.2.3.45", 7), 7u);
    EXPECT_EQ(len("1.2.3.4.", 7), 7u);
    EXPECT_EQ(len("123.1.1.123", 10), 10u);
    EXPECT_EQ(len("1.2.3.4", 6), 0u);
    EXPECT_EQ(len("1.2.3.4", 5), 0u);
    EXPECT_EQ(len("1.2.3.4", 0), 0u);
    // A fourth digit within the limit spoils the group; past it, it does not.
    EXPECT_EQ(len("1.2.3.2555", 10), 0u);
    EXPECT_EQ(len("1.2.3.2555", 9), 9u);
}
