// The fake game image: memory at the game's fixed base 0x400000, large
// enough for every game address the plug-in reads or patches. On Linux it is
// mapped (game_image.cpp); a Windows program holds it in its own image
// (win/game_image_win.cpp). The #defines are shared with assembler sources.
#pragma once

#ifdef __ASSEMBLER__
#define SIM_U32(x) x
#else
#define SIM_U32(x) x##u
#endif

// The game image's base and the extent of our stand-in for it. The highest
// game location read is game_timer_start at 0x853B64; the rest up to
// SIM_GAME_END is room for the strings and records the builder places.
#define SIM_GAME_BASE SIM_U32(0x400000)
#define SIM_GAME_END SIM_U32(0x900000)
#define SIM_GAME_SIZE (SIM_GAME_END - SIM_GAME_BASE)
// A Windows program whose image holds the game's memory loads at
// SIM_GAME_BASE, and its headers take the image's first page: the game's
// memory there starts above them. No game location lies in that page.
#define SIM_GAME_PE_HEADERS SIM_U32(0x1000)

#ifndef __ASSEMBLER__

#include <stdint.h>
#include <string.h>

// Maps the image, zero-filled, on the first call; later calls clear it to
// zero again. At SIM_GAME_BASE (read, write and execute) where the game's
// code runs; a program that only reads the game's data, as the plug-in
// does, may hold it anywhere (win/game_block_win.cpp here). Aborts with a
// message when it cannot.
void sim_game_map(void);

// Where game address SIM_GAME_BASE lies in this process: SIM_GAME_BASE
// itself where the image is at its own base.
extern uintptr_t sim_game_origin;

// Address in this process of game address a.
inline unsigned char *sim_game_ptr(uint32_t a) {
    return (unsigned char *)(sim_game_origin + (a - SIM_GAME_BASE));
}

inline void sim_game_put32(uint32_t a, uint32_t value) { memcpy(sim_game_ptr(a), &value, 4); }

inline uint32_t sim_game_get32(uint32_t a) {
    uint32_t v;
    memcpy(&v, sim_game_ptr(a), 4);
    return v;
}

inline void sim_game_put_bytes(uint32_t a, const void *bytes, uint32_t length) {
    memcpy(sim_game_ptr(a), bytes, length);
}

#endif  // __ASSEMBLER__
