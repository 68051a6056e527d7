// Settings: read once per process from "replay_autosave.ini" next to the game
// executable (not next to the plug-in), section "ReplayAutosave".
#include "settings/settings.h"

#include <string.h>
#include <windows.h>

extern "C" {

const ra_setting_key ra_setting_keys[RA_SETTING_COUNT] = {
    {"Enabled", 0, 1},
    {"Dir", 1, 0},
    {"IndexStart", 0, 1},
    {"ClearIp", 0, 1},
    // On unless switched off: the player's program lists, prunes and pages
    // the replays by the record.
    {"Record", 0, 1},
};

// The template keys, once: reading and lookup order; the type keys are the
// race type codes in lower case followed by "_name".
// clang-format off
#define RA_TPL_KEY_LIST(X)                                                                     \
    X("Name") X("c_name") X("s_name") X("m_name") X("n_name") X("ct_name") X("ck_name")        \
    X("ch_name") X("sr_name") X("st_name") X("sk_name") X("hc_name") X("hg_name") X("ht_name") \
    X("ms_name") X("mt_name") X("mk_name") X("mc_name") X("mx_name") X("mp_name") X("hp_name") \
    X("mh_name")
// clang-format on
#define RA_AS_KEY(key) key,
#define RA_AS_EMPTY_TPL(key) {key, ""},

const char *const ra_tpl_keys[RA_TPL_COUNT] = {RA_TPL_KEY_LIST(RA_AS_KEY)};

// Off until the file is read: a path that cannot be formed leaves scrubbing
// and the record off, while a missing file gives the keys' default, on.
#define RA_INITIAL_SETTINGS \
    { 1, RA_DEFAULT_DIR, {RA_TPL_KEY_LIST(RA_AS_EMPTY_TPL)}, 1, 0, 0 }

ra_settings ra_cfg = RA_INITIAL_SETTINGS;
int32_t &ra_enabled = ra_cfg.enabled;
char (&ra_dir)[RA_DIR_SIZE] = ra_cfg.dir;
ra_tpl (&ra_tpls)[RA_TPL_COUNT] = ra_cfg.tpls;
int32_t &ra_index_start = ra_cfg.index_start;
int32_t &ra_clear_ip = ra_cfg.clear_ip;
int32_t &ra_record_enabled = ra_cfg.record_enabled;
int32_t ra_cfg_loaded = 0;

const char ra_default_tpl[] = "%date%_%time%_%type%_%track%_%laps%L";

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

static int32_t ra_read_int(ra_setting which, const char *ini) {
    const ra_setting_key &k = ra_setting_keys[which];
    return (int32_t)GetPrivateProfileIntA(RA_INI_SECTION, k.key, k.fallback, ini);
}

// The keys in the order the plug-in has always read them.
static void ra_read_ini(const char *ini, ra_settings *out) {
    out->enabled = ra_read_int(RA_SET_ENABLED, ini);
    GetPrivateProfileStringA(RA_INI_SECTION, ra_setting_keys[RA_SET_DIR].key, RA_DEFAULT_DIR,
                             out->dir, RA_DIR_SIZE, ini);
    for (ra_tpl &tpl : out->tpls) {
        GetPrivateProfileStringA(RA_INI_SECTION, tpl.key, "", tpl.value, RA_TPL_SIZE, ini);
    }
    out->index_start = ra_read_int(RA_SET_INDEX_START, ini);
    out->clear_ip = ra_read_int(RA_SET_CLEAR_IP, ini);
    out->record_enabled = ra_read_int(RA_SET_RECORD, ini);
}

static const ra_settings ra_initial_settings = RA_INITIAL_SETTINGS;

// The values before anything is read, copied field by field (the plug-in
// has no library copy but the string functions).
static void ra_initial(ra_settings *out) {
    const ra_settings &initial = ra_initial_settings;
    out->enabled = initial.enabled;
    ra_stpcpy(out->dir, initial.dir);
    for (uint32_t i = 0; i < RA_TPL_COUNT; ++i) {
        out->tpls[i].key = initial.tpls[i].key;
        out->tpls[i].value[0] = '\0';
    }
    out->index_start = initial.index_start;
    out->clear_ip = initial.clear_ip;
    out->record_enabled = initial.record_enabled;
}

extern "C" void ra_load_settings(const char *path, ra_settings *out) {
    ra_initial(out);
    if (path != nullptr) ra_read_ini(path, out);
    // A key present with an empty value yields the empty text, not the default.
    if (out->dir[0] == '\0') ra_stpcpy(out->dir, RA_DEFAULT_DIR);
    if (out->index_start < 0) out->index_start = 0;
}

extern "C" int32_t ra_load_config(void) {
    if (ra_cfg_loaded) return ra_enabled;
    // Loading is attempted once, whatever its outcome.
    ra_cfg_loaded = 1;
    char ini[RA_PATH_SIZE];
    ra_load_settings(ra_ini_path(ini) ? ini : nullptr, &ra_cfg);
    return ra_enabled;
}

extern "C" const char *ra_settings_tpl(const ra_settings *settings, const char *key) {
    for (const ra_tpl &tpl : settings->tpls) {
        if (ra_ieq(tpl.key, key)) return tpl.value[0] != '\0' ? tpl.value : nullptr;
    }
    return nullptr;
}

extern "C" const char *ra_tpl_lookup(const char *key) { return ra_settings_tpl(&ra_cfg, key); }
