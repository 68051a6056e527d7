// SHA-256 as FIPS 180-4 defines it.
#include "library/replays/sha256.h"

#include <string.h>

namespace {

// The first 32 bits of the fractional parts of the cube roots of the first
// 64 primes.
const uint32_t ra_sha256_k[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// The first 32 bits of the fractional parts of the square roots of the
// first 8 primes.
const uint32_t ra_sha256_start[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// A block is 64 bytes; the last 8 of the padded message hold its length in bits.
const size_t ra_block_bytes = 64;
const size_t ra_length_bytes = 8;

uint32_t ra_rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

}  // namespace

ra_sha256::ra_sha256() { memcpy(state_, ra_sha256_start, sizeof state_); }

void ra_sha256::block(const uint8_t *p) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
        w[i] = (uint32_t)p[4 * i] << 24 | (uint32_t)p[4 * i + 1] << 16 |
               (uint32_t)p[4 * i + 2] << 8 | (uint32_t)p[4 * i + 3];
    }
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = ra_rotr(w[i - 15], 7) ^ ra_rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = ra_rotr(w[i - 2], 17) ^ ra_rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t s1 = ra_rotr(e, 6) ^ ra_rotr(e, 11) ^ ra_rotr(e, 25);
        uint32_t ch = (e & f) ^ (~e & g);
        uint32_t t1 = h + s1 + ch + ra_sha256_k[i] + w[i];
        uint32_t s0 = ra_rotr(a, 2) ^ ra_rotr(a, 13) ^ ra_rotr(a, 22);
        uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
        uint32_t t2 = s0 + maj;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
    state_[4] += e;
    state_[5] += f;
    state_[6] += g;
    state_[7] += h;
}

void ra_sha256::add(const void *data, size_t size) {
    const uint8_t *p = (const uint8_t *)data;
    total_ += size;
    if (fill_ > 0) {
        size_t take = ra_block_bytes - fill_ < size ? ra_block_bytes - fill_ : size;
        memcpy(pending_ + fill_, p, take);
        fill_ += take;
        p += take;
        size -= take;
        if (fill_ < ra_block_bytes) return;
        block(pending_);
        fill_ = 0;
    }
    for (; size >= ra_block_bytes; p += ra_block_bytes, size -= ra_block_bytes) block(p);
    memcpy(pending_, p, size);
    fill_ = size;
}

std::string ra_sha256::digest() {
    const uint64_t bits = total_ * 8;
    uint8_t pad[ra_block_bytes + ra_length_bytes] = {0x80};
    // Padded to 8 bytes short of a whole block, then the length.
    size_t zeros = (ra_block_bytes + ra_block_bytes - ra_length_bytes - fill_ - 1) % ra_block_bytes;
    add(pad, 1 + zeros);
    uint8_t length[ra_length_bytes];
    for (size_t i = 0; i < ra_length_bytes; ++i) length[i] = (uint8_t)(bits >> (56 - 8 * i));
    add(length, sizeof length);
    std::string out(ra_sha256_bytes, '\0');
    for (size_t i = 0; i < 8; ++i) {
        for (size_t j = 0; j < 4; ++j) out[4 * i + j] = (char)(state_[i] >> (24 - 8 * j));
    }
    return out;
}

std::string ra_hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string ra_sha256_hex(const std::string &bytes) {
    ra_sha256 hash;
    hash.add(bytes.data(), bytes.size());
    return ra_hex(hash.digest());
}
