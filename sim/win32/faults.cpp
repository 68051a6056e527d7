// Call counting and fault injection: every service passes through sim_enter,
// which counts the call and decides whether an injected fault claims it.
#include <map>
#include <string>

#include "sim_internal.h"
#include "sim_win32.h"

namespace {

struct sim_fault {
    uint32_t error;  // last error the failing call leaves
    uint32_t count;  // calls still to fail
    uint32_t skip;   // calls still to pass before the first failure
};

// Function-local statics: a service may be called before main (a static
// initialiser of a test), so nothing here may depend on initialisation order.
std::map<std::string, uint32_t> &sim_counts() {
    static std::map<std::string, uint32_t> counts;
    return counts;
}

std::map<std::string, sim_fault> &sim_faults() {
    static std::map<std::string, sim_fault> faults;
    return faults;
}

sim_short_read_state sim_pending_short_read = {false, 0, 0};
bool sim_short_write_armed = false;  // the next WriteFile stops short
uint32_t sim_short_write_max = 0;    // after this many bytes

// Services that cannot fail on Windows: they are counted but never fail.
bool sim_cannot_fail(const std::string &service) {
    return service == "GetLastError" || service == "SetLastError" || service == "GetLocalTime";
}

}  // namespace

bool sim_enter(const char *service) {
    ++sim_counts()[service];
    std::map<std::string, sim_fault> &faults = sim_faults();
    auto it = faults.find(service);
    if (it == faults.end()) return false;
    if (it->second.skip > 0) {
        --it->second.skip;
        return false;
    }
    sim_set_error(it->second.error);
    if (--it->second.count == 0) faults.erase(it);
    return true;
}

sim_short_read_state sim_take_short_read(void) {
    sim_short_read_state taken = sim_pending_short_read;
    sim_pending_short_read.armed = false;
    return taken;
}

extern "C" void sim_fail_call_after(const char *service, uint32_t skip, uint32_t error,
                                    uint32_t count) {
    if (service == nullptr) return;
    std::map<std::string, sim_fault> &faults = sim_faults();
    if (count == 0 || sim_cannot_fail(service)) {
        faults.erase(service);
        return;
    }
    faults[service] = sim_fault{error, count, skip};
}

extern "C" void sim_fail_call(const char *service, uint32_t error, uint32_t count) {
    sim_fail_call_after(service, 0, error, count);
}

extern "C" void sim_short_read(uint32_t max_bytes, uint32_t error) {
    sim_pending_short_read = sim_short_read_state{true, max_bytes, error};
}

bool sim_take_short_write(uint32_t *max_bytes) {
    if (!sim_short_write_armed) return false;
    sim_short_write_armed = false;
    *max_bytes = sim_short_write_max;
    return true;
}

extern "C" void sim_short_write(uint32_t max_bytes) {
    sim_short_write_armed = true;
    sim_short_write_max = max_bytes;
}

extern "C" void sim_clear_faults(void) {
    sim_faults().clear();
    sim_counts().clear();
    sim_pending_short_read.armed = false;
    sim_short_write_armed = false;
    sim_clear_handle_faults();
    sim_clear_created_dirs();
}

extern "C" uint32_t sim_call_count(const char *service) {
    if (service == nullptr) return 0;
    std::map<std::string, uint32_t> &counts = sim_counts();
    auto it = counts.find(service);
    return it == counts.end() ? 0 : it->second;
}
