// The exported manifest, patch table and entry point.
#include "host/host.h"

#include "patches/hooks.h"
#include "settings/settings.h"

// Game addresses of the four patched sites are image base + rva.
#define VQ_SITE_FINISH 0x1133BCu      // CALL 0x513070 at the end of a race
#define VQ_SITE_PAUSE 0x95852u        // CALL 0x513070 at the second save site
#define VQ_SITE_RACE_START 0xF7829u   // CALL 0x4C6250, the race setup
#define VQ_SITE_CAREER_TYPE 0x53090u  // entry of the career accessor

extern "C" {

vq_manifest vq_manifest_data = {
    VQ_ABI_VERSION,
    "replay.autosave",
    "Replay Autosave: copy the last replay to SaveData\\Saves",
    "1.0.0",
    100,
    // Entry of the stock replay-save function at 0x513070: PUSH EBX, ECX, EDX,
    // ESI, EDI, EBP; MOV EBP,ESP; SUB ESP,0x108. Identifies the game build.
    "53 51 52 56 57 55 89 e5 81 ec 08 01 00 00",
    VQ_GAME_SAVE_REPLAY - VQ_GAME_BASE,
    {0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// Each site's expected bytes are the instruction our patch replaces.
static const vq_def ra_defs[] = {
    // E8 AF FC FF FF: CALL 0x513070 (rel32 -849 from 0x5133C1)
    {VQ_DEF_CALL, VQ_SITE_FINISH, VQ_REL32_SIZE, "e8 af fc ff ff",
     (uint32_t)(uintptr_t)&vq_ra_save_wrap, nullptr, 0, "replay-autosave.finish"},
    // E8 19 D8 07 00: CALL 0x513070 (rel32 514073 from 0x495857)
    {VQ_DEF_CALL, VQ_SITE_PAUSE, VQ_REL32_SIZE, "e8 19 d8 07 00",
     (uint32_t)(uintptr_t)&vq_ra_save_wrap, nullptr, 0, "replay-autosave.pause"},
    // E8 22 EA FC FF: CALL 0x4C6250 (rel32 -202206 from 0x4F782E)
    {VQ_DEF_CALL, VQ_SITE_RACE_START, VQ_REL32_SIZE, "e8 22 ea fc ff",
     (uint32_t)(uintptr_t)&vq_ra_start_wrap, nullptr, 0, "replay-autosave.race-start"},
    // 55 89 E5 83 EC: PUSH EBP; MOV EBP,ESP; first bytes of SUB ESP,imm8
    {VQ_DEF_JMP, VQ_SITE_CAREER_TYPE, VQ_REL32_SIZE, "55 89 e5 83 ec",
     (uint32_t)(uintptr_t)&vq_ra_circ_hook, nullptr, 0, "replay-autosave.career-type"},
};

const uint32_t vq_def_count = sizeof ra_defs / sizeof ra_defs[0];
const vq_def *const vq_def_table = ra_defs;

int VQ_Apply(const vq_host *host) {
    if (host == nullptr || host->abi_version != VQ_ABI_VERSION ||
        host->image_base != VQ_GAME_BASE) {
        return 0;
    }
    // Every stub's forward address is set before the first patch goes live.
    ra_game = VQ_GAME_BASE;
    vq_ra_save_stock = VQ_GAME_SAVE_REPLAY;
    ra_log = host->log;
    vq_ra_setup_stock = VQ_GAME_RACE_SETUP;

    if (!ra_cfg_loaded) ra_load_config();
    const char *name = ra_tpl_lookup("Name");
    if (ra_log) {
        ra_log("replay autosave: enabled=%d dir=%s name=%s clear_ip=%d", (int)ra_enabled, ra_dir,
               name ? name : ra_default_tpl, (int)ra_clear_ip);
    }
    return vqsdk_apply_defs(host, vq_def_table, vq_def_count);
}

}  // extern "C"
