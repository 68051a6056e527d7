// What the host reads from the DLL before calling it: the manifest and the
// patch table, at the offsets the host expects.
#include <gtest/gtest.h>
#include <stddef.h>
#include <string.h>

#include "host/host.h"
#include "patches/hooks.h"

TEST(Exports, ManifestFields) {
    const vq_manifest &m = vq_manifest_data;
    EXPECT_EQ(m.abi_version, 1u);
    EXPECT_STREQ(m.id, "replay.autosave");
    EXPECT_STREQ(m.description, "Replay Autosave: copy the last replay to SaveData\\Saves");
    EXPECT_STREQ(m.version, "1.0.0");
    EXPECT_EQ(m.host_value, 100u);
    EXPECT_STREQ(m.check_pattern, "53 51 52 56 57 55 89 e5 81 ec 08 01 00 00");
    EXPECT_EQ(m.check_rva, 0x113070u);
    for (uint32_t word : m.reserved) EXPECT_EQ(word, 0u);
    // The pattern describes the 14 entry bytes of the stock save function.
    const unsigned char entry[] = {0x53, 0x51, 0x52, 0x56, 0x57, 0x55, 0x89,
                                   0xE5, 0x81, 0xEC, 0x08, 0x01, 0x00, 0x00};
    EXPECT_EQ(vqsdk_hex_match(entry, sizeof entry, m.check_pattern), 1);
    EXPECT_EQ(VQ_GAME_BASE + m.check_rva, VQ_GAME_SAVE_REPLAY);
}

TEST(Exports, PatchTableEntries) {
    struct expected_def {
        const char *name;
        uint32_t kind, rva;
        const char *expect;
        void (*target)(void);
    } expected[] = {
        {"replay-autosave.finish", VQ_DEF_CALL, 0x1133BC, "e8 af fc ff ff", vq_ra_save_wrap},
        {"replay-autosave.pause", VQ_DEF_CALL, 0x95852, "e8 19 d8 07 00", vq_ra_save_wrap},
        {"replay-autosave.race-start", VQ_DEF_CALL, 0xF7829, "e8 22 ea fc ff", vq_ra_start_wrap},
        {"replay-autosave.career-type", VQ_DEF_JMP, 0x53090, "55 89 e5 83 ec", vq_ra_circ_hook},
    };
    ASSERT_EQ(vq_def_count, 4u);
    for (uint32_t i = 0; i < vq_def_count; ++i) {
        const vq_def &d = vq_def_table[i];
        SCOPED_TRACE(expected[i].name);
        EXPECT_STREQ(d.name, expected[i].name);
        EXPECT_EQ(d.kind, expected[i].kind);
        EXPECT_EQ(d.rva, expected[i].rva);
        EXPECT_EQ(d.length, 5u);
        EXPECT_STREQ(d.expect, expected[i].expect);
        EXPECT_EQ(d.target, (uint32_t)(uintptr_t)expected[i].target);
        EXPECT_EQ(d.bytes, nullptr);
        EXPECT_EQ(d.reserved, 0u);
    }
}

TEST(Exports, CallSitePatternsEncodeCallsOfTheStockFunctions) {
    // Each call site's pattern must be the CALL the game really holds there,
    // or the patch would refuse the right game build.
    const uint32_t stock[] = {VQ_GAME_SAVE_REPLAY, VQ_GAME_SAVE_REPLAY, VQ_GAME_RACE_SETUP};
    for (uint32_t i = 0; i < 3; ++i) {
        const vq_def &d = vq_def_table[i];
        uint32_t disp = 0;
        ASSERT_EQ(vqsdk_rel32(stock[i], VQ_GAME_BASE + d.rva + VQ_REL32_SIZE, &disp), 1);
        const unsigned char call[] = {VQ_OPCODE_CALL, (unsigned char)disp,
                                      (unsigned char)(disp >> 8), (unsigned char)(disp >> 16),
                                      (unsigned char)(disp >> 24)};
        EXPECT_EQ(vqsdk_hex_match(call, sizeof call, d.expect), 1) << d.name;
    }
}

TEST(Exports, RecordLayoutAsTheHostReadsIt) {
    EXPECT_EQ(sizeof(vq_manifest), 64u);
    EXPECT_EQ(offsetof(vq_manifest, check_pattern), 20u);
    EXPECT_EQ(sizeof(vq_def), 32u);
    EXPECT_EQ(offsetof(vq_def, expect), 12u);
    EXPECT_EQ(offsetof(vq_def, bytes), 20u);
    EXPECT_EQ(sizeof(vq_host), 20u);
    EXPECT_EQ(offsetof(vq_host, pool_base), 8u);
    EXPECT_EQ(offsetof(vq_host, write_patch), 12u);
}
