// VQ_Apply end to end against the fake game image: which host records it
// takes, the settings line it logs, and the four patches it has written.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "game_image.h"
#include "host/host.h"
#include "patches/hooks.h"
#include "plugin_state.h"
#include "settings/settings.h"
#include "sim_win32.h"
#include "test_host.h"

namespace {

struct site {
    uint32_t address;        // game address of the patched instruction
    unsigned char stock[5];  // what the game holds there
    void (*target)(void);    // entry stub the patch leads to
    unsigned char opcode;    // E8 CALL or E9 JMP
    const char *name;        // patch entry name
};

// The four sites as the stock game holds them.
const site sites[] = {
    // E8 AF FC FF FF: CALL 0x513070, end of a race
    {0x5133BC, {0xE8, 0xAF, 0xFC, 0xFF, 0xFF}, vq_ra_save_wrap, 0xE8, "replay-autosave.finish"},
    // E8 19 D8 07 00: CALL 0x513070, the second save site
    {0x495852, {0xE8, 0x19, 0xD8, 0x07, 0x00}, vq_ra_save_wrap, 0xE8, "replay-autosave.pause"},
    // E8 22 EA FC FF: CALL 0x4C6250, race setup
    {0x4F7829,
     {0xE8, 0x22, 0xEA, 0xFC, 0xFF},
     vq_ra_start_wrap,
     0xE8,
     "replay-autosave.race-start"},
    // 55 89 E5 83 EC: PUSH EBP; MOV EBP,ESP; SUB ESP,imm8 (entry of the career accessor)
    {0x453090,
     {0x55, 0x89, 0xE5, 0x83, 0xEC},
     vq_ra_circ_hook,
     0xE9,
     "replay-autosave.career-type"},
};

const char default_line[] =
    "replay autosave: enabled=1 dir=SaveData\\Saves "
    "name=%date%_%time%_%type%_%track%_%laps%L clear_ip=1";

// The patch bytes that lead from the site to the stub.
std::vector<unsigned char> patch_for(const site &s) {
    uint32_t disp = (uint32_t)(uintptr_t)s.target - (s.address + VQ_REL32_SIZE);
    return {s.opcode, (unsigned char)disp, (unsigned char)(disp >> 8), (unsigned char)(disp >> 16),
            (unsigned char)(disp >> 24)};
}

class VqApply : public ::testing::Test {
protected:
    void SetUp() override {
        ra_test_reset_plugin();
        sim_host_reset();
        sim_game_map();
        for (const site &s : sites) sim_game_put_bytes(s.address, s.stock, 5);
        // The game executable lives in the scratch folder, with no INI yet.
        dir_ = ra_test_scratch_dir();
        std::string exe = "C:" + dir_ + "/game.exe";
        for (char &c : exe) c = c == '/' ? '\\' : c;
        sim_set_module_path(exe.c_str());
    }
    void TearDown() override {
        sim_host_reset();
        ra_test_reset_plugin();
    }
    void write_ini(const std::string &body) {
        ASSERT_TRUE(ra_test_write_file(dir_ + "/" RA_INI_FILE, "[ReplayAutosave]\n" + body));
    }
    static void expect_stock_sites() {
        for (const site &s : sites) {
            EXPECT_EQ(memcmp(sim_game_ptr(s.address), s.stock, 5), 0) << s.name;
        }
    }

    std::string dir_;
};

}  // namespace

TEST_F(VqApply, RefusedRecordsChangeNothing) {
    vq_host wrong_abi = sim_host_record();
    wrong_abi.abi_version = 2;
    vq_host wrong_base = sim_host_record();
    wrong_base.image_base = 0x10000000;

    EXPECT_EQ(VQ_Apply(nullptr), 0);
    EXPECT_EQ(VQ_Apply(&wrong_abi), 0);
    EXPECT_EQ(VQ_Apply(&wrong_base), 0);
    // Nothing logged, nothing stored, settings not even loaded, game untouched.
    EXPECT_TRUE(sim_host_log_lines.empty());
    EXPECT_TRUE(sim_host_writes.empty());
    EXPECT_EQ(ra_game, 0u);
    EXPECT_EQ(ra_log, nullptr);
    EXPECT_EQ(vq_ra_save_stock, 0u);
    EXPECT_EQ(vq_ra_setup_stock, 0u);
    EXPECT_EQ(ra_cfg_loaded, 0);
    expect_stock_sites();

    // The host may come back with a valid record.
    vq_host good = sim_host_record();
    EXPECT_EQ(VQ_Apply(&good), 1);
}

