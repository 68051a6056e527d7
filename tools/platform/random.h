// Random bytes from the system's own generator for secrets: one source per
// platform, chosen by the build (random_win.cpp, random_posix.cpp).
#pragma once

#include <stddef.h>

// Fills bytes[0..count); false when the system gives none.
bool ra_random_bytes(unsigned char *bytes, size_t count);
