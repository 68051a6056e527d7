#include "game_image.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

uintptr_t sim_game_origin = SIM_GAME_BASE;

static bool sim_game_mapped = false;

void sim_game_map(void) {
    if (sim_game_mapped) {
        memset(sim_game_ptr(SIM_GAME_BASE), 0, SIM_GAME_SIZE);
        return;
    }
    void *want = sim_game_ptr(SIM_GAME_BASE);
    void *got = mmap(want, SIM_GAME_SIZE, PROT_READ | PROT_WRITE | PROT_EXEC,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (got != want) {
        fprintf(stderr, "sim_game_map: cannot map the game image at 0x%X\n", SIM_GAME_BASE);
        abort();
    }
    sim_game_mapped = true;
}
