// The system's preferred generator, BCryptGenRandom (bcrypt.dll, in every
// Windows since Vista).
#include <windows.h>
#include <bcrypt.h>

#include "platform/random.h"

bool ra_random_bytes(unsigned char *bytes, size_t count) {
    return BCryptGenRandom(nullptr, bytes, (ULONG)count, BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}
