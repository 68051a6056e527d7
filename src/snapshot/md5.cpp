// MD5 as RFC 1321 defines it, written for this plug-in: the track digests must
// not pull in a library, and the DLL has no C++ runtime.
//
// The game waits while a track's files are digested, so the compression is
// written for speed: the 64 steps straight-line with their constants inline,
// each message word loaded once, whole blocks hashed from the caller's data
// without a copy, and the round functions arranged so that most of each
// step's work does not wait for the previous step's result (MD5 is one long
// chain of dependent additions).
#include "snapshot/md5.h"

#include <string.h>

// Initial chaining words A, B, C, D.
static const uint32_t vqmd5_init_state[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

// Bytes of the length field at the end of the final block.
#define VQMD5_LENGTH_BYTES 8u

static inline uint32_t vqmd5_rotl(uint32_t x, unsigned n) { return (x << n) | (x >> (32u - n)); }

// Message words are little-endian whatever the processor; compilers turn
// this into one load on x86.
static inline uint32_t vqmd5_word(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// One step: a = b + ((a + f(b, c, d) + m + k) <<< s). The message word and
// the constant are known long before b, the result of the step before: they
// are added first. Compilers like to add constants last, which puts them on
// the chain; VQMD5_EARLY is an empty assembler statement that claims to change
// a, so the sum must be complete there. It emits no instruction.
#define VQMD5_EARLY(a) __asm__("" : "+r"(a))
// F(b, c, d) = (b & c) | (~b & d), computed as ((c ^ d) & b) ^ d.
#define VQMD5_F(a, b, c, d, m, s, k)    \
    do {                                \
        a += (m) + (k);                 \
        VQMD5_EARLY(a);                 \
        a += (((c) ^ (d)) & (b)) ^ (d); \
        a = vqmd5_rotl(a, s) + (b);     \
    } while (0)
// G(b, c, d) = (b & d) | (c & ~d). The two terms share no bit, so they may be
// added one at a time, and the one without b first.
#define VQMD5_G(a, b, c, d, m, s, k)   \
    do {                               \
        a += (m) + (k) + (~(d) & (c)); \
        VQMD5_EARLY(a);                \
        a += (d) & (b);                \
        a = vqmd5_rotl(a, s) + (b);    \
    } while (0)
// H(b, c, d) = b ^ c ^ d, with c ^ d first.
#define VQMD5_H(a, b, c, d, m, s, k) \
    do {                             \
        a += (m) + (k);              \
        VQMD5_EARLY(a);              \
        a += (b) ^ ((c) ^ (d));      \
        a = vqmd5_rotl(a, s) + (b);  \
    } while (0)
// I(b, c, d) = c ^ (b | ~d).
#define VQMD5_I(a, b, c, d, m, s, k) \
    do {                             \
        a += (m) + (k);              \
        VQMD5_EARLY(a);              \
        a += (c) ^ ((b) | ~(d));     \
        a = vqmd5_rotl(a, s) + (b);  \
    } while (0)

// One compression round over each of count 64-byte blocks.
static void vqmd5_blocks(uint32_t state[4], const unsigned char *data, uint32_t count) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; count > 0; --count, data += RA_MD5_BLOCK) {
        uint32_t m[16];
        for (unsigned i = 0; i < 16; ++i) m[i] = vqmd5_word(data + 4 * i);
        const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        // clang-format off
        VQMD5_F(a, b, c, d, m[0], 7, 0xD76AA478u);
        VQMD5_F(d, a, b, c, m[1], 12, 0xE8C7B756u);
        VQMD5_F(c, d, a, b, m[2], 17, 0x242070DBu);
        VQMD5_F(b, c, d, a, m[3], 22, 0xC1BDCEEEu);
        VQMD5_F(a, b, c, d, m[4], 7, 0xF57C0FAFu);
        VQMD5_F(d, a, b, c, m[5], 12, 0x4787C62Au);
        VQMD5_F(c, d, a, b, m[6], 17, 0xA8304613u);
        VQMD5_F(b, c, d, a, m[7], 22, 0xFD469501u);
        VQMD5_F(a, b, c, d, m[8], 7, 0x698098D8u);
        VQMD5_F(d, a, b, c, m[9], 12, 0x8B44F7AFu);
        VQMD5_F(c, d, a, b, m[10], 17, 0xFFFF5BB1u);
        VQMD5_F(b, c, d, a, m[11], 22, 0x895CD7BEu);
        VQMD5_F(a, b, c, d, m[12], 7, 0x6B901122u);
        VQMD5_F(d, a, b, c, m[13], 12, 0xFD987193u);
        VQMD5_F(c, d, a, b, m[14], 17, 0xA679438Eu);
        VQMD5_F(b, c, d, a, m[15], 22, 0x49B40821u);

        VQMD5_G(a, b, c, d, m[1], 5, 0xF61E2562u);
        VQMD5_G(d, a, b, c, m[6], 9, 0xC040B340u);
        VQMD5_G(c, d, a, b, m[11], 14, 0x265E5A51u);
        VQMD5_G(b, c, d, a, m[0], 20, 0xE9B6C7AAu);
        VQMD5_G(a, b, c, d, m[5], 5, 0xD62F105Du);
        VQMD5_G(d, a, b, c, m[10], 9, 0x02441453u);
        VQMD5_G(c, d, a, b, m[15], 14, 0xD8A1E681u);
        VQMD5_G(b, c, d, a, m[4], 20, 0xE7D3FBC8u);
        VQMD5_G(a, b, c, d, m[9], 5, 0x21E1CDE6u);
        VQMD5_G(d, a, b, c, m[14], 9, 0xC33707D6u);
        VQMD5_G(c, d, a, b, m[3], 14, 0xF4D50D87u);
        VQMD5_G(b, c, d, a, m[8], 20, 0x455A14EDu);
        VQMD5_G(a, b, c, d, m[13], 5, 0xA9E3E905u);
        VQMD5_G(d, a, b, c, m[2], 9, 0xFCEFA3F8u);
        VQMD5_G(c, d, a, b, m[7], 14, 0x676F02D9u);
        VQMD5_G(b, c, d, a, m[12], 20, 0x8D2A4C8Au);

        VQMD5_H(a, b, c, d, m[5], 4, 0xFFFA3942u);
        VQMD5_H(d, a, b, c, m[8], 11, 0x8771F681u);
        VQMD5_H(c, d, a, b, m[11], 16, 0x6D9D6122u);
        VQMD5_H(b, c, d, a, m[14], 23, 0xFDE5380Cu);
        VQMD5_H(a, b, c, d, m[1], 4, 0xA4BEEA44u);
        VQMD5_H(d, a, b, c, m[4], 11, 0x4BDECFA9u);
        VQMD5_H(c, d, a, b, m[7], 16, 0xF6BB4B60u);
        VQMD5_H(b, c, d, a, m[10], 23, 0xBEBFBC70u);
        VQMD5_H(a, b, c, d, m[13], 4, 0x289B7EC6u);
        VQMD5_H(d, a, b, c, m[0], 11, 0xEAA127FAu);
        VQMD5_H(c, d, a, b, m[3], 16, 0xD4EF3085u);
        VQMD5_H(b, c, d, a, m[6], 23, 0x04881D05u);
        VQMD5_H(a, b, c, d, m[9], 4, 0xD9D4D039u);
        VQMD5_H(d, a, b, c, m[12], 11, 0xE6DB99E5u);
        VQMD5_H(c, d, a, b, m[15], 16, 0x1FA27CF8u);
        VQMD5_H(b, c, d, a, m[2], 23, 0xC4AC5665u);

        VQMD5_I(a, b, c, d, m[0], 6, 0xF4292244u);
        VQMD5_I(d, a, b, c, m[7], 10, 0x432AFF97u);
        VQMD5_I(c, d, a, b, m[14], 15, 0xAB9423A7u);
        VQMD5_I(b, c, d, a, m[5], 21, 0xFC93A039u);
        VQMD5_I(a, b, c, d, m[12], 6, 0x655B59C3u);
        VQMD5_I(d, a, b, c, m[3], 10, 0x8F0CCC92u);
        VQMD5_I(c, d, a, b, m[10], 15, 0xFFEFF47Du);
        VQMD5_I(b, c, d, a, m[1], 21, 0x85845DD1u);
        VQMD5_I(a, b, c, d, m[8], 6, 0x6FA87E4Fu);
        VQMD5_I(d, a, b, c, m[15], 10, 0xFE2CE6E0u);
        VQMD5_I(c, d, a, b, m[6], 15, 0xA3014314u);
        VQMD5_I(b, c, d, a, m[13], 21, 0x4E0811A1u);
        VQMD5_I(a, b, c, d, m[4], 6, 0xF7537E82u);
        VQMD5_I(d, a, b, c, m[11], 10, 0xBD3AF235u);
        VQMD5_I(c, d, a, b, m[2], 15, 0x2AD7D2BBu);
        VQMD5_I(b, c, d, a, m[9], 21, 0xEB86D391u);
        // clang-format on

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

extern "C" void vqmd5_init(vqmd5_ctx *ctx) {
    for (unsigned i = 0; i < 4; ++i) ctx->state[i] = vqmd5_init_state[i];
    ctx->count = 0;
}

extern "C" void vqmd5_update(vqmd5_ctx *ctx, const void *data, uint32_t length) {
    const unsigned char *in = (const unsigned char *)data;
    uint32_t used = (uint32_t)ctx->count & (RA_MD5_BLOCK - 1);
    ctx->count += length;
    // Complete a block begun by an earlier call.
    if (used > 0) {
        uint32_t take = RA_MD5_BLOCK - used;
        if (take > length) take = length;
        memcpy(ctx->block + used, in, take);
        in += take;
        length -= take;
        if (used + take < RA_MD5_BLOCK) return;
        vqmd5_blocks(ctx->state, ctx->block, 1);
    }
    // Whole blocks straight from the caller's data.
    uint32_t whole = length / RA_MD5_BLOCK;
    if (whole > 0) {
        vqmd5_blocks(ctx->state, in, whole);
        in += whole * RA_MD5_BLOCK;
        length -= whole * RA_MD5_BLOCK;
    }
    if (length > 0) memcpy(ctx->block, in, length);
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
