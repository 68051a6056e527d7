// MD5 digests of the current track's "Tr.frd" and "Trn.frd", cached per track
// folder so that a naming attempt only copies text.
#pragma once

#include <stdint.h>

#include "snapshot/race_context.h"

// Track files a template can ask a digest of.
#define RA_TRACK_FILE_TR "Tr.frd"
#define RA_TRACK_FILE_TRN "Trn.frd"
// Files are hashed in pieces of this size through one stack buffer.
#define RA_MD5_READ_CHUNK 16384u

extern "C" {

// The cache: valid from the first refresh on, for the folder in ra_md5_folder.
extern int ra_md5_valid;                   // 0 until the first refresh, then 1
extern char ra_md5_tr[RA_MD5_TEXT_SIZE];   // digest of "Tr.frd", or empty
extern char ra_md5_trn[RA_MD5_TEXT_SIZE];  // digest of "Trn.frd", or empty
extern char ra_md5_folder[RA_TRACK_SIZE];  // folder the digests belong to

// Digest of the file at path as 32 lower-case hex digits into out
// (RA_MD5_TEXT_SIZE bytes); empty when the file cannot be opened or read.
void ra_file_md5(const char *path, char *out);

// Digest of file in the track folder (below the game's track root) into out;
// empty when the path cannot be built.
void ra_track_md5(const char *folder, const char *file, char *out);

// Computes both digests again when the cache is not valid yet or the track
// folder changed; otherwise does nothing.
void ra_md5_refresh(void);

}  // extern "C"

// The cache's texts: 32 hex digits and the terminator, and a folder name of
// at most 23 characters and the terminator.
static_assert(sizeof ra_md5_tr == 33 && sizeof ra_md5_trn == 33, "digest cache layout");
static_assert(sizeof ra_md5_folder == 24, "digest cache layout");
