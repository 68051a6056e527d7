#include <stdio.h>

#include "platform/random.h"

bool ra_random_bytes(unsigned char *bytes, size_t count) {
    FILE *urandom = fopen("/dev/urandom", "rb");
    if (urandom == nullptr) return false;
    bool got = fread(bytes, 1, count, urandom) == count;
    fclose(urandom);
    return got;
}
