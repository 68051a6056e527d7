// The console's handler runs on a thread of its own: it wakes the waiter
// and, for a closed window, gives the program the moment the system allows
// to say it stopped.
#include <windows.h>

#include "platform/stop.h"

namespace {

HANDLE ra_stop_asked = nullptr;
HANDLE ra_stop_finished = nullptr;

// The system ends the process soon after a close; this stays below that.
const DWORD ra_stop_grace_ms = 4000;

BOOL WINAPI ra_on_console_event(DWORD event) {
    (void)event;  // Ctrl+C, Ctrl+Break, window closed, log off, shut down: all stop
    SetEvent(ra_stop_asked);
    WaitForSingleObject(ra_stop_finished, ra_stop_grace_ms);
    return TRUE;
}

}  // namespace

void ra_stop_prepare() {
    ra_stop_asked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ra_stop_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(ra_on_console_event, TRUE);
}

void ra_stop_wait() { WaitForSingleObject(ra_stop_asked, INFINITE); }

void ra_stop_done() { SetEvent(ra_stop_finished); }
