// Installs the game's code into the fake image and calls it (i386 only: the
// code and the trampoline live in game_code.S).
#include "game_code.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "game_image.h"

// One blob of game code: its game address and where game_code.S keeps it.
struct sim_game_blob {
    uint32_t address;
    uint32_t start;
    uint32_t end;
};

extern "C" {
extern const sim_game_blob sim_game_blobs[];
extern const uint32_t sim_game_blob_count;
void sim_game_call_raw(sim_call *call);
}

void sim_game_install_code(void) {
    for (uint32_t i = 0; i < sim_game_blob_count; i++) {
        const sim_game_blob &b = sim_game_blobs[i];
        // A blob that ran into its neighbour would silently corrupt it.
        for (uint32_t j = 0; j < sim_game_blob_count; j++) {
            const sim_game_blob &o = sim_game_blobs[j];
            if (j != i && b.address < o.address && b.address + (b.end - b.start) > o.address) {
                fprintf(stderr, "sim_game_install_code: code at 0x%X runs into 0x%X\n", b.address,
                        o.address);
                abort();
            }
        }
        sim_game_put_bytes(b.address, (const void *)(uintptr_t)b.start, b.end - b.start);
    }
    sim_game_data *data = sim_game_code_data();
    memset(data, 0, sizeof *data);
    data->save_result = SIM_GAME_SAVE_RESULT_DEFAULT;
}

sim_regs sim_game_regs(void) {
    sim_regs r;
    memset(&r, 0, sizeof r);
    r.eflags = 0x202;  // IF and the always-set bit 1
    r.fpu_cw = SIM_FPU_CW_INIT;
    r.mxcsr = SIM_MXCSR_INIT;
    return r;
}

void sim_game_call(sim_call *call) {
    if (call->nargs > SIM_CALL_MAX_ARGS || call->esp_misalign > 15) {
        fprintf(stderr, "sim_game_call: %u arguments, misalignment %u\n", call->nargs,
                call->esp_misalign);
        abort();
    }
    sim_game_call_raw(call);
    // Every tag other than 3 (empty) is a value on the x87 stack.
    uint32_t count = 0;
    for (int reg = 0; reg < 8; reg++) {
        if (((call->out.fpu_tw >> (2 * reg)) & 3) != 3) count++;
    }
    call->out.st_count = count;
}

static sim_call sim_game_new_call(uint32_t address, const sim_regs *in, uint32_t esp_misalign) {
    sim_call call;
    memset(&call, 0, sizeof call);
    call.address = address;
    call.esp_misalign = esp_misalign;
    call.in = in ? *in : sim_game_regs();
    return call;
}

void sim_game_call_regs(uint32_t address, const sim_regs *in, sim_regs *out,
                        uint32_t esp_misalign) {
    sim_call call = sim_game_new_call(address, in, esp_misalign);
    sim_game_call(&call);
    if (out) *out = call.out;
}

void sim_game_set_save_callback(void (*callback)(void)) {
    sim_game_code_data()->save_callback = (uint32_t)(uintptr_t)callback;
}

uint32_t sim_game_save_replay(int pause_site) {
    sim_regs out;
    sim_game_call_regs(pause_site ? SIM_GAME_PAUSE_FN : SIM_GAME_FINISH_FN, nullptr, &out, 0);
    return out.eax;
}

uint32_t sim_game_race_setup(uint32_t arg) {
    sim_call call = sim_game_new_call(SIM_GAME_RACE_START_FN, nullptr, 0);
    call.nargs = 1;
    call.args[0] = arg;
    sim_game_call(&call);
    return call.out.eax;
}

uint32_t sim_game_career_accessor(uint32_t record_address) {
    sim_regs in = sim_game_regs();
    in.eax = record_address;
    sim_regs out;
    sim_game_call_regs(SIM_GAME_CAREER_ACCESSOR, &in, &out, 0);
    return out.eax;
}

uint32_t sim_game_put_career_record(uint32_t id, uint32_t type) {
    sim_game_data *data = sim_game_code_data();
    data->career_record[0] = id;
    data->career_record[1] = type;
    return SIM_GAME_CAREER_RECORD;
}
