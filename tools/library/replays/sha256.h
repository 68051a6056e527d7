// SHA-256, for the hashes a share and a season card state for each replay:
// a friend's copy of a race is the one the sharer saved when its bytes hash
// the same. Small and ours, so the shipped program needs no crypto library.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// The digest's size in bytes.
const size_t ra_sha256_bytes = 32;

// A hash fed in pieces: the same digest as of all the pieces at once.
class ra_sha256 {
public:
    ra_sha256();
    void add(const void *data, size_t size);
    // The 32-byte digest; the hash is spent afterwards.
    std::string digest();

private:
    void block(const uint8_t *p);
    uint32_t state_[8];
    uint8_t pending_[64];  // bytes waiting for a whole block
    size_t fill_ = 0;      // how many of them
    uint64_t total_ = 0;   // bytes fed so far
};

// The digest of the bytes as 64 lower-case hex digits.
std::string ra_sha256_hex(const std::string &bytes);

// Hex digits of the bytes, lower case.
std::string ra_hex(const std::string &bytes);
