// Settings of the plug-in: the INI file next to the game executable, the
// table of name templates, and the small string helpers every module shares.
#pragma once

#include <stdint.h>

// Windows MAX_PATH: every path we build, terminator included, fits in this.
#define RA_PATH_SIZE 260
// "Dir" holds at most 95 characters and its terminator.
#define RA_DIR_SIZE 96
// A template value holds at most 159 characters and its terminator.
#define RA_TPL_SIZE 160
// Number of template keys, "Name" to "mh_name".
#define RA_TPL_COUNT 22

#define RA_INI_FILE "replay_autosave.ini"
#define RA_INI_SECTION "ReplayAutosave"
#define RA_DEFAULT_DIR "SaveData\\Saves"

// One entry of the template table: the INI key (also the lookup key) and the
// template text read for it, empty when the key is absent or empty.
struct ra_tpl {
    const char *key;          // constant key text, e.g. "sr_name"
    char value[RA_TPL_SIZE];  // template text, at most 159 characters
};
static_assert(sizeof(void *) != 4 || sizeof(ra_tpl) == 4 + 160, "ra_tpl layout");

extern "C" {

extern int32_t ra_enabled;            // 0 disables the autosave
extern char ra_dir[RA_DIR_SIZE];      // save directory, never empty after loading
extern ra_tpl ra_tpls[RA_TPL_COUNT];  // templates in reading and lookup order
extern int32_t ra_index_start;        // first "%index%" value, never negative after loading
extern int32_t ra_clear_ip;           // non-zero: scrub addresses from saved copies
extern int32_t ra_record_enabled;     // non-zero: a line in Dir's replays.csv per save
extern int32_t ra_cfg_loaded;         // 1 once loading has begun
static_assert(sizeof ra_dir == 96 && sizeof ra_tpls / sizeof ra_tpls[0] == 22, "settings layout");

// Built-in template used when the settings give none.
extern const char ra_default_tpl[];

// Loads the settings on the first call only; returns ra_enabled.
int32_t ra_load_config(void);

// Loads the settings from the INI file at path instead of the one beside the
// game executable, on the first call only; returns ra_enabled. For programs
// that show players what the plug-in will read; the plug-in never calls it.
int32_t ra_load_config_file(const char *path);

// Template stored for key (ASCII case-insensitive), or null when the key is
// unknown or its value is empty.
const char *ra_tpl_lookup(const char *key);

// Copies src with its terminator to dst; returns the address of the copied
// terminator so that appends can be chained. No bounds check: callers size.
char *ra_stpcpy(char *dst, const char *src);

// 1 when a and b are equal folding only 'a'..'z' to upper case, else 0.
int ra_ieq(const char *a, const char *b);

// Case-sensitive substring search; an empty needle matches at the start.
const char *ra_strstr(const char *haystack, const char *needle);

}  // extern "C"
