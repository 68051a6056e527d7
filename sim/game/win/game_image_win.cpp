// The game's memory on Windows: the same interface as sim/game/game_image.cpp.
// Nothing guarantees that a range of addresses is still free when a
// program's main runs (the loader places the stack, heaps and mapped files
// first), so the range is part of the program's own image instead: the
// program loads at the game's base without address randomisation, and its
// first section, .game (game_space.S), spans the game's memory above the
// headers. The game's x86 code runs there, so the section is executable.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "game_image.h"

extern "C" {
extern unsigned char sim_game_space[];
extern unsigned char sim_game_space_end[];
}

uintptr_t sim_game_origin = SIM_GAME_BASE;

void sim_game_map(void) {
    uintptr_t begin = (uintptr_t)sim_game_space;
    uintptr_t end = (uintptr_t)sim_game_space_end;
    if (begin > SIM_GAME_BASE + SIM_GAME_PE_HEADERS || end < SIM_GAME_END) {
        fprintf(stderr,
                "sim_game_map: the game's memory 0x%X..0x%X is not inside the program "
                "(it has 0x%X..0x%X): link it with game_space.cmake\n",
                SIM_GAME_BASE + SIM_GAME_PE_HEADERS, SIM_GAME_END, (unsigned)begin, (unsigned)end);
        abort();
    }
    memset(sim_game_space, 0, SIM_GAME_END - begin);
}
