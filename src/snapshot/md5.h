// MD5 (RFC 1321) of a byte stream, our own code: the track digests need
// nothing more than init, update and final.
#pragma once

#include <stdint.h>

#define RA_MD5_BLOCK 64   // bytes per compression round
#define RA_MD5_DIGEST 16  // bytes of a digest

// Running state of one computation; it lives on the caller's stack and never
// crosses to another binary, so its 64-bit count is harmless.
struct vqmd5_ctx {
    uint32_t state[4];                  // chaining words A, B, C, D
    uint64_t count;                     // bytes hashed so far
    unsigned char block[RA_MD5_BLOCK];  // bytes waiting for a full block
};

extern "C" {

void vqmd5_init(vqmd5_ctx *ctx);
// Adds length bytes; a length of 0 changes nothing.
void vqmd5_update(vqmd5_ctx *ctx, const void *data, uint32_t length);
// Pads, appends the length in bits and writes the 16-byte digest.
void vqmd5_final(vqmd5_ctx *ctx, unsigned char digest[RA_MD5_DIGEST]);

}  // extern "C"
