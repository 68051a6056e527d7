// The game's memory stand-in on Windows: the same interface as
// sim/game/game_image.cpp. Nothing guarantees that a range of addresses is
// still free when a program's main runs (the loader places the stack, heaps
// and mapped files first), so the range lives inside the check tool's own
// image instead: the program loads at the game's base, without address
// randomisation, and this zero-filled array spans every game location the
// tool writes, from the track folder table up to the end of the builder's
// data area. Below it lie the program's own code and data, which the game
// locations never reach. No game code runs here.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "game_image.h"
#include "snapshot/game_map.h"

// The lowest game location the tool writes.
static const uint32_t sim_game_first_used = game_track_folder_table;

// As large as the whole image: wherever the linker puts it above the base,
// it reaches SIM_GAME_END; the check below makes sure it starts low enough.
static unsigned char sim_game_space[SIM_GAME_SIZE];

void sim_game_map(void) {
    uintptr_t begin = (uintptr_t)sim_game_space;
    uintptr_t end = begin + sizeof sim_game_space;
    if (begin > sim_game_first_used || end < SIM_GAME_END) {
        fprintf(stderr, "sim_game_map: the game's memory 0x%X..0x%X is not inside the program\n",
                sim_game_first_used, SIM_GAME_END);
        abort();
    }
    memset(sim_game_ptr(sim_game_first_used), 0, SIM_GAME_END - sim_game_first_used);
}
