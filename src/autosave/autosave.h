// The after-race autosave: copies the game's latest replay under its
// templated name, scrubs addresses from the copy, and records the save.
#pragma once

#include <stdint.h>

#include "snapshot/race_context.h"

// Candidates tried for a template with "%index%" before giving up.
#define RA_INDEX_PROBES 10000u
// Leading bytes of a saved replay that are scrubbed; the rest is never touched.
#define RA_SCRUB_REGION 6308u
// The 8-byte block at offsets 56..63 cleared when not all zero.
#define RA_SCRUB_BLOCK_OFFSET 56u
#define RA_SCRUB_BLOCK_SIZE 8u
// The shortest dotted quad, "0.0.0.0".
#define RA_QUAD_MIN 7u
// The game's replay file, appended to its replay folder text.
#define RA_REPLAY_FILE "replay.rp4"
// The record of saved replays in Dir, one line per save ("Record" on).
#define RA_RECORD_FILE "replays.csv"
// The record's header and one line at their longest (proven in record.cpp).
#define RA_RECORD_BUF 4096u
// What the after-race handler looks for in a template (exact, case-sensitive):
// the index marker starts probing for a free name, a digest token asks for
// the track files' digests.
#define RA_INDEX_MARKER "%index%"
#define RA_MD5_TR_MARKER "track_tr_md5"
#define RA_MD5_TRN_MARKER "track_trn_md5"

struct ra_tpl;

// What the existence test of a candidate name tells.
enum ra_candidate {
    RA_CANDIDATE_TAKEN,    // a file of that name exists
    RA_CANDIDATE_FREE,     // the system says there is none
    RA_CANDIDATE_UNKNOWN,  // the test failed for another reason (*error: the system's code)
};

// How the search for a replay's name ended.
enum ra_destination {
    RA_DEST_FOUND,      // dst holds the path to copy to
    RA_DEST_EMPTY,      // the name comes out empty (every name, with "%index%")
    RA_DEST_TOO_LONG,   // the path would be longer than 259 characters
    RA_DEST_UNKNOWN,    // cannot tell whether dst exists (*error: the system's code)
    RA_DEST_ALL_TAKEN,  // all RA_INDEX_PROBES candidates exist; dst holds the last
};

// What the search asks of the world: a race context filled for an index,
// and the existence test of a candidate path.
struct ra_destination_world {
    void (*fill)(ra_ctx *ctx, uint32_t index, void *context);
    ra_candidate (*test)(const char *path, unsigned long *error, void *context);
    void *context;
};

extern "C" {

// The after-race handler, called by the save stub after every replay save.
void vq_ra_after(void);

// Template for the current race through the cascade of keys; never null.
const char *ra_pick_tpl(void);

// Template for a race of these game words through the same cascade; *key
// receives the key the template came from, or null for the built-in one.
const char *ra_pick_tpl_for(uint32_t race_type, uint32_t variant, uint32_t circ_type,
                            uint32_t m_flag, const char **key);

// The same cascade over a table of templates (RA_TPL_COUNT entries: the
// plug-in's ra_tpls, or those of a loaded settings value).
const char *ra_pick_tpl_in(const ra_tpl *tpls, uint32_t race_type, uint32_t variant,
                           uint32_t circ_type, uint32_t m_flag, const char **key);

// The plug-in's existence test of a candidate: free only when the system
// says there is no such file (GetFileAttributesA); context is unused.
ra_candidate ra_test_candidate(const char *path, unsigned long *error, void *context);

// The destination of a replay named by tpl, under the save folder dir: with
// "%index%", the first candidate from IndexStart under which no file
// exists (RA_INDEX_PROBES tried at most, each context filled afresh by
// world.fill); without it, the one name, whether a file has it or not.
// ctx and name (RA_NAME_BUF bytes) are left as the last attempt made them,
// dst (RA_PATH_SIZE bytes) holds the path found or the last one tried.
ra_destination ra_find_destination(const char *dir, int32_t index_start, const char *tpl,
                                   const ra_destination_world *world, ra_ctx *ctx, char *name,
                                   char *dst, unsigned long *error);

// Creates every directory level of "Dir"; results are ignored.
void ra_make_dirs(void);

// Clears the block and every dotted quad in the first RA_SCRUB_REGION bytes
// of the file at path, in place. Silent on every failure.
void ra_scrub_ip(const char *path);
// The same, and the copy's digest (ra_replay_digest) into digest
// (RA_MD5_TEXT_SIZE bytes) from the same read, or empty when the file could
// not be read; digest may be null.
void ra_scrub_ip_digest(const char *path, char *digest);

// The same scrub on a replay's bytes in memory (size of them readable):
// clears what ra_scrub_ip would clear in a file of those bytes. Returns 1
// when any byte changed; a replay shorter than the region is untouched.
int ra_scrub_bytes(uint8_t *bytes, uint32_t size);

// The digest the record keeps of a saved replay (autosave/replay_digest.cpp):
// MD5 of its first RA_SCRUB_REGION bytes (all, when shorter) as a share
// sends them, scrubbed, and of its size as eight bytes, least significant
// first; 32 lower-case hex digits into out (RA_MD5_TEXT_SIZE bytes).
// ra_replay_digest_of takes those leading bytes as they stand, already
// scrubbed; ra_replay_digest reads and scrubs them from the file at path,
// and leaves out empty when it cannot be read.
// ra_replay_digest_of_open takes the got leading bytes, already scrubbed, of
// the file open_file (a HANDLE), whose size it asks the file for.
void ra_replay_digest_of(const uint8_t *head, uint32_t head_len, uint64_t size, char *out);
void ra_replay_digest_of_open(void *open_file, const uint8_t *head, uint32_t got, char *out);
void ra_replay_digest(const char *path, char *out);

// Length of the dotted quad starting exactly at p (limit bytes readable), or 0.
uint32_t ra_quad_len(const uint8_t *p, uint32_t limit);

// Appends the line of the replay just copied from src to dst to
// Dir\replays.csv in one write, the header first when the file is empty;
// ctx is the race context the name came from, and the line keeps the
// copy's digest: digest when given and not empty, else read from dst. A
// failure is logged; the saved replay stands whatever happens here.
void ra_record_save(const ra_ctx *ctx, const char *src, const char *dst, const char *digest);

// The header line, and the line of one save (file: the saved name without
// Dir; source: the game's replay path; replay_md5: its digest, or null for
// none), each ending in CR LF, appended to buf (RA_RECORD_BUF bytes) at
// *fill. No terminator is stored.
void ra_record_header(char *buf, uint32_t *fill);
void ra_record_line(char *buf, uint32_t *fill, const ra_ctx *ctx, const char *file,
                    const char *source, const char *replay_md5);

}  // extern "C"
