// Applying patch definitions: the bytes handed to write_patch, the checks
// that refuse an entry, their order, and what a failure leaves behind.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "game_image.h"
#include "host/host.h"
#include "test_host.h"

namespace {

// Patch sites inside the fake image (RVAs from 0x400000).
const uint32_t rva_a = 0x1000;
const uint32_t rva_b = 0x2000;
const uint32_t rva_c = 0x3000;
const uint32_t rva_d = 0x4000;
// A call target a short way behind the sites.
const uint32_t target = 0x480000;

// E8 AF FC FF FF: CALL rel32 -849, the bytes every test site starts with.
const unsigned char site_bytes[] = {0xE8, 0xAF, 0xFC, 0xFF, 0xFF};
const char site_pattern[] = "e8 af fc ff ff";

// The site pattern followed by wildcards up to length bytes.
std::string site_pattern_of(uint32_t length) {
    std::string p = site_pattern;
    for (uint32_t i = 5; i < length; ++i) p += " ??";
    return p;
}

class ApplyDefs : public ::testing::Test {
protected:
    void SetUp() override {
        sim_game_map();
        sim_host_reset();
        host_ = sim_host_record();
        for (uint32_t rva : {rva_a, rva_b, rva_c, rva_d}) {
            sim_game_put_bytes(VQ_GAME_BASE + rva, site_bytes, sizeof site_bytes);
        }
    }
    void TearDown() override { sim_host_reset(); }

    static vq_def def(uint32_t kind, uint32_t rva, uint32_t length, const char *expect, uint32_t to,
                      const char *name) {
        return vq_def{kind, rva, length, expect, to, nullptr, 0, name};
    }
    // The rel32 bytes of a call or jump from the site at rva to dest.
    static std::vector<unsigned char> branch(unsigned char opcode, uint32_t base, uint32_t rva,
                                             uint32_t dest, uint32_t length) {
        uint32_t disp = dest - (base + rva + VQ_REL32_SIZE);
        std::vector<unsigned char> b = {opcode, (unsigned char)disp, (unsigned char)(disp >> 8),
                                        (unsigned char)(disp >> 16), (unsigned char)(disp >> 24)};
        b.resize(length, VQ_OPCODE_NOP);
        return b;
    }

    vq_host host_;
};

}  // namespace

TEST_F(ApplyDefs, CallJumpAndUnknownKindsBuildRel32WithNopPadding) {
    const std::string long_pattern = site_pattern_of(64);
    const vq_def defs[] = {
        def(VQ_DEF_CALL, rva_a, 5, site_pattern, target, "call"),
        def(VQ_DEF_JMP, rva_b, 5, site_pattern, target, "jmp"),
        // Any unknown kind is a jump; 64 bytes is the longest: 59 NOPs follow.
        def(77, rva_c, 64, long_pattern.c_str(), target, "unknown"),
        // No expected bytes: the site is not read.
        def(VQ_DEF_CALL, rva_d, 6, nullptr, target, "unchecked"),
    };
    sim_game_put_bytes(VQ_GAME_BASE + rva_d, "\x11\x22", 2);
    ASSERT_EQ(vqsdk_apply_defs(&host_, defs, 4), 1);
    ASSERT_EQ(sim_host_writes.size(), 4u);
    EXPECT_EQ(sim_host_writes[0].bytes, branch(0xE8, VQ_GAME_BASE, rva_a, target, 5));
    EXPECT_EQ(sim_host_writes[1].bytes, branch(0xE9, VQ_GAME_BASE, rva_b, target, 5));
    EXPECT_EQ(sim_host_writes[2].bytes, branch(0xE9, VQ_GAME_BASE, rva_c, target, 64));
    EXPECT_EQ(sim_host_writes[2].bytes[63], 0x90);
    EXPECT_EQ(sim_host_writes[3].bytes, branch(0xE8, VQ_GAME_BASE, rva_d, target, 6));
    EXPECT_EQ(sim_host_writes[1].rva, rva_b);
    EXPECT_EQ(sim_host_writes[1].name, "jmp");
    EXPECT_TRUE(sim_host_log_lines.empty());
}

