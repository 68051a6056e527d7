// The token table of the name template language: which %key% reads which
// race context field, and how it is written into the name.
#pragma once

#include <stdint.h>

#include "snapshot/race_context.h"

// The token of the save's time, which tells two races of one track apart.
#define RA_TIME_TOKEN "time"

extern "C" {

// Appends the expansion of the token called name (already cut to at most
// RA_TOKEN_BUF - 1 characters) and returns 1; returns 0 and appends nothing
// when name is no key of the table and no valid numbered token.
int ra_put_token(char *buf, uint32_t *fill, const char *name, const ra_ctx *ctx);

// The table's names, for programs that tell players about their templates:
// the i-th fixed key in lookup order, and the i-th numbered token's prefix
// (followed by a car number 1..16); null past the last.
const char *ra_token_key(uint32_t i);
const char *ra_numbered_token_prefix(uint32_t i);

}  // extern "C"
