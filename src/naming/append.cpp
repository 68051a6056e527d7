// Bounded appends into the expander's output buffer. Everything that goes
// into a file name passes through vqra_putc, so the 199-character bound is
// enforced in one place: what does not fit is dropped, never wrapped.
#include "naming/naming.h"

// The nine printable characters Windows refuses in a file name.
static const char ra_unsafe_printable[] = "\"*/:<>?\\|";
// Printable ASCII: everything outside it (controls, DEL, every byte from
// 0x80 up, whatever code page the game used) is unsafe.
#define RA_PRINTABLE_FIRST 0x20u
#define RA_PRINTABLE_LAST 0x7Eu

extern "C" int vqra_char_ok(unsigned c) {
    if (c < RA_PRINTABLE_FIRST || c > RA_PRINTABLE_LAST) return 0;
    for (const char *u = ra_unsafe_printable; *u != '\0'; ++u) {
        if ((unsigned char)*u == c) return 0;
    }
    return 1;
}

extern "C" void vqra_putc(char *buf, uint32_t *fill, char c) {
    if (*fill + 1 > RA_NAME_MAX) return;
    buf[*fill] = c;
    *fill += 1;
}

extern "C" void vqra_puts(char *buf, uint32_t *fill, const char *s) {
    for (; *s != '\0'; ++s) vqra_putc(buf, fill, *s);
}

// Ten digits hold any 32-bit value.
#define RA_U32_DIGITS 10

extern "C" void vqra_putu(char *buf, uint32_t *fill, uint32_t v) {
    char digits[RA_U32_DIGITS];
    int n = 0;
    // Least significant first into scratch, then appended in reverse; the
    // do-while gives 0 its single digit.
    do {
        digits[n++] = (char)('0' + v % 10u);
        v /= 10u;
    } while (v != 0);
    while (n > 0) vqra_putc(buf, fill, digits[--n]);
}

extern "C" void vqra_put2(char *buf, uint32_t *fill, uint32_t v) {
    vqra_putc(buf, fill, (char)('0' + (v / 10u) % 10u));
    vqra_putc(buf, fill, (char)('0' + v % 10u));
}

extern "C" void vqra_put_safe(char *buf, uint32_t *fill, const char *s) {
    if (s == nullptr) return;
    for (; *s != '\0'; ++s) {
        vqra_putc(buf, fill, vqra_char_ok((unsigned char)*s) ? *s : '_');
    }
}