TEST_F(ApplyDefs, BranchLengthOutside5To64FailsSilently) {
    // Length 4 and 65 stop the walk with no message, before the site is read
    // (their patterns would not even match).
    for (uint32_t length : {4u, 65u}) {
        sim_host_reset();
        const vq_def defs[] = {def(VQ_DEF_CALL, rva_a, length, "00", target, "len")};
        EXPECT_EQ(vqsdk_apply_defs(&host_, defs, 1), 0) << length;
        EXPECT_TRUE(sim_host_writes.empty());
        EXPECT_TRUE(sim_host_log_lines.empty());
    }
    // Pool kinds share the bound.
    host_.pool_base = 0x500000;
    const vq_def pool[] = {def(VQ_DEF_POOL_JMP, rva_a, 4, nullptr, 0, "pool")};
    EXPECT_EQ(vqsdk_apply_defs(&host_, pool, 1), 0);
    EXPECT_TRUE(sim_host_writes.empty());
}

TEST_F(ApplyDefs, RawBytesAreWrittenAsGivenAndSkipIsPassedOver) {
    static const unsigned char raw[100] = {0xC3, 0x90, 0xCC};
    const std::string raw_pattern = site_pattern_of(100);
    const vq_def defs[] = {
        // Kind 4 reads and writes nothing, whatever its fields say.
        def(VQ_DEF_SKIP, rva_a, 9999, "zz", 0, "skip"),
        // Kind 3 has no length bound of its own.
        vq_def{VQ_DEF_BYTES, rva_b, 100, raw_pattern.c_str(), 0, raw, 0, "raw"},
    };
    ASSERT_EQ(vqsdk_apply_defs(&host_, defs, 2), 1);
    ASSERT_EQ(sim_host_writes.size(), 1u);
    EXPECT_EQ(sim_host_writes[0].bytes, std::vector<unsigned char>(raw, raw + 100));

    // A raw entry whose site does not match is refused with the message.
    sim_host_reset();
    const vq_def mismatch[] = {vq_def{VQ_DEF_BYTES, rva_c, 3, "c3 90 cc", 0, raw, 0, "raw"}};
    EXPECT_EQ(vqsdk_apply_defs(&host_, mismatch, 1), 0);
    EXPECT_TRUE(sim_host_writes.empty());
    ASSERT_EQ(sim_host_log_lines.size(), 1u);
    EXPECT_EQ(sim_host_log_lines[0], "def raw: expected mismatch @ RVA 0x3000");
}

TEST_F(ApplyDefs, PoolKindsNeedAPool) {
    // No pool: the message, even for offset 0.
    const vq_def defs[] = {
        def(VQ_DEF_POOL_CALL, rva_a, 5, site_pattern, 0x40, "pcall"),
        def(VQ_DEF_POOL_JMP, rva_b, 5, site_pattern, 0, "pjmp"),
    };
    EXPECT_EQ(vqsdk_apply_defs(&host_, defs + 1, 1), 0);
    ASSERT_EQ(sim_host_log_lines.size(), 1u);
    EXPECT_EQ(sim_host_log_lines[0], "def pjmp: pool target but no pool allocated");
    EXPECT_TRUE(sim_host_writes.empty());

    // With a pool the target is an offset into it: CALL for 5, JMP for 6.
    sim_host_reset();
    host_.pool_base = 0x700000;
    ASSERT_EQ(vqsdk_apply_defs(&host_, defs, 2), 1);
    ASSERT_EQ(sim_host_writes.size(), 2u);
    EXPECT_EQ(sim_host_writes[0].bytes, branch(0xE8, VQ_GAME_BASE, rva_a, 0x700040, 5));
    EXPECT_EQ(sim_host_writes[1].bytes, branch(0xE9, VQ_GAME_BASE, rva_b, 0x700000, 5));
}

