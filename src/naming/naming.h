// Replay naming: a name template expanded against a race context into a safe
// file name, and the destination path built from it under "Dir".
#pragma once

#include <stdint.h>

#include "snapshot/race_context.h"

// Output buffer of the expander: at most 199 characters and the terminator.
#define RA_NAME_BUF 200
#define RA_NAME_MAX (RA_NAME_BUF - 1)
// A token name keeps at most 23 characters; longer names are cut.
#define RA_TOKEN_BUF 24
// Extension of saved replays; a name's own ".rp4" is dropped before it.
#define RA_REPLAY_EXT ".rp4"

extern "C" {

// Bounded appends: each stores through vqra_putc, which drops a character
// once fill count + 1 would exceed RA_NAME_MAX.
void vqra_putc(char *buf, uint32_t *fill, char c);
void vqra_puts(char *buf, uint32_t *fill, const char *s);
void vqra_putu(char *buf, uint32_t *fill, uint32_t v);
void vqra_put2(char *buf, uint32_t *fill, uint32_t v);
void vqra_put_safe(char *buf, uint32_t *fill, const char *s);

// 1 when the byte may stand in a Windows file name, 0 otherwise.
int vqra_char_ok(unsigned c);

// Expands tpl against ctx into out (RA_NAME_BUF bytes); returns out.
char *vqra_expand(const char *tpl, const ra_ctx *ctx, char *out);

// Builds "Dir\name.rp4" into dst (RA_PATH_SIZE bytes) with the plug-in's
// Dir; 1 on success, 0 when the path would not fit, leaving dst untouched.
int ra_build_dst(char *dst, const char *name);

// The same under the save folder dir (a Dir setting).
int ra_build_dst_in(const char *dir, char *dst, const char *name);

}  // extern "C"
