// Handler of the race-start stub: the race start time for "%start_date%" and
// "%start_time%".
#include <windows.h>

#include "patches/hooks.h"

static_assert(sizeof(SYSTEMTIME) == sizeof(ra_systemtime), "SYSTEMTIME layout");

extern "C" void vq_ra_mark_start(void) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    ra_start_time.year = now.wYear;
    ra_start_time.month = now.wMonth;
    ra_start_time.day_of_week = now.wDayOfWeek;
    ra_start_time.day = now.wDay;
    ra_start_time.hour = now.wHour;
    ra_start_time.minute = now.wMinute;
    ra_start_time.second = now.wSecond;
    ra_start_time.milliseconds = now.wMilliseconds;
    ra_start_valid = 1;
}
