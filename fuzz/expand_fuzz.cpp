// Template expansion and the destination path built from its result.
//
// Input: the template up to a NUL, the save directory up to a NUL (empty:
// the default; longer than the setting allows: cut), then the bytes of one
// race context record (missing bytes are zero; every text field is
// terminated at its last byte, as the snapshot always does).
//
// Properties: the name has at most 199 characters, all of them safe, and
// does not end in '.' or ' '; a template without '%' comes out as its first
// 199 characters, filtered and trimmed. The path is accepted exactly when
// it fits in 259 characters, and then lies directly in the save directory;
// a refused path leaves the destination buffer untouched.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_input.h"
#include "naming/naming.h"
#include "settings/settings.h"

static void fuzz_terminate(char *field, size_t size) { field[size - 1] = '\0'; }

// What a template without any '%' must give: copied, filtered, cut, trimmed.
static void fuzz_plain_name(const char *tpl, char *out) {
    size_t n = 0;
    for (; tpl[n] != '\0' && n < RA_NAME_MAX; ++n) {
        out[n] = vqra_char_ok((unsigned char)tpl[n]) ? tpl[n] : '_';
    }
    while (n > 0 && (out[n - 1] == '.' || out[n - 1] == ' ')) --n;
    out[n] = '\0';
}

static int fuzz_is_rp4(const char *s) {
    char up[4];
    for (int i = 0; i < 4; ++i) up[i] = (s[i] >= 'a' && s[i] <= 'z') ? (char)(s[i] - 32) : s[i];
    return memcmp(up, ".RP4", 4) == 0;
}

static void fuzz_check_destination(const char *name) {
    const size_t dir_len = strlen(ra_dir);
    size_t name_len = strlen(name);
    size_t kept = name_len >= 4 && fuzz_is_rp4(name + name_len - 4) ? name_len - 4 : name_len;

    // Exactly sized, filled with a sentinel that a refusal must leave alone.
    const uint8_t sentinel = 0xA5;
    char *dst = (char *)malloc(RA_PATH_SIZE);
    memset(dst, sentinel, RA_PATH_SIZE);
    int ok = ra_build_dst(dst, name);

    // directory, backslash, name part, ".rp4": at most 259 characters. A
    // base name that Windows takes for a device (CON, COM1, ... with any
    // trailing spaces) gets one '_' more, so a path one short of the limit
    // may be refused for it.
    size_t device_len = kept;
    while (device_len > 0 && name[device_len - 1] == ' ') --device_len;
    const size_t path_len = dir_len + 1 + kept + 4;
    const size_t path_max = RA_PATH_SIZE - 1;
    if (path_len < path_max) FUZZ_CHECK(ok);
    if (path_len > path_max) FUZZ_CHECK(!ok);
    if (ok) {
        const size_t got = strlen(dst);
        FUZZ_CHECK(got <= path_max);
        FUZZ_CHECK(got == path_len ||
                   (got == path_len + 1 && (device_len == 3 || device_len == 4)));
        FUZZ_CHECK(memcmp(dst, ra_dir, dir_len) == 0);
        FUZZ_CHECK(dst[dir_len] == '\\');
        const char *part = dst + dir_len + 1;
        // Directly in the directory: no separator in the name part, and no
        // dot other than the extension's.
        for (size_t i = 0; i < kept; ++i) {
            FUZZ_CHECK(part[i] != '\\' && part[i] != '/' && part[i] != '.');
            FUZZ_CHECK(part[i] == (name[i] == '.' ? '-' : name[i]));
        }
        const char *ext = part + kept + (got - path_len);
        FUZZ_CHECK(got == path_len || part[kept] == '_');
        FUZZ_CHECK(strcmp(ext, RA_REPLAY_EXT) == 0);
    } else {
        for (size_t i = 0; i < RA_PATH_SIZE; ++i) FUZZ_CHECK((uint8_t)dst[i] == sentinel);
    }
    free(dst);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_input in{data, size};
    const uint8_t *tpl_bytes;
    size_t tpl_len = in.take_text(&tpl_bytes);
    const uint8_t *dir_bytes;
    size_t dir_len = in.take_text(&dir_bytes);

    ra_ctx ctx;
    in.take_bytes(&ctx, sizeof ctx);
    fuzz_terminate(ctx.type, sizeof ctx.type);
    fuzz_terminate(ctx.track, sizeof ctx.track);
    for (char *name : ctx.names) fuzz_terminate(name, RA_NAME_SIZE);
    fuzz_terminate(ctx.md5_tr, sizeof ctx.md5_tr);
    fuzz_terminate(ctx.md5_trn, sizeof ctx.md5_trn);

    if (dir_len == 0) {
        strcpy(ra_dir, RA_DEFAULT_DIR);
    } else {
        if (dir_len > RA_DIR_SIZE - 1) dir_len = RA_DIR_SIZE - 1;
        memcpy(ra_dir, dir_bytes, dir_len);
        ra_dir[dir_len] = '\0';
    }

    char *tpl = fuzz_exact_string(tpl_bytes, tpl_len);
    char *out = (char *)malloc(RA_NAME_BUF);
    FUZZ_CHECK(vqra_expand(tpl, &ctx, out) == out);

    size_t n = strnlen(out, RA_NAME_BUF);
    FUZZ_CHECK(n <= RA_NAME_MAX);
    for (size_t i = 0; i < n; ++i) FUZZ_CHECK(vqra_char_ok((unsigned char)out[i]));
    FUZZ_CHECK(n == 0 || (out[n - 1] != '.' && out[n - 1] != ' '));
    if (strchr(tpl, '%') == nullptr) {
        char plain[RA_NAME_BUF];
        fuzz_plain_name(tpl, plain);
        FUZZ_CHECK(strcmp(out, plain) == 0);
    }

    fuzz_check_destination(out);
    free(out);
    free(tpl);
    return 0;
}
