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

// Everything the plug-in reads from one INI file, as a value: what
// ra_load_settings fills, for the players' program (which loads a fresh one
// whenever it needs one) and for the plug-in's loader, which puts it into
// the plug-in's settings storage below.
struct ra_settings {
    int32_t enabled;            // "Enabled": 0 disables the autosave
    char dir[RA_DIR_SIZE];      // "Dir": save directory, never empty once loaded
    ra_tpl tpls[RA_TPL_COUNT];  // the templates, in reading and lookup order
    int32_t index_start;        // "IndexStart": first "%index%" value, never negative once loaded
    int32_t clear_ip;           // "ClearIp": non-zero scrubs addresses from saved copies
    int32_t record_enabled;     // "Record": non-zero adds a line to Dir's replays.csv per save
};

// The keys the plug-in reads besides the templates, in one table: the name
// in the INI file, how it is read, and what it gives when it is missing.
enum ra_setting {
    RA_SET_ENABLED,
    RA_SET_DIR,
    RA_SET_INDEX_START,
    RA_SET_CLEAR_IP,
    RA_SET_RECORD,
    RA_SETTING_COUNT
};
struct ra_setting_key {
    const char *key;   // e.g. "IndexStart"
    int is_text;       // 1: read as text (Dir), 0: read as an integer
    int32_t fallback;  // an integer key's value when the key or the file is missing
};

extern "C" {

extern const ra_setting_key ra_setting_keys[RA_SETTING_COUNT];
// The template keys, "Name" to "mh_name", in reading and lookup order.
extern const char *const ra_tpl_keys[RA_TPL_COUNT];

// Fills *out with what the plug-in reads from the INI file at path: each
// key's fallback where the file, its section or the key is missing. With a
// null path nothing is read and the initial values stay (Enabled 1, Dir
// "SaveData\Saves", no templates, IndexStart 1, ClearIp and Record 0).
// Either way an empty Dir becomes "SaveData\Saves" and a negative
// IndexStart 0. Reads nothing but the file.
void ra_load_settings(const char *path, ra_settings *out);

// The template a table of templates holds for key (ASCII case-insensitive),
// or null when the key is unknown or its value is empty.
const char *ra_tpl_in(const ra_tpl *tpls, const char *key);

// The plug-in's settings storage: plain globals that programs built beside
// the plug-in declare as they are, so each keeps its kind and size. Loaded
// once per process by ra_load_config and read by every part of the plug-in.
extern int32_t ra_enabled;            // 0 disables the autosave
extern char ra_dir[RA_DIR_SIZE];      // save directory, never empty after loading
extern ra_tpl ra_tpls[RA_TPL_COUNT];  // templates in reading and lookup order
extern int32_t ra_index_start;        // first "%index%" value, never negative after loading
extern int32_t ra_clear_ip;           // non-zero: scrub addresses from saved copies
extern int32_t ra_cfg_loaded;         // 1 once loading has begun
extern int32_t ra_record_enabled;     // non-zero: a line in Dir's replays.csv per save
static_assert(sizeof ra_dir == 96 && sizeof ra_tpls / sizeof ra_tpls[0] == 22, "settings layout");

// Puts a loaded value into the plug-in's settings storage, as the loader
// does; for programs that run the plug-in's code on settings of their own.
void ra_keep_settings(const ra_settings *settings);

// Built-in template used when the settings give none.
extern const char ra_default_tpl[];

// Loads the plug-in's settings from the INI beside the game executable, on
// the first call only; returns ra_enabled.
int32_t ra_load_config(void);

// The template the plug-in's settings hold for key (ASCII case-insensitive),
// or null when the key is unknown or its value is empty.
const char *ra_tpl_lookup(const char *key);

// Copies src with its terminator to dst; returns the address of the copied
// terminator so that appends can be chained. No bounds check: callers size.
char *ra_stpcpy(char *dst, const char *src);

// c with only 'a'..'z' folded to upper case: the letter-case rule of every
// name the plug-in compares.
unsigned char ra_upper(unsigned char c);

// 1 when a and b are equal folding only 'a'..'z' to upper case, else 0.
int ra_ieq(const char *a, const char *b);

// Case-sensitive substring search; an empty needle matches at the start.
const char *ra_strstr(const char *haystack, const char *needle);

}  // extern "C"
