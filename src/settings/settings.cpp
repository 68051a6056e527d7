// Settings: read once per process from "replay_autosave.ini" next to the game
// executable (not next to the plug-in), section "ReplayAutosave".
#include "settings/settings.h"

#include <string.h>
#include <windows.h>

extern "C" {

int32_t ra_enabled = 1;
char ra_dir[RA_DIR_SIZE] = RA_DEFAULT_DIR;
int32_t ra_index_start = 1;
// Off until the file is read: a path that cannot be formed leaves scrubbing
// and the record off, while a missing file gives the keys' default, on.
int32_t ra_clear_ip = 0;
int32_t ra_record_enabled = 0;
int32_t ra_cfg_loaded = 0;

const char ra_default_tpl[] = "%date%_%time%_%type%_%track%_%laps%L";

// Reading and lookup order; the type keys are the race type codes in lower
// case followed by "_name".
ra_tpl ra_tpls[RA_TPL_COUNT] = {
    {"Name", ""},    {"c_name", ""},  {"s_name", ""},  {"m_name", ""},  {"n_name", ""},
    {"ct_name", ""}, {"ck_name", ""}, {"ch_name", ""}, {"sr_name", ""}, {"st_name", ""},
    {"sk_name", ""}, {"hc_name", ""}, {"hg_name", ""}, {"ht_name", ""}, {"ms_name", ""},
    {"mt_name", ""}, {"mk_name", ""}, {"mc_name", ""}, {"mx_name", ""}, {"mp_name", ""},
    {"hp_name", ""}, {"mh_name", ""},
};

}  // extern "C"

static const char ra_ini_suffix[] = "\\" RA_INI_FILE;

// Full path of the INI file beside the game executable into path
// (RA_PATH_SIZE bytes); 0 when it cannot be formed.
static int ra_ini_path(char *path) {
    DWORD len = GetModuleFileNameA(nullptr, path, RA_PATH_SIZE);
    // 0 is a failure; RA_PATH_SIZE means the path was cut short.
    if (len == 0 || len >= RA_PATH_SIZE) return 0;
    char *slash = strrchr(path, '\\');
    if (slash == nullptr) return 0;
    size_t folder = (size_t)(slash - path);
    if (folder + (sizeof ra_ini_suffix - 1) + 1 > RA_PATH_SIZE) return 0;
    ra_stpcpy(slash, ra_ini_suffix);
    return 1;
}

static void ra_read_ini(const char *ini) {
    ra_enabled = (int32_t)GetPrivateProfileIntA(RA_INI_SECTION, "Enabled", 1, ini);
    GetPrivateProfileStringA(RA_INI_SECTION, "Dir", RA_DEFAULT_DIR, ra_dir, RA_DIR_SIZE, ini);
    for (ra_tpl &tpl : ra_tpls) {
        GetPrivateProfileStringA(RA_INI_SECTION, tpl.key, "", tpl.value, RA_TPL_SIZE, ini);
    }
    ra_index_start = (int32_t)GetPrivateProfileIntA(RA_INI_SECTION, "IndexStart", 1, ini);
    ra_clear_ip = (int32_t)GetPrivateProfileIntA(RA_INI_SECTION, "ClearIp", 1, ini);
    // On unless switched off: the player's program lists, prunes and pages
    // the replays by the record.
    ra_record_enabled = (int32_t)GetPrivateProfileIntA(RA_INI_SECTION, "Record", 1, ini);
}

// Loads once from ini, or keeps the initial values when ini is null.
static int32_t ra_load_from(const char *ini) {
    if (ra_cfg_loaded) return ra_enabled;
    // Loading is attempted once, whatever its outcome.
    ra_cfg_loaded = 1;
    if (ini != nullptr) ra_read_ini(ini);
    // A key present with an empty value yields the empty text, not the default.
    if (ra_dir[0] == '\0') ra_stpcpy(ra_dir, RA_DEFAULT_DIR);
    if (ra_index_start < 0) ra_index_start = 0;
    return ra_enabled;
}

extern "C" int32_t ra_load_config(void) {
    if (ra_cfg_loaded) return ra_enabled;
    char ini[RA_PATH_SIZE];
    return ra_load_from(ra_ini_path(ini) ? ini : nullptr);
}

extern "C" int32_t ra_load_config_file(const char *path) { return ra_load_from(path); }

extern "C" const char *ra_tpl_lookup(const char *key) {
    for (const ra_tpl &tpl : ra_tpls) {
        if (ra_ieq(tpl.key, key)) return tpl.value[0] != '\0' ? tpl.value : nullptr;
    }
    return nullptr;
}
