// The signals are blocked in every thread and taken by sigwait alone.
#include <signal.h>

#include "platform/stop.h"

namespace {

sigset_t ra_stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void ra_stop_prepare() {
    sigset_t set = ra_stop_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void ra_stop_wait() {
    sigset_t set = ra_stop_signals();
    int got = 0;
    sigwait(&set, &got);
}

void ra_stop_done() {}