TEST_F(ApplyDefs, ReachabilityEndsAtTheSigned32BitRange) {
    // Unchecked sites at chosen image bases, so that next takes any value;
    // the recording host writes at 0x400000 + rva, inside the fake image.
    struct reach_case {
        uint32_t base;   // image_base; rva is 0, so next = base + 5
        uint32_t dest;   // target
        bool reachable;  // expected outcome
        uint32_t disp;   // displacement when reachable
    } cases[] = {
        {0, 0x80000004, true, 0x7FFFFFFF},  // +2^31 - 1
        {0, 0x80000005, false, 0},          // +2^31
        {0x7FFFFFFB, 0, true, 0x80000000},  // -2^31, next = 0x80000000
        {0x7FFFFFFC, 0, false, 0},          // -2^31 - 1
        {0xFFFFFFEB, 0x10, false, 0},       // only by wrapping round
        {0x1000, 0x1005, true, 0},          // dest == next
    };
    for (const reach_case &c : cases) {
        sim_host_reset();
        host_.image_base = c.base;
        const vq_def defs[] = {def(VQ_DEF_JMP, 0, 5, nullptr, c.dest, "far")};
        EXPECT_EQ(vqsdk_apply_defs(&host_, defs, 1), c.reachable ? 1 : 0) << std::hex << c.dest;
        if (c.reachable) {
            ASSERT_EQ(sim_host_writes.size(), 1u);
            EXPECT_EQ(sim_host_writes[0].bytes, branch(0xE9, c.base, 0, c.dest, 5));
            EXPECT_EQ(sim_host_writes[0].bytes[1] | sim_host_writes[0].bytes[2] << 8 |
                          sim_host_writes[0].bytes[3] << 16 |
                          (uint32_t)sim_host_writes[0].bytes[4] << 24,
                      c.disp);
        } else {
            EXPECT_TRUE(sim_host_writes.empty());
            ASSERT_EQ(sim_host_log_lines.size(), 1u);
            EXPECT_EQ(sim_host_log_lines[0], "def far: rel32 unreachable");
        }
    }
}

TEST_F(ApplyDefs, NamelessEntryIsReportedAsQuestionMarkButPassedAsNull) {
    const vq_def defs[] = {def(VQ_DEF_CALL, rva_a, 5, site_pattern, target, nullptr),
                           def(VQ_DEF_CALL, rva_b, 5, "90 90 90 90 90", target, nullptr)};
    EXPECT_EQ(vqsdk_apply_defs(&host_, defs, 2), 0);
    ASSERT_EQ(sim_host_writes.size(), 1u);
    EXPECT_FALSE(sim_host_writes[0].had_name);
    ASSERT_EQ(sim_host_log_lines.size(), 1u);
    EXPECT_EQ(sim_host_log_lines[0], "def ?: expected mismatch @ RVA 0x2000");
}

TEST_F(ApplyDefs, FailureAtEntryTwoLeavesEntriesBeforeWrittenAndAfterUntouched) {
    sim_game_put_bytes(VQ_GAME_BASE + rva_c, "\x90", 1);
    const vq_def defs[] = {
        def(VQ_DEF_CALL, rva_a, 5, site_pattern, target, "e0"),
        def(VQ_DEF_CALL, rva_b, 5, site_pattern, target, "e1"),
        def(VQ_DEF_CALL, rva_c, 5, site_pattern, target, "e2"),
        def(VQ_DEF_CALL, rva_d, 5, site_pattern, target, "e3"),
    };
    EXPECT_EQ(vqsdk_apply_defs(&host_, defs, 4), 0);
    ASSERT_EQ(sim_host_writes.size(), 2u);
    EXPECT_EQ(sim_host_writes[0].name, "e0");
    EXPECT_EQ(sim_host_writes[1].name, "e1");
    EXPECT_EQ(memcmp(sim_game_ptr(VQ_GAME_BASE + rva_d), site_bytes, 5), 0);
    ASSERT_EQ(sim_host_log_lines.size(), 1u);
    EXPECT_EQ(sim_host_log_lines[0], "def e2: expected mismatch @ RVA 0x3000");

    // A refused write stops the walk the same way, without a message.
    SetUp();
    sim_host_fail_write_at = 1;
    EXPECT_EQ(vqsdk_apply_defs(&host_, defs, 4), 0);
    EXPECT_EQ(sim_host_writes.size(), 1u);
    EXPECT_TRUE(sim_host_log_lines.empty());
}

