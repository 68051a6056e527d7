// The digest the record keeps of each saved replay, so that a friend's
// program can tell that a record line and the replay shared with it are of
// one race: a line cannot be paired with another race's replay unnoticed.
// A share always clears the replay's addresses, so the digest is of the
// copy as a share sends it: its leading RA_SCRUB_REGION bytes as the scrub
// leaves them (where a race's own facts are), and its length. Not the whole
// file: that would cost an MD5 of every byte of every save, some 1.3 ms a
// MiB, several times the copy itself.
#include <windows.h>

#include "autosave/autosave.h"
#include "snapshot/md5.h"

static const char ra_digest_hex[] = "0123456789abcdef";

extern "C" void ra_replay_digest_of(const uint8_t *head, uint32_t head_len, uint64_t size,
                                    char *out) {
    vqmd5_ctx md5;
    vqmd5_init(&md5);
    vqmd5_update(&md5, head, head_len);
    // The length as eight bytes, least significant first.
    unsigned char length[8];
    for (unsigned i = 0; i < sizeof length; ++i) length[i] = (unsigned char)(size >> (8u * i));
    vqmd5_update(&md5, length, sizeof length);
    unsigned char digest[RA_MD5_DIGEST];
    vqmd5_final(&md5, digest);
    for (unsigned i = 0; i < RA_MD5_DIGEST; ++i) {
        out[2 * i] = ra_digest_hex[digest[i] >> 4];
        out[2 * i + 1] = ra_digest_hex[digest[i] & 15u];
    }
    out[2 * RA_MD5_DIGEST] = '\0';
}

extern "C" void ra_replay_digest_of_open(void *open_file, const uint8_t *head, uint32_t got,
                                         char *out) {
    out[0] = '\0';
    HANDLE file = (HANDLE)open_file;
    // A file shorter than the region was read to its end; a longer one's
    // size is where its end lies.
    uint64_t size = got;
    if (got == RA_SCRUB_REGION) {
        LONG high = 0;
        const DWORD low = SetFilePointer(file, 0, &high, FILE_END);
        if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) return;
        size = (uint64_t)(uint32_t)high << 32 | low;
    }
    ra_replay_digest_of(head, got, size, out);
}

extern "C" void ra_replay_digest(const char *path, char *out) {
    out[0] = '\0';
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;  // no digest: the line says nothing of it
    // The region in one stack buffer, as the scrub reads it: no heap.
    uint8_t head[RA_SCRUB_REGION];
    DWORD got = 0;
    if (ReadFile(file, head, RA_SCRUB_REGION, &got, nullptr)) {
        ra_scrub_bytes(head, got);
        ra_replay_digest_of_open(file, head, got, out);
    }
    CloseHandle(file);
}