TEST_F(VqApply, ValidRecordLogsSettingsAndWritesTheFourPatches) {
    vq_host host = sim_host_record();
    ASSERT_EQ(VQ_Apply(&host), 1);

    // Forward addresses and globals are in place.
    EXPECT_EQ(ra_game, VQ_GAME_BASE);
    EXPECT_EQ(ra_log, (vq_log_fn)sim_host_log);
    EXPECT_EQ(vq_ra_save_stock, 0x513070u);
    EXPECT_EQ(vq_ra_setup_stock, 0x4C6250u);
    // No INI: every key's default, the built-in template named in the line.
    ASSERT_EQ(sim_host_log_lines.size(), 1u);
    EXPECT_EQ(sim_host_log_lines[0], default_line);

    ASSERT_EQ(sim_host_writes.size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        const site &s = sites[i];
        SCOPED_TRACE(s.name);
        EXPECT_EQ(sim_host_writes[i].rva, s.address - VQ_GAME_BASE);
        EXPECT_EQ(sim_host_writes[i].name, s.name);
        EXPECT_EQ(sim_host_writes[i].bytes, patch_for(s));
        EXPECT_EQ(memcmp(sim_game_ptr(s.address), patch_for(s).data(), 5), 0);
    }
}

TEST_F(VqApply, SettingsLineShowsTheLoadedValues) {
    write_ini("Enabled=0\nDir=D:\\Replays\nName=%track%_%index%\nClearIp=0\n");
    vq_host host = sim_host_record();
    // Disabled still patches: the setting only silences the autosave.
    EXPECT_EQ(VQ_Apply(&host), 1);
    ASSERT_EQ(sim_host_log_lines.size(), 1u);
    EXPECT_EQ(sim_host_log_lines[0],
              "replay autosave: enabled=0 dir=D:\\Replays name=%track%_%index% clear_ip=0");
    EXPECT_EQ(sim_host_writes.size(), 4u);

    // An empty Name counts as none: the built-in template is shown.
    SetUp();
    write_ini("Name=\n");
    EXPECT_EQ(VQ_Apply(&host), 1);
    ASSERT_EQ(sim_host_log_lines.size(), 1u);
    EXPECT_EQ(sim_host_log_lines[0], default_line);
}

TEST_F(VqApply, NullLogIsAccepted) {
    vq_host host = sim_host_record();
    host.log = nullptr;
    EXPECT_EQ(VQ_Apply(&host), 1);
    EXPECT_EQ(ra_log, nullptr);
    EXPECT_EQ(ra_cfg_loaded, 1);
    EXPECT_EQ(sim_host_writes.size(), 4u);
    EXPECT_TRUE(sim_host_log_lines.empty());
}

TEST_F(VqApply, SecondCallKeepsSettingsAndFailsAtTheFirstPatchedSite) {
    vq_host host = sim_host_record();
    ASSERT_EQ(VQ_Apply(&host), 1);
    uint32_t reads = sim_call_count("GetPrivateProfileStringA");

    // The INI changes in between: it is not read again.
    write_ini("Enabled=0\nDir=Other\n");
    EXPECT_EQ(VQ_Apply(&host), 0);
    EXPECT_EQ(sim_call_count("GetPrivateProfileStringA"), reads);
    ASSERT_EQ(sim_host_log_lines.size(), 3u);
    EXPECT_EQ(sim_host_log_lines[1], default_line);
    EXPECT_EQ(sim_host_log_lines[2],
              "def replay-autosave.finish: expected mismatch @ RVA 0x1133BC");
    // Nothing rewritten: still the four writes of the first call.
    EXPECT_EQ(sim_host_writes.size(), 4u);
}

TEST_F(VqApply, FailingSiteLeavesEarlierPatchesAndTheGlobalsInPlace) {
    // A different game build at the race-start site.
    sim_game_put_bytes(sites[2].address, "\xE8\x00\x00\x00\x00", 5);
    vq_host host = sim_host_record();
    EXPECT_EQ(VQ_Apply(&host), 0);
    ASSERT_EQ(sim_host_writes.size(), 2u);
    EXPECT_EQ(sim_host_log_lines.back(),
              "def replay-autosave.race-start: expected mismatch @ RVA 0xF7829");
    // The written patches work: their stubs' forward addresses are set.
    EXPECT_EQ(ra_game, VQ_GAME_BASE);
    EXPECT_EQ(vq_ra_save_stock, 0x513070u);
    EXPECT_EQ(vq_ra_setup_stock, 0x4C6250u);
    EXPECT_EQ(memcmp(sim_game_ptr(sites[3].address), sites[3].stock, 5), 0);

    // A host that refuses a write: 0 without a message of the plug-in's.
    SetUp();
    sim_host_fail_write_at = 0;
    EXPECT_EQ(VQ_Apply(&host), 0);
    EXPECT_TRUE(sim_host_writes.empty());
    EXPECT_EQ(sim_host_log_lines.size(), 1u);
    expect_stock_sites();
}
