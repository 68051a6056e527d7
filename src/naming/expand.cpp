// Template expansion: literal text is copied, each %key% is replaced by a
// fact from the race context, and the result is made safe as a file name.
#include <string.h>

#include "naming/naming.h"
#include "naming/tokens.h"

// Copies the token name between open and close (exclusive), cut to what the
// scratch holds: only the first RA_TOKEN_BUF - 1 characters ever count.
static void ra_token_name(char *name, const char *open, const char *close) {
    uint32_t n = 0;
    while (open + n < close && n < RA_TOKEN_BUF - 1) {
        name[n] = open[n];
        ++n;
    }
    name[n] = '\0';
}

extern "C" char *vqra_expand(const char *tpl, const ra_ctx *ctx, char *out) {
    uint32_t fill = 0;
    const char *p = tpl;
    while (*p != '\0') {
        const char *close = *p == '%' ? strchr(p + 1, '%') : nullptr;
        if (close == nullptr) {
            // Ordinary text, or a '%' with no partner later on.
            vqra_putc(out, &fill, *p);
            ++p;
            continue;
        }
        char name[RA_TOKEN_BUF];
        ra_token_name(name, p + 1, close);
        if (!ra_put_token(out, &fill, name, ctx)) {
            // Written back as found (cut to the scratch), so a misspelt
            // token shows in the file name; the final pass filters it.
            vqra_putc(out, &fill, '%');
            vqra_puts(out, &fill, name);
            vqra_putc(out, &fill, '%');
        }
        // The closing '%' is consumed: it never opens another token.
        p = close + 1;
    }

    // Literal text and written-back tokens were appended unfiltered.
    for (uint32_t i = 0; i < fill; ++i) {
        if (!vqra_char_ok((unsigned char)out[i])) out[i] = '_';
    }
    // Trailing dots and spaces carry nothing and would only become "-" or
    // blanks before the extension; a '_' made by the filter stays.
    while (fill != 0 && (out[fill - 1] == '.' || out[fill - 1] == ' ')) --fill;
    out[fill] = '\0';
    return out;
}
