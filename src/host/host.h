// The plug-in's face towards the mod-loader host: the exported records, the
// host record handed to VQ_Apply, the patch definitions and their matcher.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Interface version the host and the plug-in agree on.
#define VQ_ABI_VERSION 1u
// The game image is only ever accepted at its preferred base.
#define VQ_GAME_BASE 0x400000u
// Game addresses of the stock functions the entry stubs forward to.
#define VQ_GAME_SAVE_REPLAY 0x513070u  // stock replay-save function
#define VQ_GAME_RACE_SETUP 0x4C6250u   // stock race-setup function
// Largest patch a call or jump entry may cover; also the patch buffer size.
#define VQ_PATCH_MAX 64u
// A relative CALL or JMP: opcode byte and 32-bit displacement.
#define VQ_REL32_SIZE 5u
#define VQ_OPCODE_CALL 0xE8u  // E8 xxxxxxxx: CALL next+xxxxxxxx
#define VQ_OPCODE_JMP 0xE9u   // E9 xxxxxxxx: JMP next+xxxxxxxx
#define VQ_OPCODE_NOP 0x90u

typedef void (*vq_log_fn)(const char *format, ...);
typedef int (*vq_write_patch_fn)(uint32_t rva, const void *bytes, uint32_t length,
                                 const char *name);

// Supplied by the host. The plug-in reads these five words and nothing more.
struct vq_host {
    uint32_t abi_version;           // must be VQ_ABI_VERSION
    uint32_t image_base;            // must be VQ_GAME_BASE
    uint32_t pool_base;             // host's pool for pool-relative patches, or 0
    vq_write_patch_fn write_patch;  // writes patch bytes at image_base + rva
    vq_log_fn log;                  // printf-style log, or null
};

// Exported as vq_manifest_data; the host reads it, we never do.
struct vq_manifest {
    uint32_t abi_version;       // VQ_ABI_VERSION
    const char *id;             // "replay.autosave"
    const char *description;    // shown by the host
    const char *version;        // "1.0.0"
    uint32_t host_value;        // 100
    const char *check_pattern;  // entry bytes of the stock replay-save function
    uint32_t check_rva;         // where check_pattern must match
    uint32_t reserved[9];       // all 0
};

enum vq_def_kind : uint32_t {
    VQ_DEF_CALL = 1,       // relative CALL to target
    VQ_DEF_JMP = 2,        // relative JMP to target (also every unknown kind)
    VQ_DEF_BYTES = 3,      // raw bytes as given
    VQ_DEF_SKIP = 4,       // passed over
    VQ_DEF_POOL_CALL = 5,  // relative CALL to pool_base + target
    VQ_DEF_POOL_JMP = 6,   // relative JMP to pool_base + target
};

// One patch definition; the host reads the table too, so the layout is fixed.
struct vq_def {
    uint32_t kind;       // vq_def_kind
    uint32_t rva;        // patch site, offset from the image base
    uint32_t length;     // bytes matched and rewritten at the site
    const char *expect;  // expected-bytes pattern, or null for no check
    uint32_t target;     // absolute target, or pool offset for pool kinds
    const void *bytes;   // VQ_DEF_BYTES only: the bytes to write
    uint32_t reserved;   // always 0
    const char *name;    // entry name for messages and write_patch, or null
};

// The records cross between separately built 32-bit modules, so every field
// is pinned; on a 64-bit build (portable tests only) pointers widen and the
// layout does not apply.
#define VQ_LAYOUT(record, field, offset) \
    static_assert(sizeof(void *) != 4 || offsetof(record, field) == (offset), #record " layout")
VQ_LAYOUT(vq_host, abi_version, 0);
VQ_LAYOUT(vq_host, image_base, 4);
VQ_LAYOUT(vq_host, pool_base, 8);
VQ_LAYOUT(vq_host, write_patch, 12);
VQ_LAYOUT(vq_host, log, 16);
static_assert(sizeof(void *) != 4 || sizeof(vq_host) == 20, "vq_host layout");
VQ_LAYOUT(vq_manifest, abi_version, 0);
VQ_LAYOUT(vq_manifest, id, 4);
VQ_LAYOUT(vq_manifest, description, 8);
VQ_LAYOUT(vq_manifest, version, 12);
VQ_LAYOUT(vq_manifest, host_value, 16);
VQ_LAYOUT(vq_manifest, check_pattern, 20);
VQ_LAYOUT(vq_manifest, check_rva, 24);
VQ_LAYOUT(vq_manifest, reserved, 28);
static_assert(sizeof(void *) != 4 || sizeof(vq_manifest) == 64, "vq_manifest layout");
VQ_LAYOUT(vq_def, kind, 0);
VQ_LAYOUT(vq_def, rva, 4);
VQ_LAYOUT(vq_def, length, 8);
VQ_LAYOUT(vq_def, expect, 12);
VQ_LAYOUT(vq_def, target, 16);
VQ_LAYOUT(vq_def, bytes, 20);
VQ_LAYOUT(vq_def, reserved, 24);
VQ_LAYOUT(vq_def, name, 28);
static_assert(sizeof(void *) != 4 || sizeof(vq_def) == 32, "vq_def layout");

extern "C" {

// Set by VQ_Apply once a host record is accepted; 0 and null before.
extern uint32_t ra_game;  // game image base
extern vq_log_fn ra_log;  // host's log callback, possibly null

// The exports.
extern vq_manifest vq_manifest_data;
extern const uint32_t vq_def_count;
extern const vq_def *const vq_def_table;

int VQ_Apply(const vq_host *host);

// Value of one pattern character: 0..15 for a hex digit, -1 otherwise.
int vq_hexv_(int character);

// 1 when the length bytes at address agree with the expected-bytes pattern.
int vqsdk_hex_match(const void *address, uint32_t length, const char *pattern);

// Applies count definitions in order for the accepted host record; 1 when
// all are done, 0 at the first failure (entries before it stay written).
int vqsdk_apply_defs(const vq_host *host, const vq_def *defs, uint32_t count);

// Displacement of a rel32 CALL/JMP from next (the address after the 5-byte
// instruction) to dest; 0 when dest is out of signed 32-bit reach.
int vqsdk_rel32(uint32_t dest, uint32_t next, uint32_t *displacement);

}  // extern "C"
