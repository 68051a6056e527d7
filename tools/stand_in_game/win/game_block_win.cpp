// The game's memory for a Windows program that only reads the game's data
// as the plug-in does, never runs the game's code: a block of its own,
// wherever the system puts it, so that the program itself can load at an
// address of the system's choosing. The plug-in's code reads the block
// through its own translation of the game's base (ra_game), and the race's
// strings and records lie where that translation reaches (game_memory.cpp).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "game_image.h"

uintptr_t sim_game_origin = 0;

void sim_game_map(void) {
    if (sim_game_origin == 0) {
        // Readable and writable, never executable: no game code runs here.
        void *block =
            VirtualAlloc(nullptr, SIM_GAME_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (block == nullptr) {
            fprintf(stderr, "sim_game_map: no memory for the game's image (error %lu)\n",
                    (unsigned long)GetLastError());
            abort();
        }
        sim_game_origin = (uintptr_t)block;
        return;  // VirtualAlloc gives zeroed pages
    }
    memset(sim_game_ptr(SIM_GAME_BASE), 0, SIM_GAME_SIZE);
}
