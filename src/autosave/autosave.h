// The after-race autosave: copies the game's latest replay under its
// templated name, and scrubs addresses from the copy.
#pragma once

#include <stdint.h>

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

// Length of the dotted quad starting exactly at p (limit bytes readable), or 0.
uint32_t ra_quad_len(const uint8_t *p, uint32_t limit);

}  // extern "C"
