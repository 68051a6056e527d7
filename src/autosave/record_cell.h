// One cell of text in a record line: the record writes every text of the
// race context through it, the companion writes a record back through it
// and takes the formula mark off by its rule. Inline, so that the save path
// compiles as it did and the shipped DLL carries nothing the companion
// alone needs.
#pragma once

#include <stdint.h>

// What the record writes before a text so that a spreadsheet keeps it text.
#define RA_RECORD_TEXT_MARK '\''

// ASCII control bytes, which would break a line or a reader; bytes from
// 0x80 up are the game's own letters and are kept.
static inline int ra_record_is_control(unsigned char c) { return c < 0x20u || c == 0x7Fu; }

// A spreadsheet runs a cell that starts with one of these as a formula
// (and racer names come from other players), so such a text is written
// after RA_RECORD_TEXT_MARK, which makes the cell text. Tab and CR are
// control bytes and become '_' before this test, so no written text starts
// with them; they stay listed so that the rule holds on its own. A text
// that starts with the mark gets one more, so that a reader taking the
// mark off again, where such a byte follows it, gives back every text as
// it was.
static inline int ra_record_formula_like(unsigned char c) {
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r' ||
           c == RA_RECORD_TEXT_MARK;
}

// Appends text as RFC 4180 has it: quoted when it holds a comma or a
// double quote or carries the formula mark, quotes doubled. CR and LF,
// which would need quotes too, are control bytes and become '_' with the
// others first. A byte is stored only while *fill is below size. The race
// context's texts end at their terminator (end is null); the companion's
// values may hold any byte and end at end. The fill is kept in a local
// while the bytes go in: a store through buf could otherwise be taken to
// change *fill, which made every byte reload it.
static inline void ra_record_put_cell(char *buf, uint32_t size, uint32_t *fill, const char *text,
                                      const char *end) {
    const unsigned char first = end == nullptr || text != end ? (unsigned char)text[0] : 0u;
    const int mark = first != '\0' && !ra_record_is_control(first) && ra_record_formula_like(first);
    int quoted = mark;
    for (const char *p = text; (end != nullptr ? p != end : *p != '\0') && !quoted; ++p) {
        if (*p == ',' || *p == '"') quoted = 1;
    }
    uint32_t n = *fill;
    if (quoted && n < size) buf[n++] = '"';
    if (mark && n < size) buf[n++] = RA_RECORD_TEXT_MARK;
    for (; end != nullptr ? text != end : *text != '\0'; ++text) {
        unsigned char c = (unsigned char)*text;
        if (c == '"' && n < size) buf[n++] = '"';
        if (n < size) buf[n++] = ra_record_is_control(c) ? '_' : (char)c;
    }
    if (quoted && n < size) buf[n++] = '"';
    *fill = n;
}
