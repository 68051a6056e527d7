// The game's own x86 code in the fake image (i386 build only): the functions
// that hold the four patched sites, the stock functions behind them, and a
// trampoline that calls game code with every register, flag and
// floating-point setting chosen by the caller and captured afterwards.
//
// The #defines up to __ASSEMBLER__ are shared with game_code.S, so they
// carry no C suffixes; the rest is C++ only.
#pragma once

// Game code, at the addresses the plug-in's patch table names.
#define SIM_GAME_SAVE_REPLAY 0x513070      // stock replay-save function
#define SIM_GAME_RACE_SETUP 0x4C6250       // stock race-setup function (cdecl, one argument)
#define SIM_GAME_CAREER_ACCESSOR 0x453090  // career accessor: EAX = record, returns word 4
#define SIM_GAME_FINISH_SITE 0x5133BC      // E8 AF FC FF FF: CALL 0x513070 (end of a race)
#define SIM_GAME_PAUSE_SITE 0x495852       // E8 19 D8 07 00: CALL 0x513070 (second save)
#define SIM_GAME_RACE_START_SITE 0x4F7829  // E8 22 EA FC FF: CALL 0x4C6250
// The game functions that hold the sites. The two save sites are whole
// functions (CALL; RET), taking their inputs in registers. The race start
// passes its one stack argument on: PUSH [ESP+4]; CALL; ADD ESP,4; RET.
#define SIM_GAME_FINISH_FN SIM_GAME_FINISH_SITE
#define SIM_GAME_PAUSE_FN SIM_GAME_PAUSE_SITE
#define SIM_GAME_RACE_START_FN 0x4F7825
// Return address the setup function finds when the race start calls it.
#define SIM_GAME_RACE_START_RET (SIM_GAME_RACE_START_SITE + 5)

// The stock setup function returns its argument plus this.
#define SIM_GAME_SETUP_RESULT_OFFSET 0x1000
// What the stock save function returns until told otherwise.
#define SIM_GAME_SAVE_RESULT_DEFAULT 0x5AFE0001
// Values the stock save function leaves in ECX, EDX, EBX, ESI, EDI and EBP
// in its dirty mode (the low byte tells the register apart).
#define SIM_GAME_DIRTY_VALUE 0xD1D1D100

// Data of the game code (struct sim_game_data below), above the area the
// game memory builder uses for its strings and records.
#define SIM_GAME_CODE_DATA 0x880000
#define SIM_GAME_SAVE_CALLBACK (SIM_GAME_CODE_DATA + 0)
#define SIM_GAME_SAVE_RESULT (SIM_GAME_CODE_DATA + 4)
#define SIM_GAME_SAVE_DIRTY (SIM_GAME_CODE_DATA + 8)
#define SIM_GAME_SAVE_CALLS (SIM_GAME_CODE_DATA + 12)
#define SIM_GAME_SETUP_CALLS (SIM_GAME_CODE_DATA + 16)
#define SIM_GAME_CAREER_CALLS (SIM_GAME_CODE_DATA + 20)
#define SIM_GAME_SAVE_SEEN (SIM_GAME_CODE_DATA + 32)
#define SIM_GAME_SETUP_SEEN (SIM_GAME_CODE_DATA + 76)
#define SIM_GAME_CAREER_RECORD (SIM_GAME_CODE_DATA + 120)
// Offsets in struct sim_game_seen.
#define SIM_SEEN_EAX 0
#define SIM_SEEN_ECX 4
#define SIM_SEEN_EDX 8
#define SIM_SEEN_EBX 12
#define SIM_SEEN_ESI 16
#define SIM_SEEN_EDI 20
#define SIM_SEEN_EBP 24
#define SIM_SEEN_EFLAGS 28
#define SIM_SEEN_ESP 32
#define SIM_SEEN_RET 36
#define SIM_SEEN_ARG 40

