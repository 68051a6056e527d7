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

// Windows opens a device, not a file, for these base names whatever the
// extension ("NUL.rp4" is the null device). A racer name from another player
// could make one, and the copy would vanish while reported as saved.
static const char *const ra_device_names[] = {"CON", "PRN", "AUX", "NUL"};
static const char *const ra_numbered_devices[] = {"COM", "LPT"};  // + one digit
#define RA_NUMBERED_DEVICE_LEN 4u
// Windows 10 and later take the superscript digits too (COM¹ is COM1): ¹ ² ³
// in the game's code page, Windows-1252, as a name reaches CreateFileA.
static const char ra_superscript_digits[] = "\xB9\xB2\xB3";

static int ra_is_device_digit(char c) {
    return (c >= '0' && c <= '9') || (c != '\0' && strchr(ra_superscript_digits, c) != nullptr);
}

// 1 when the n characters of base, as they stand in the path, name a
// device. Microsoft's "Naming Files, Paths, and Namespaces" reserves these
// names also "followed immediately by an extension" (NUL.txt is NUL), and
// Win32 strips trailing spaces and dots from the base name before it
// compares, so "CON .rp4" and "nul. .rp4" are devices too. Our dots become
// '-' in the path: "nul. " stands there as "nul- ", a file, so only the
// trailing spaces are stripped here.
static int ra_is_device_name(const char *base, size_t n) {
    while (n > 0 && base[n - 1] == ' ') --n;
    for (const char *device : ra_device_names) {
        size_t i = 0;
        while (i < n && device[i] != '\0' && ra_fold_upper(base[i]) == device[i]) ++i;
        if (i == n && device[i] == '\0') return 1;
    }
    if (n != RA_NUMBERED_DEVICE_LEN || !ra_is_device_digit(base[3])) return 0;
    for (const char *device : ra_numbered_devices) {
        if (ra_fold_upper(base[0]) == device[0] && ra_fold_upper(base[1]) == device[1] &&
            ra_fold_upper(base[2]) == device[2]) {
            return 1;
        }
    }
    return 0;
}

// Appended to a base name that would name a device.
#define RA_DEVICE_GUARD '_'

extern "C" int ra_build_dst_in(const char *dir, char *dst, const char *name) {
    size_t d = strlen(dir);
    size_t n = strlen(name);
    // The name's own extension is dropped once, so it is not doubled.
    if (ra_has_replay_ext(name, n)) n -= RA_EXT_LEN;
    int device = ra_is_device_name(name, n);
    if (d + n + (device ? 1u : 0u) + RA_DST_OVERHEAD > RA_PATH_SIZE) return 0;

    char *p = ra_stpcpy(dst, dir);
    *p++ = '\\';
    // Dots in the name only: the directory is the user's and keeps its own.
    for (size_t i = 0; i < n; ++i) *p++ = name[i] == '.' ? '-' : name[i];
    if (device) *p++ = RA_DEVICE_GUARD;
    ra_stpcpy(p, RA_REPLAY_EXT);
    return 1;
}

extern "C" int ra_build_dst(char *dst, const char *name) {
    return ra_build_dst_in(ra_dir, dst, name);
}
