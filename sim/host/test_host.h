// A host that supplies vq_host to the plug-in and records every write_patch
// and log call. Patches are written into the fake game image.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "host/host.h"

struct sim_patch_write {
    uint32_t rva;                      // patch site
    std::vector<unsigned char> bytes;  // what the plug-in asked to write
    bool had_name;                     // name was non-null
    std::string name;                  // the entry name, if any
};

// Calls recorded since the last sim_host_reset.
extern std::vector<sim_patch_write> sim_host_writes;
extern std::vector<std::string> sim_host_log_lines;
// When set, every log line is also printed to standard output as it comes.
extern bool sim_host_echo_log;
// write_patch fails (returns 0) from this call number on (0-based); -1: never.
extern int sim_host_fail_write_at;

void sim_host_reset(void);

// A record with abi_version 1, image_base 0x400000, no pool, our callbacks.
vq_host sim_host_record(void);

int sim_host_write_patch(uint32_t rva, const void *bytes, uint32_t length, const char *name);
void sim_host_log(const char *format, ...);