// Offsets in struct sim_regs and struct sim_call, for the trampoline.
#define SIM_REGS_EAX 0
#define SIM_REGS_ECX 4
#define SIM_REGS_EDX 8
#define SIM_REGS_EBX 12
#define SIM_REGS_ESI 16
#define SIM_REGS_EDI 20
#define SIM_REGS_EBP 24
#define SIM_REGS_EFLAGS 28
#define SIM_REGS_FPU_CW 32
#define SIM_REGS_FPU_SW 36
#define SIM_REGS_FPU_TW 40
#define SIM_REGS_MXCSR 44
#define SIM_REGS_XMM0 48
#define SIM_REGS_ST0 64
#define SIM_REGS_ST_COUNT 72
#define SIM_REGS_SIZE 80
#define SIM_CALL_ADDRESS 0
#define SIM_CALL_MISALIGN 4
#define SIM_CALL_NARGS 8
#define SIM_CALL_ARGS 12
#define SIM_CALL_IN 32
#define SIM_CALL_OUT 112
#define SIM_CALL_ESP_AT_CALL 192
#define SIM_CALL_ESP_AFTER 196
#define SIM_CALL_STACK_BELOW 200
#define SIM_CALL_MAX_ARGS 4
#define SIM_CALL_STACK_BELOW_WORDS 16
// Fills the stack below the return address slot before a call.
#define SIM_STACK_CANARY 0xA5A5A5A5

#ifndef __ASSEMBLER__

#include <stddef.h>
#include <stdint.h>

// EFLAGS bits a program sets and the stubs must keep: the status flags
// CF PF AF ZF SF OF, and the direction flag.
#define SIM_EFLAGS_STATUS 0x08D5u
#define SIM_EFLAGS_DF 0x0400u
#define SIM_EFLAGS_USER (SIM_EFLAGS_STATUS | SIM_EFLAGS_DF)
// x87 control word after FNINIT: exceptions masked, 64-bit precision, nearest.
#define SIM_FPU_CW_INIT 0x037Fu
// x87 tag word of an empty register stack.
#define SIM_FPU_TW_EMPTY 0xFFFFu
// MXCSR at process start: exceptions masked, round to nearest.
#define SIM_MXCSR_INIT 0x1F80u

// What the game's stock functions saw on entry, kept in the image.
struct sim_game_seen {
    uint32_t eax, ecx, edx, ebx, esi, edi, ebp;  // registers at entry
    uint32_t eflags;  // stock save: only DF is the caller's (its SUB sets the rest)
    uint32_t esp;     // ESP at entry (pointing at the return address)
    uint32_t ret;     // return address
    uint32_t arg;     // first stack argument
};

// The game code's data at SIM_GAME_CODE_DATA.
struct sim_game_data {
    uint32_t save_callback;  // cdecl void(void) the stock save calls, or 0
    uint32_t save_result;    // what the stock save returns in EAX
    uint32_t save_dirty;     // non-zero: stock save returns with ECX..EBP changed, SF and DF set
    uint32_t save_calls;     // runs of the stock save function
    uint32_t setup_calls;    // runs of the stock setup function
    uint32_t career_calls;   // runs of the accessor's own code
    uint32_t reserved[2];
    sim_game_seen save_seen;    // stock save, latest run
    sim_game_seen setup_seen;   // stock setup, latest run
    uint32_t career_record[2];  // a career record: word 0 id, word 4 type
};
static_assert(offsetof(sim_game_data, save_seen) == SIM_GAME_SAVE_SEEN - SIM_GAME_CODE_DATA,
              "game data layout");
static_assert(offsetof(sim_game_data, setup_seen) == SIM_GAME_SETUP_SEEN - SIM_GAME_CODE_DATA,
              "game data layout");
static_assert(offsetof(sim_game_data, career_record) == SIM_GAME_CAREER_RECORD - SIM_GAME_CODE_DATA,
              "game data layout");
static_assert(offsetof(sim_game_seen, arg) == SIM_SEEN_ARG, "seen layout");

