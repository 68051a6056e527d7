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

extern "C" {

// The after-race handler, called by the save stub after every replay save.
void vq_ra_after(void);

// Template for the current race through the cascade of keys; never null.
const char *ra_pick_tpl(void);

// Template for a race of these game words through the same cascade; *key
// receives the key the template came from, or null for the built-in one.
const char *ra_pick_tpl_for(uint32_t race_type, uint32_t variant, uint32_t circ_type,
                            uint32_t m_flag, const char **key);

// Creates every directory level of "Dir"; results are ignored.
void ra_make_dirs(void);

// Clears the block and every dotted quad in the first RA_SCRUB_REGION bytes
// of the file at path, in place. Silent on every failure.
void ra_scrub_ip(const char *path);

// The same scrub on a replay's bytes in memory (size of them readable):
// clears what ra_scrub_ip would clear in a file of those bytes. Returns 1
// when any byte changed; a replay shorter than the region is untouched.
int ra_scrub_bytes(uint8_t *bytes, uint32_t size);

// Length of the dotted quad starting exactly at p (limit bytes readable), or 0.
uint32_t ra_quad_len(const uint8_t *p, uint32_t limit);

// Appends the line of the replay just copied from src to dst to
// Dir\replays.csv in one write, the header first when the file is empty;
// ctx is the race context the name came from. A failure is logged; the
// saved replay stands whatever happens here.
void ra_record_save(const ra_ctx *ctx, const char *src, const char *dst);

// The header line, and the line of one save (file: the saved name without
// Dir; source: the game's replay path), each ending in CR LF, appended to
// buf (RA_RECORD_BUF bytes) at *fill. No terminator is stored.
void ra_record_header(char *buf, uint32_t *fill);
void ra_record_line(char *buf, uint32_t *fill, const ra_ctx *ctx, const char *file,
                    const char *source);

}  // extern "C"
