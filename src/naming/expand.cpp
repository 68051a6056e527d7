// PLACEHOLDER until template expansion lands.
#include "naming/naming.h"

extern "C" void vqra_putc(char *, uint32_t *, char) {}
extern "C" void vqra_puts(char *, uint32_t *, const char *) {}
extern "C" void vqra_putu(char *, uint32_t *, uint32_t) {}
extern "C" void vqra_put2(char *, uint32_t *, uint32_t) {}
extern "C" void vqra_put_safe(char *, uint32_t *, const char *) {}
extern "C" int vqra_char_ok(unsigned) { return 0; }
extern "C" char *vqra_expand(const char *, const ra_ctx *, char *out) {
    out[0] = '\0';
    return out;
}
extern "C" int ra_build_dst(char *, const char *) { return 0; }