// Processor state handed to game code and found after it returns.
struct sim_regs {
    uint32_t eax, ecx, edx, ebx, esi, edi, ebp;
    uint32_t eflags;    // in: loaded with POPFD (IF, IOPL and the like are not ours to set)
    uint32_t fpu_cw;    // x87 control word
    uint32_t fpu_sw;    // out only: x87 status word
    uint32_t fpu_tw;    // out only: x87 tag word (SIM_FPU_TW_EMPTY: empty stack)
    uint32_t mxcsr;     // SSE control and status
    uint32_t xmm0[4];   // XMM0
    double st0;         // in: pushed when st_count is 1 (before fpu_cw takes effect);
                        // out: ST0 when st_count >= 1
    uint32_t st_count;  // in: 0 or 1 values on the x87 stack; out: values found there
    uint32_t reserved;
};
static_assert(offsetof(sim_regs, xmm0) == SIM_REGS_XMM0, "regs layout");
static_assert(offsetof(sim_regs, st0) == SIM_REGS_ST0, "regs layout");
static_assert(offsetof(sim_regs, st_count) == SIM_REGS_ST_COUNT, "regs layout");
static_assert(sizeof(sim_regs) == SIM_REGS_SIZE, "regs layout");

// One call of game code. The trampoline lowers ESP to 16n - esp_misalign,
// with the arguments at ESP (first at the lowest address), fills the 64
// bytes below the return address slot with SIM_STACK_CANARY, loads `in`,
// CALLs `address`, and captures `out` before anything else runs. The
// caller's own x87, SSE and flag state is put back afterwards.
struct sim_call {
    uint32_t address;       // game address to CALL
    uint32_t esp_misalign;  // 0..15
    uint32_t nargs;         // 0..SIM_CALL_MAX_ARGS stack arguments
    uint32_t args[SIM_CALL_MAX_ARGS];
    uint32_t reserved;
    sim_regs in;
    sim_regs out;
    uint32_t esp_at_call;  // ESP as the CALL executed (before pushing its return address)
    uint32_t esp_after;    // ESP when control came back
    uint32_t stack_below[SIM_CALL_STACK_BELOW_WORDS];  // esp_at_call-68 .. esp_at_call-4, after
};
static_assert(offsetof(sim_call, in) == SIM_CALL_IN, "call layout");
static_assert(offsetof(sim_call, out) == SIM_CALL_OUT, "call layout");
static_assert(offsetof(sim_call, esp_at_call) == SIM_CALL_ESP_AT_CALL, "call layout");
static_assert(offsetof(sim_call, stack_below) == SIM_CALL_STACK_BELOW, "call layout");

// Copies the game code into the mapped image (sim_game_map first) and resets
// its data: no callback, result SIM_GAME_SAVE_RESULT_DEFAULT, clean mode.
void sim_game_install_code(void);

// The game code's data in the image.
inline sim_game_data *sim_game_code_data(void) {
    return (sim_game_data *)(uintptr_t)SIM_GAME_CODE_DATA;
}

// A plain start state: general registers 0, flags 0x202 (only IF), x87 and
// SSE as after FNINIT and process start, empty x87 stack.
sim_regs sim_game_regs(void);

// Calls game code as described at sim_call. Calls may nest (game code may
// reach C code that calls game code again).
void sim_game_call(sim_call *call);

// Calls address with in (null: sim_game_regs()) and the stack lowered by
// esp_misalign; out (may be null) receives the state afterwards.
void sim_game_call_regs(uint32_t address, const sim_regs *in, sim_regs *out, uint32_t esp_misalign);

// Conveniences for the simulator, each with a plain start state.
// Sets the function the stock save calls while it runs (null: none), for
// writing the game's replay file from inside the save.
void sim_game_set_save_callback(void (*callback)(void));
// Runs the game function holding the finish site (pause_site 0) or the pause
// site (non-zero); returns EAX as the game receives it.
uint32_t sim_game_save_replay(int pause_site);
// Runs the race start, which calls the setup function with arg; returns EAX.
uint32_t sim_game_race_setup(uint32_t arg);
// Calls the career accessor with EAX = record_address; returns EAX.
uint32_t sim_game_career_accessor(uint32_t record_address);
// Writes a career record (word 0 id, word 4 type) into the image and
// returns its address.
uint32_t sim_game_put_career_record(uint32_t id, uint32_t type);

#endif  // __ASSEMBLER__
