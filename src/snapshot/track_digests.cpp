// Track file digests and their cache. Nothing here is logged: a digest that
// cannot be computed is simply empty.
#include "snapshot/track_digests.h"

#include <string.h>
#include <windows.h>

#include "settings/settings.h"
#include "snapshot/game_map.h"
#include "snapshot/md5.h"

extern "C" {
int ra_md5_valid = 0;
char ra_md5_tr[RA_MD5_TEXT_SIZE];
char ra_md5_trn[RA_MD5_TEXT_SIZE];
char ra_md5_folder[RA_TRACK_SIZE];
}

// Bytes a path adds besides its three parts: the "\" and the terminator.
#define RA_TRACK_PATH_EXTRA 2u

static const char ra_hex_digits[] = "0123456789abcdef";

extern "C" void ra_file_md5(const char *path, char *out) {
    out[0] = '\0';
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;

    vqmd5_ctx md5;
    vqmd5_init(&md5);
    unsigned char chunk[RA_MD5_READ_CHUNK];
    int failed = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, RA_MD5_READ_CHUNK, &got, nullptr)) {
            failed = 1;
            break;
        }
        if (got == 0) break;
        vqmd5_update(&md5, chunk, got);
    }
    CloseHandle(file);
    // A partial digest would look valid but name the wrong content.
    if (failed) return;

    unsigned char digest[RA_MD5_DIGEST];
    vqmd5_final(&md5, digest);
    for (unsigned i = 0; i < RA_MD5_DIGEST; ++i) {
        out[2 * i] = ra_hex_digits[digest[i] >> 4];
        out[2 * i + 1] = ra_hex_digits[digest[i] & 15];
    }
    out[2 * RA_MD5_DIGEST] = '\0';
}

extern "C" void ra_track_md5(const char *folder, const char *file, char *out) {
    const char *root = (const char *)ra_game_ptr(game_track_root);
    out[0] = '\0';
    if (root == nullptr || folder[0] == '\0') return;
    // The whole path with its terminator must fit; a cut path would name
    // another file.
    if (strlen(root) + strlen(folder) + strlen(file) + RA_TRACK_PATH_EXTRA > RA_PATH_SIZE) return;
    char path[RA_PATH_SIZE];
    // Root and folder are joined as they stand; only the file gets a separator.
    ra_stpcpy(ra_stpcpy(ra_stpcpy(ra_stpcpy(path, root), folder), "\\"), file);
    ra_file_md5(path, out);
}

extern "C" void ra_md5_refresh(void) {
    char folder[RA_TRACK_SIZE];
    ra_track_folder(folder);
    if (ra_md5_valid && strcmp(folder, ra_md5_folder) == 0) return;
    // Both digests together, and empty ones are cached too: a folder is read
    // once while it stays current, even if its files are missing.
    ra_track_md5(folder, RA_TRACK_FILE_TR, ra_md5_tr);
    ra_track_md5(folder, RA_TRACK_FILE_TRN, ra_md5_trn);
    ra_stpcpy(ra_md5_folder, folder);
    ra_md5_valid = 1;
}
