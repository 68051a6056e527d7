// The token table of the name template language: which %key% reads which
// race context field, and how it is written into the name.
#pragma once

#include <stdint.h>

#include "snapshot/race_context.h"

extern "C" {

// Appends the expansion of the token called name (already cut to at most
// RA_TOKEN_BUF - 1 characters) and returns 1; returns 0 and appends nothing
// when name is no key of the table and no valid numbered token.
int ra_put_token(char *buf, uint32_t *fill, const char *name, const ra_ctx *ctx);

}  // extern "C"
