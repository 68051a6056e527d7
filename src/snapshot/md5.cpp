// MD5 as RFC 1321 defines it, written for this plug-in: the track digests must
// not pull in a library, and the DLL has no C++ runtime.
#include "snapshot/md5.h"

// Initial chaining words A, B, C, D.
static const uint32_t vqmd5_init_state[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

// Step constants: the integer part of 2^32 * |sin(i + 1)|, i = 0..63.
// clang-format off
static const uint32_t vqmd5_k[64] = {
    0xD76AA478u, 0xE8C7B756u, 0x242070DBu, 0xC1BDCEEEu,
    0xF57C0FAFu, 0x4787C62Au, 0xA8304613u, 0xFD469501u,
    0x698098D8u, 0x8B44F7AFu, 0xFFFF5BB1u, 0x895CD7BEu,
    0x6B901122u, 0xFD987193u, 0xA679438Eu, 0x49B40821u,
    0xF61E2562u, 0xC040B340u, 0x265E5A51u, 0xE9B6C7AAu,
    0xD62F105Du, 0x02441453u, 0xD8A1E681u, 0xE7D3FBC8u,
    0x21E1CDE6u, 0xC33707D6u, 0xF4D50D87u, 0x455A14EDu,
    0xA9E3E905u, 0xFCEFA3F8u, 0x676F02D9u, 0x8D2A4C8Au,
    0xFFFA3942u, 0x8771F681u, 0x6D9D6122u, 0xFDE5380Cu,
    0xA4BEEA44u, 0x4BDECFA9u, 0xF6BB4B60u, 0xBEBFBC70u,
    0x289B7EC6u, 0xEAA127FAu, 0xD4EF3085u, 0x04881D05u,
    0xD9D4D039u, 0xE6DB99E5u, 0x1FA27CF8u, 0xC4AC5665u,
    0xF4292244u, 0x432AFF97u, 0xAB9423A7u, 0xFC93A039u,
    0x655B59C3u, 0x8F0CCC92u, 0xFFEFF47Du, 0x85845DD1u,
    0x6FA87E4Fu, 0xFE2CE6E0u, 0xA3014314u, 0x4E0811A1u,
    0xF7537E82u, 0xBD3AF235u, 0x2AD7D2BBu, 0xEB86D391u,
};
// clang-format on

// Left-rotation amounts: four per round, repeating within the round.
static const unsigned char vqmd5_shift[16] = {7, 12, 17, 22, 5, 9,  14, 20,
                                              4, 11, 16, 23, 6, 10, 15, 21};

// Bytes of the length field at the end of the final block.
#define VQMD5_LENGTH_BYTES 8u

static uint32_t vqmd5_rotl(uint32_t x, unsigned n) { return (x << n) | (x >> (32u - n)); }

// One compression round over a 64-byte block; words are little-endian.
static void vqmd5_transform(uint32_t state[4], const unsigned char *block) {
    uint32_t m[16];
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned char *p = block + 4 * i;
        m[i] = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (unsigned i = 0; i < 64; ++i) {
        uint32_t f;
        unsigned g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) & 15;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
        }
        uint32_t rotated =
            vqmd5_rotl(a + f + vqmd5_k[i] + m[g], vqmd5_shift[(i >> 4) * 4 + (i & 3)]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

extern "C" void vqmd5_init(vqmd5_ctx *ctx) {
    for (unsigned i = 0; i < 4; ++i) ctx->state[i] = vqmd5_init_state[i];
    ctx->count = 0;
}

extern "C" void vqmd5_update(vqmd5_ctx *ctx, const void *data, uint32_t length) {
    const unsigned char *in = (const unsigned char *)data;
    uint32_t used = (uint32_t)ctx->count & (RA_MD5_BLOCK - 1);
    ctx->count += length;
    while (length > 0) {
        uint32_t take = RA_MD5_BLOCK - used;
        if (take > length) take = length;
        for (uint32_t i = 0; i < take; ++i) ctx->block[used + i] = in[i];
        in += take;
        length -= take;
        used += take;
        if (used == RA_MD5_BLOCK) {
            vqmd5_transform(ctx->state, ctx->block);
            used = 0;
        }
    }
}

extern "C" void vqmd5_final(vqmd5_ctx *ctx, unsigned char digest[RA_MD5_DIGEST]) {
    uint64_t bits = ctx->count << 3;
    // A 0x80 byte, zeros up to 8 bytes short of a block end, then the length.
    static const unsigned char pad[RA_MD5_BLOCK] = {0x80};
    uint32_t used = (uint32_t)ctx->count & (RA_MD5_BLOCK - 1);
    uint32_t pad_len = used < RA_MD5_BLOCK - VQMD5_LENGTH_BYTES
                           ? RA_MD5_BLOCK - VQMD5_LENGTH_BYTES - used
                           : 2 * RA_MD5_BLOCK - VQMD5_LENGTH_BYTES - used;
    vqmd5_update(ctx, pad, pad_len);
    unsigned char length[VQMD5_LENGTH_BYTES];
    for (unsigned i = 0; i < VQMD5_LENGTH_BYTES; ++i) length[i] = (unsigned char)(bits >> (8 * i));
    vqmd5_update(ctx, length, VQMD5_LENGTH_BYTES);
    for (unsigned i = 0; i < RA_MD5_DIGEST; ++i) {
        digest[i] = (unsigned char)(ctx->state[i / 4] >> (8 * (i % 4)));
    }
}
