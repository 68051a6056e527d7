// The race context's times, hundredths of a second, as text: the record's
// lap and time columns and the %best_lap_carN% and %total_time_carN%
// tokens write them alike, and the companion writes them back so.
#pragma once

#include <stdint.h>

// The longest text of a time: "42949672.95", the most a 32-bit count holds.
#define RA_HUNDREDTHS_TEXT_MAX 11u
#define RA_HUNDREDTHS_PER_SECOND 100u

// One character at *fill, only while *fill is below size.
static inline void ra_put_bounded(char *buf, uint32_t size, uint32_t *fill, char c) {
    if (*fill >= size) return;
    buf[*fill] = c;
    *fill += 1;
}

// Appends hundredths as whole seconds, '.' and two digits: 8345 as "83.45",
// 12 as "0.12", no minutes, so that a spreadsheet takes it for a number.
// What does not fit below size is dropped, as every bounded append of ours
// drops it. The seconds go out from the largest power of ten they reach,
// with no scratch digits on the stack.
// A copy of its own in each caller's file, called with its words in
// registers, keeps the save path's frames as they were: an exported
// function takes its four words on the stack, which grew the record
// line's frame, and inlined it grew the token writer's.
__attribute__((noinline)) static inline void ra_put_hundredths(char *buf, uint32_t size,
                                                               uint32_t *fill,
                                                               uint32_t hundredths) {
    const uint32_t seconds = hundredths / RA_HUNDREDTHS_PER_SECOND;
    uint32_t place = 1;
    while (seconds / place >= 10u) place *= 10u;
    for (; place != 0; place /= 10u) {
        ra_put_bounded(buf, size, fill, (char)('0' + seconds / place % 10u));
    }
    ra_put_bounded(buf, size, fill, '.');
    ra_put_bounded(buf, size, fill, (char)('0' + hundredths / 10u % 10u));
    ra_put_bounded(buf, size, fill, (char)('0' + hundredths % 10u));
}
