// The local clock as GetLocalTime reports it: a fixed time that a test sets,
// or the host's real local time.
#include <time.h>

#include "sim_internal.h"
#include "sim_win32.h"

static bool sim_clock_fixed = false;
static SYSTEMTIME sim_clock_value;

extern "C" void sim_set_clock(const SYSTEMTIME *time) {
    sim_clock_fixed = time != nullptr;
    if (time != nullptr) sim_clock_value = *time;
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME time) {
    // Counted, but no fault can be injected into it: it cannot fail.
    sim_enter("GetLocalTime");
    if (time == nullptr) return;
    if (sim_clock_fixed) {
        *time = sim_clock_value;
        return;
    }
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    time->wYear = (WORD)(local.tm_year + 1900);
    time->wMonth = (WORD)(local.tm_mon + 1);
    time->wDayOfWeek = (WORD)local.tm_wday;  // 0 is Sunday on both sides
    time->wDay = (WORD)local.tm_mday;
    time->wHour = (WORD)local.tm_hour;
    time->wMinute = (WORD)local.tm_min;
    time->wSecond = (WORD)local.tm_sec;
    time->wMilliseconds = (WORD)(now.tv_nsec / 1000000);
}
