// The entry stubs through which the patched game reaches the plug-in, and the
// hook state they share with the rest of the plug-in.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Local time as Windows keeps it (the layout of SYSTEMTIME).
struct ra_systemtime {
    uint16_t year, month, day_of_week, day, hour, minute, second, milliseconds;
};
static_assert(offsetof(ra_systemtime, year) == 0, "SYSTEMTIME layout");
static_assert(offsetof(ra_systemtime, month) == 2, "SYSTEMTIME layout");
static_assert(offsetof(ra_systemtime, day_of_week) == 4, "SYSTEMTIME layout");
static_assert(offsetof(ra_systemtime, day) == 6, "SYSTEMTIME layout");
static_assert(offsetof(ra_systemtime, hour) == 8, "SYSTEMTIME layout");
static_assert(offsetof(ra_systemtime, minute) == 10, "SYSTEMTIME layout");
static_assert(offsetof(ra_systemtime, second) == 12, "SYSTEMTIME layout");
static_assert(offsetof(ra_systemtime, milliseconds) == 14, "SYSTEMTIME layout");
static_assert(sizeof(ra_systemtime) == 16, "SYSTEMTIME layout");

extern "C" {

// Forward addresses, set by VQ_Apply before any patch is written.
extern uint32_t vq_ra_save_stock;   // the game's stock replay-save function
extern uint32_t vq_ra_setup_stock;  // the game's stock race-setup function
// Words of the record the game's career accessor last read.
extern int32_t vq_ra_circ_type;  // word at offset 4; -1 until the first call
extern uint32_t vq_ra_circ_id;   // word at offset 0; 0 until the first call
// Race start: set at every race setup; the flag, once 1, stays 1.
extern uint32_t ra_start_valid;
extern ra_systemtime ra_start_time;

// Entry stubs, entered from the game's code (not callable from C).
void vq_ra_save_wrap(void);   // CALL sites of the stock replay-save function
void vq_ra_start_wrap(void);  // CALL site of the stock race-setup function
void vq_ra_circ_hook(void);   // JMP over the career accessor's entry

// Handler of the start stub: records the local time of the race start.
void vq_ra_mark_start(void);

}  // extern "C"
