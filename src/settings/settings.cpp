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

// The storage's initial values, which stay where the file's path cannot be
// formed: scrubbing and the record are then off, while a missing file gives
// the keys' default, on.
#define RA_INITIAL_ENABLED 1
#define RA_INITIAL_INDEX_START 1
#define RA_INITIAL_CLEAR_IP 0
#define RA_INITIAL_RECORD 0
int32_t ra_enabled = RA_INITIAL_ENABLED;
char ra_dir[RA_DIR_SIZE] = RA_DEFAULT_DIR;
ra_tpl ra_tpls[RA_TPL_COUNT] = {RA_TPL_KEY_LIST(RA_AS_EMPTY_TPL)};
int32_t ra_index_start = RA_INITIAL_INDEX_START;
int32_t ra_clear_ip = RA_INITIAL_CLEAR_IP;
int32_t ra_cfg_loaded = 0;
int32_t ra_record_enabled = RA_INITIAL_RECORD;

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

// Where a value's fields go: an ra_settings of the caller's, or the
// plug-in's settings storage.
struct ra_settings_place {
    int32_t *enabled;
    char *dir;
    ra_tpl *tpls;
    int32_t *index_start;
    int32_t *clear_ip;
    int32_t *record_enabled;
};

static ra_settings_place ra_place_of(ra_settings *s) {
    return {&s->enabled, s->dir, s->tpls, &s->index_start, &s->clear_ip, &s->record_enabled};
}

static const ra_settings_place ra_storage = {&ra_enabled,     ra_dir,       ra_tpls,
                                             &ra_index_start, &ra_clear_ip, &ra_record_enabled};

// A value copied field by field (the plug-in has no library copy but the
// string functions): texts by ra_stpcpy, template keys as pointers.
static void ra_copy_settings(const ra_settings *from, const ra_settings_place &to) {
    *to.enabled = from->enabled;
    ra_stpcpy(to.dir, from->dir);
    for (uint32_t i = 0; i < RA_TPL_COUNT; ++i) {
        to.tpls[i].key = from->tpls[i].key;
        ra_stpcpy(to.tpls[i].value, from->tpls[i].value);
    }
    *to.index_start = from->index_start;
    *to.clear_ip = from->clear_ip;
    *to.record_enabled = from->record_enabled;
}

// The values before anything is read: the storage's own initial values.
static const ra_settings ra_initial_settings = {
    RA_INITIAL_ENABLED,     RA_DEFAULT_DIR,      {RA_TPL_KEY_LIST(RA_AS_EMPTY_TPL)},
    RA_INITIAL_INDEX_START, RA_INITIAL_CLEAR_IP, RA_INITIAL_RECORD};

extern "C" void ra_load_settings(const char *path, ra_settings *out) {
    ra_copy_settings(&ra_initial_settings, ra_place_of(out));
    if (path != nullptr) ra_read_ini(path, out);
    // A key present with an empty value yields the empty text, not the default.
    if (out->dir[0] == '\0') ra_stpcpy(out->dir, RA_DEFAULT_DIR);
    if (out->index_start < 0) out->index_start = 0;
}

extern "C" void ra_keep_settings(const ra_settings *settings) {
    ra_copy_settings(settings, ra_storage);
}

// The first load, out of line: its value of some 3.7 KB lives on the stack
// only while the file is read, never under the after-race handler's frames.
__attribute__((noinline)) static void ra_load_once(void) {
    char ini[RA_PATH_SIZE];
    ra_settings loaded;
    ra_load_settings(ra_ini_path(ini) ? ini : nullptr, &loaded);
    ra_keep_settings(&loaded);
}

extern "C" int32_t ra_load_config(void) {
    if (ra_cfg_loaded) return ra_enabled;
    // Loading is attempted once, whatever its outcome.
    ra_cfg_loaded = 1;
    ra_load_once();
    return ra_enabled;
}

extern "C" const char *ra_tpl_in(const ra_tpl *tpls, const char *key) {
    for (uint32_t i = 0; i < RA_TPL_COUNT; ++i) {
        if (ra_ieq(tpls[i].key, key)) return tpls[i].value[0] != '\0' ? tpls[i].value : nullptr;
    }
    return nullptr;
}

extern "C" const char *ra_tpl_lookup(const char *key) { return ra_tpl_in(ra_tpls, key); }
