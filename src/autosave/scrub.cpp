// Address scrubbing of a saved replay: a replay of an online race carries
// the other players' addresses as text near its start, so the copy we keep
// has every dotted quad in its leading bytes overwritten with zeros, and the
// block at 56..63 cleared. Works in place; bytes past the region are never
// read or written, so the copy keeps its length.
#include <windows.h>

#include "autosave/autosave.h"

// Four groups of at most three digits each.
#define RA_QUAD_GROUPS 4u
#define RA_QUAD_GROUP_DIGITS 3u
#define RA_QUAD_GROUP_MAX 255u

static int ra_is_digit(uint8_t c) { return c >= '0' && c <= '9'; }

extern "C" uint32_t ra_quad_len(const uint8_t *p, uint32_t limit) {
    uint32_t j = 0;
    for (uint32_t group = 1; group <= RA_QUAD_GROUPS; ++group) {
        uint32_t value = 0;
        uint32_t digits = 0;
        while (j < limit && ra_is_digit(p[j]) && digits < RA_QUAD_GROUP_DIGITS) {
            value = value * 10u + (uint32_t)(p[j] - '0');
            ++j;
            ++digits;
        }
        if (digits == 0 || value > RA_QUAD_GROUP_MAX) return 0;
        if (group < RA_QUAD_GROUPS) {
            if (j >= limit || p[j] != '.') return 0;
            ++j;
        }
    }
    // A digit or dot right after the fourth group means a longer run (a
    // fourth digit, a fifth group); the end of the region is a proper end.
    if (j < limit && (ra_is_digit(p[j]) || p[j] == '.')) return 0;
    return j;
}

// Clears the block and every quad in region; 1 when any byte changed.
static int ra_scrub_region(uint8_t *region) {
    int changed = 0;
    uint8_t *block = region + RA_SCRUB_BLOCK_OFFSET;
    for (uint32_t i = 0; i < RA_SCRUB_BLOCK_SIZE; ++i) {
        if (block[i] != 0) changed = 1;
    }
    // The block first: a quad reaching into it is then seen without its
    // cleared tail.
    if (changed) {
        for (uint32_t i = 0; i < RA_SCRUB_BLOCK_SIZE; ++i) block[i] = 0;
    }
    uint32_t pos = 0;
    while (pos + RA_QUAD_MIN <= RA_SCRUB_REGION) {
        // Only a digit can start a quad: the quick test keeps the scan cheap.
        uint8_t first = region[pos];
        uint32_t n =
            first >= '0' && first <= '9' ? ra_quad_len(region + pos, RA_SCRUB_REGION - pos) : 0;
        if (n == 0) {
            ++pos;
            continue;
        }
        // The digits and dots only; the byte after the quad stays.
        for (uint32_t i = 0; i < n; ++i) region[pos + i] = 0;
        changed = 1;
        pos += n;
    }
    return changed;
}

extern "C" int ra_scrub_bytes(uint8_t *bytes, uint32_t size) {
    // A replay shorter than the region is left as it is, as on disk.
    if (size < RA_SCRUB_REGION) return 0;
    return ra_scrub_region(bytes);
}

extern "C" void ra_scrub_ip_digest(const char *path, char *digest) {
    if (digest != nullptr) digest[0] = '\0';
    // Read sharing only: nobody else may write the copy while we rewrite it.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;  // deliberate: the copy stays as copied

    // The whole region in one stack buffer: the plug-in has no heap.
    uint8_t region[RA_SCRUB_REGION];
    DWORD got = 0;
    // A failed read leaves the copy untouched, and a short one (a copy
    // shorter than the region) too; silent, the autosave itself succeeded.
    if (!ReadFile(file, region, RA_SCRUB_REGION, &got, nullptr)) goto out;
    if (got == RA_SCRUB_REGION && ra_scrub_bytes(region, got)) {
        // Best effort and silent: the copy is already saved and there is
        // nobody to tell. But without the pointer back at 0 the region would
        // land at offset 6308, over the replay's own data, so we skip it.
        DWORD written = 0;
        if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
            WriteFile(file, region, RA_SCRUB_REGION, &written, nullptr);
        }
    }
    // The region now stands as a share sends it: the record's digest of the
    // copy is made from it, with no second read of the file.
    if (digest != nullptr) ra_replay_digest_of_open(file, region, got, digest);
out:
    CloseHandle(file);
}

extern "C" void ra_scrub_ip(const char *path) { ra_scrub_ip_digest(path, nullptr); }