TEST_F(ApplyDefs, ChecksRunInOrderLengthExpectPoolReach) {
    // Length before expected bytes: a too-short mismatching entry logs nothing.
    const vq_def short_bad[] = {def(VQ_DEF_POOL_CALL, rva_a, 4, "00 00 00 00", 0, "o")};
    EXPECT_EQ(vqsdk_apply_defs(&host_, short_bad, 1), 0);
    EXPECT_TRUE(sim_host_log_lines.empty());
    // Expected bytes before the pool: the mismatch is what is reported.
    const vq_def pool_bad[] = {def(VQ_DEF_POOL_CALL, rva_a, 5, "00 00 00 00 00", 0, "o")};
    EXPECT_EQ(vqsdk_apply_defs(&host_, pool_bad, 1), 0);
    // Pool before reachability: base 0xFFFFFFEB would make any low target unreachable.
    host_.image_base = 0xFFFFFFEB;
    const vq_def pool_far[] = {def(VQ_DEF_POOL_CALL, 0, 5, nullptr, 0, "o")};
    EXPECT_EQ(vqsdk_apply_defs(&host_, pool_far, 1), 0);
    host_.pool_base = 0x10;
    EXPECT_EQ(vqsdk_apply_defs(&host_, pool_far, 1), 0);
    ASSERT_EQ(sim_host_log_lines.size(), 3u);
    EXPECT_EQ(sim_host_log_lines[0], "def o: expected mismatch @ RVA 0x1000");
    EXPECT_EQ(sim_host_log_lines[1], "def o: pool target but no pool allocated");
    EXPECT_EQ(sim_host_log_lines[2], "def o: rel32 unreachable");
    EXPECT_TRUE(sim_host_writes.empty());

    // Without a log callback the outcomes are the same, silently.
    host_ = sim_host_record();
    host_.log = nullptr;
    EXPECT_EQ(vqsdk_apply_defs(&host_, pool_bad, 1), 0);
    const vq_def good[] = {def(VQ_DEF_CALL, rva_a, 5, site_pattern, target, "g")};
    EXPECT_EQ(vqsdk_apply_defs(&host_, good, 1), 1);
    EXPECT_EQ(sim_host_log_lines.size(), 3u);
}

TEST(Rel32, ExactDifferenceWithinSigned32Bits) {
    uint32_t d = 0xDEADBEEF;
    EXPECT_EQ(vqsdk_rel32(0x5133C1, 0x5133C1, &d), 1);
    EXPECT_EQ(d, 0u);
    // The finish site's original call: CALL 0x513070 from 0x5133C1.
    EXPECT_EQ(vqsdk_rel32(0x513070, 0x5133C1, &d), 1);
    EXPECT_EQ(d, 0xFFFFFCAFu);
    EXPECT_EQ(vqsdk_rel32(0x7FFFFFFF, 0, &d), 1);
    EXPECT_EQ(d, 0x7FFFFFFFu);
    EXPECT_EQ(vqsdk_rel32(0, 0x80000000, &d), 1);
    EXPECT_EQ(d, 0x80000000u);
    // Out of reach: the displacement is left alone.
    d = 0x1234;
    EXPECT_EQ(vqsdk_rel32(0x80000000, 0, &d), 0);
    EXPECT_EQ(vqsdk_rel32(0, 0x80000001, &d), 0);
    EXPECT_EQ(vqsdk_rel32(0x10, 0xFFFFFFF0, &d), 0);  // reachable only by wrapping
    EXPECT_EQ(vqsdk_rel32(0xFFFFFFFF, 0, &d), 0);
    EXPECT_EQ(d, 0x1234u);
}
