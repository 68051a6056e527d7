// Applying the patch table: verify each site against its expected bytes, build
// the call or jump, and hand it to the host's write_patch. The first failure
// stops the walk; entries already written stay.
#include "host/host.h"

#include <stdint.h>

extern "C" int vqsdk_rel32(uint32_t dest, uint32_t next, uint32_t *displacement) {
    // The exact difference, without wrap-around: a target reachable only by
    // wrapping around the 4 GiB address space is out of reach.
    int64_t diff = (int64_t)dest - (int64_t)next;
    if (diff < INT32_MIN || diff > INT32_MAX) return 0;
    *displacement = (uint32_t)diff;
    return 1;
}

static const char *vq_def_label(const vq_def *def) { return def->name ? def->name : "?"; }

static int vq_site_matches(const vq_host *host, const vq_def *def) {
    if (def->expect == nullptr) return 1;
    const void *site = (const void *)(uintptr_t)(host->image_base + def->rva);
    if (vqsdk_hex_match(site, def->length, def->expect)) return 1;
    if (host->log) host->log("def %s: expected mismatch @ RVA 0x%X", vq_def_label(def), def->rva);
    return 0;
}

static int vq_is_call(uint32_t kind) { return kind == VQ_DEF_CALL || kind == VQ_DEF_POOL_CALL; }
static int vq_is_pool(uint32_t kind) { return kind == VQ_DEF_POOL_CALL || kind == VQ_DEF_POOL_JMP; }

// A CALL or JMP entry; every kind other than bytes and skip lands here.
static int vq_apply_branch(const vq_host *host, const vq_def *def) {
    if (def->length < VQ_REL32_SIZE || def->length > VQ_PATCH_MAX) return 0;
    if (!vq_site_matches(host, def)) return 0;
    uint32_t next = host->image_base + def->rva + VQ_REL32_SIZE;
    uint32_t dest = def->target;
    if (vq_is_pool(def->kind)) {
        if (host->pool_base == 0) {
            if (host->log)
                host->log("def %s: pool target but no pool allocated", vq_def_label(def));
            return 0;
        }
        dest = host->pool_base + def->target;
    }
    uint32_t disp;
    if (!vqsdk_rel32(dest, next, &disp)) {
        if (host->log) host->log("def %s: rel32 unreachable", vq_def_label(def));
        return 0;
    }
    unsigned char patch[VQ_PATCH_MAX];
    patch[0] = (unsigned char)(vq_is_call(def->kind) ? VQ_OPCODE_CALL : VQ_OPCODE_JMP);
    for (unsigned i = 0; i < 4; ++i) patch[1 + i] = (unsigned char)(disp >> (8 * i));
    for (uint32_t i = VQ_REL32_SIZE; i < def->length; ++i) patch[i] = VQ_OPCODE_NOP;
    return host->write_patch(def->rva, patch, def->length, def->name) != 0;
}

static int vq_apply_one(const vq_host *host, const vq_def *def) {
    switch (def->kind) {
    case VQ_DEF_SKIP:
        return 1;
    case VQ_DEF_BYTES:
        if (!vq_site_matches(host, def)) return 0;
        return host->write_patch(def->rva, def->bytes, def->length, def->name) != 0;
    default:
        return vq_apply_branch(host, def);
    }
}

extern "C" int vqsdk_apply_defs(const vq_host *host, const vq_def *defs, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (!vq_apply_one(host, &defs[i])) return 0;
    }
    return 1;
}
