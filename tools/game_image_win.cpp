// The game's memory stand-in on Windows: the same interface as
// sim/game/game_image.cpp, with the image reserved by VirtualAlloc at the
// game's base. The check tool is linked at another image base so that this
// address range is free; no game code runs here, so the memory is not
// executable.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "game_image.h"

static bool sim_game_mapped = false;

void sim_game_map(void) {
    if (sim_game_mapped) {
        memset(sim_game_ptr(SIM_GAME_BASE), 0, SIM_GAME_SIZE);
        return;
    }
    void *want = sim_game_ptr(SIM_GAME_BASE);
    void *got = VirtualAlloc(want, SIM_GAME_SIZE, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (got != want) {
        fprintf(stderr, "sim_game_map: cannot map the game image at 0x%X (error %lu)\n",
                SIM_GAME_BASE, (unsigned long)GetLastError());
        abort();
    }
    sim_game_mapped = true;
}

void sim_game_put32(uint32_t a, uint32_t value) { memcpy(sim_game_ptr(a), &value, 4); }

uint32_t sim_game_get32(uint32_t a) {
    uint32_t v;
    memcpy(&v, sim_game_ptr(a), 4);
    return v;
}

void sim_game_put_bytes(uint32_t a, const void *bytes, uint32_t length) {
    memcpy(sim_game_ptr(a), bytes, length);
}
