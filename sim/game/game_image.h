// The fake game image: memory mapped at the game's fixed base 0x400000, large
// enough for every game address the plug-in reads or patches.
#pragma once

#include <stdint.h>
#include <string.h>

// The game image's base and the extent of our stand-in for it. The highest
// game location read is game_timer_start at 0x853B64; the rest up to
// SIM_GAME_END is room for the strings and records the builder places.
#define SIM_GAME_BASE 0x400000u
#define SIM_GAME_END 0x900000u
#define SIM_GAME_SIZE (SIM_GAME_END - SIM_GAME_BASE)

// Maps the image (read, write and execute) at SIM_GAME_BASE, zero-filled, on
// the first call; later calls clear it to zero again. Aborts with a message
// when the address range is taken.
void sim_game_map(void);

// Address in this process of game address a (the image is at its own base).
inline unsigned char *sim_game_ptr(uint32_t a) { return (unsigned char *)(uintptr_t)a; }

inline void sim_game_put32(uint32_t a, uint32_t value) { memcpy(sim_game_ptr(a), &value, 4); }

inline uint32_t sim_game_get32(uint32_t a) {
    uint32_t v;
    memcpy(&v, sim_game_ptr(a), 4);
    return v;
}

inline void sim_game_put_bytes(uint32_t a, const void *bytes, uint32_t length) {
    memcpy(sim_game_ptr(a), bytes, length);
}
