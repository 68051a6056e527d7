// Reading the game's memory: address translation, the track folder name and
// the race type code.
#include "snapshot/game_map.h"

#include <string.h>

#include "snapshot/race_context.h"

#define RA_COUNT(a) (sizeof(a) / sizeof((a)[0]))

// Race types 0..2, by M flag.
static const char *const ra_codes_plain[][2] = {{"SR", "MS"}, {"ST", "MT"}, {"SK", "MK"}};
// Race type 3 without the M flag, by variant; variants from 3 up share "HP".
static const char *const ra_codes_variant[] = {"HC", "HG", "HT", "HP"};
// Race type 3 with the M flag, variants 4..9 (two variants per code);
// every other variant is "MH".
#define RA_M_VARIANT_FIRST 4u
static const char *const ra_codes_m_variant[] = {"MC", "MX", "MP", "MC", "MX", "MP"};
// Race type 4 by circuit type 0..2; every other circuit type, the -1 of "none
// captured yet" among them, is plain "C".
static const char *const ra_codes_circuit[] = {"CT", "CK", "CH"};

const unsigned char *ra_game_at(uint32_t a) {
    return (const unsigned char *)(uintptr_t)(uint32_t)(ra_game + (a - VQ_GAME_BASE));
}

// Assembled byte by byte: stored pointers need not be aligned, and the
// compiler still turns this into one load on x86.
uint32_t ra_mem_u32(const unsigned char *record, uint32_t off) {
    const unsigned char *p = record + off;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

float ra_mem_f32(const unsigned char *record, uint32_t off) {
    uint32_t bits = ra_mem_u32(record, off);
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t ra_game_u32(uint32_t a) { return ra_mem_u32(ra_game_at(a), 0); }

const unsigned char *ra_game_ptr(uint32_t a) {
    return (const unsigned char *)ra_image_mem(ra_game_u32(a));
}

extern "C" const void *ra_image_mem(uint32_t a) {
    if (ra_game == VQ_GAME_BASE) return (const void *)(uintptr_t)a;
    uint32_t d = a - VQ_GAME_BASE;
    if (d <= RA_IMAGE_WINDOW) return (const void *)(uintptr_t)(uint32_t)(ra_game + d);
    return (const void *)(uintptr_t)a;
}

extern "C" void ra_track_folder(char *out) {
    out[0] = '\0';
    uint32_t index = ra_game_u32(game_track_index);
    // Out-of-range indices mean no track; the table is not touched then.
    if (index > game_track_folder_last) return;
    const unsigned char *name = ra_game_ptr(game_track_folder_table + 4u * index);
    if (name == nullptr) return;
    uint32_t n = 0;
    // Only 'a'..'z' fold: bytes from 0x80 up stay as the game has them.
    for (; n < RA_TRACK_SIZE - 1 && name[n] != '\0'; ++n) {
        unsigned char c = name[n];
        out[n] = (char)((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
    }
    out[n] = '\0';
}

extern "C" uint32_t vqra_type_code(uint32_t race_type, uint32_t variant, uint32_t circ_type,
                                   uint32_t m_flag, char *dst) {
    const char *code = "??";
    int m = m_flag != 0;
    const uint32_t variant_last = RA_COUNT(ra_codes_variant) - 1;
    if (race_type < RA_COUNT(ra_codes_plain)) {
        code = ra_codes_plain[race_type][m];
    } else if (race_type == game_type_variant && !m) {
        code = ra_codes_variant[variant < variant_last ? variant : variant_last];
    } else if (race_type == game_type_variant) {
        uint32_t k = variant - RA_M_VARIANT_FIRST;  // wraps for variants below 4
        code = k < RA_COUNT(ra_codes_m_variant) ? ra_codes_m_variant[k] : "MH";
    } else if (race_type == game_type_circuit) {
        code = circ_type < RA_COUNT(ra_codes_circuit) ? ra_codes_circuit[circ_type] : "C";
    }
    uint32_t len = 0;
    for (; code[len] != '\0'; ++len) dst[len] = code[len];
    dst[len] = '\0';
    return len;
}
