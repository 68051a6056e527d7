#include "test_host.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

std::vector<sim_patch_write> sim_host_writes;
std::vector<std::string> sim_host_log_lines;
bool sim_host_echo_log = false;
int sim_host_fail_write_at = -1;

void sim_host_reset(void) {
    sim_host_writes.clear();
    sim_host_log_lines.clear();
    sim_host_fail_write_at = -1;
}

vq_host sim_host_record(void) {
    vq_host host;
    host.abi_version = VQ_ABI_VERSION;
    host.image_base = VQ_GAME_BASE;
    host.pool_base = 0;
    host.write_patch = sim_host_write_patch;
    host.log = sim_host_log;
    return host;
}

int sim_host_write_patch(uint32_t rva, const void *bytes, uint32_t length, const char *name) {
    if (sim_host_fail_write_at >= 0 && (int)sim_host_writes.size() >= sim_host_fail_write_at) {
        return 0;
    }
    sim_patch_write w;
    w.rva = rva;
    w.bytes.assign((const unsigned char *)bytes, (const unsigned char *)bytes + length);
    w.had_name = name != nullptr;
    w.name = name ? name : "";
    sim_host_writes.push_back(w);
    // The game image is mapped at its own base, so rva lands at base + rva.
    memcpy((void *)(uintptr_t)(VQ_GAME_BASE + rva), bytes, length);
    return 1;
}

void sim_host_log(const char *format, ...) {
    char line[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    sim_host_log_lines.push_back(line);
    if (sim_host_echo_log) {
        fputs(line, stdout);
        fputc('\n', stdout);
        fflush(stdout);
    }
}
