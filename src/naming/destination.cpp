// Destination path of a saved replay: "Dir", a backslash, the name with its
// dots turned into '-', and ".rp4". A path that would not fit is refused
// whole: a cut path could name some other file.
#include <string.h>

#include "naming/naming.h"
#include "settings/settings.h"

// Backslash, the four characters of ".rp4", and the terminator.
#define RA_DST_OVERHEAD (1u + (sizeof RA_REPLAY_EXT - 1) + 1u)
#define RA_EXT_LEN (sizeof RA_REPLAY_EXT - 1)

// Only 'a'..'z' fold: any other byte must match as it is.
static char ra_fold_upper(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

// 1 when the last RA_EXT_LEN characters of name (n long) are ".rp4" in any
// letter case.
static int ra_has_replay_ext(const char *name, size_t n) {
    if (n < RA_EXT_LEN) return 0;
    const char *tail = name + n - RA_EXT_LEN;
    for (size_t i = 0; i < RA_EXT_LEN; ++i) {
        if (ra_fold_upper(tail[i]) != ra_fold_upper(RA_REPLAY_EXT[i])) return 0;
    }
    return 1;
}

extern "C" int ra_build_dst(char *dst, const char *name) {
    size_t d = strlen(ra_dir);
    size_t n = strlen(name);
    // The name's own extension is dropped once, so it is not doubled.
    if (ra_has_replay_ext(name, n)) n -= RA_EXT_LEN;
    if (d + n + RA_DST_OVERHEAD > RA_PATH_SIZE) return 0;

    char *p = ra_stpcpy(dst, ra_dir);
    *p++ = '\\';
    // Dots in the name only: the directory is the user's and keeps its own.
    for (size_t i = 0; i < n; ++i) *p++ = name[i] == '.' ? '-' : name[i];
    ra_stpcpy(p, RA_REPLAY_EXT);
    return 1;
}
