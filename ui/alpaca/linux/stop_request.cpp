// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/stop_request.h"

#include <pthread.h>
#include <signal.h>

#include <initializer_list>

namespace zr8::alpaca {

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
    return set;
}

}  // namespace

void prepareStopRequest() {
    // Blocked in every thread started later: only sigwait takes them.
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void waitForStopRequest() {
    const sigset_t set = stopSignals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {}
}

void stopRequestDone() {}

}  // namespace zr8::alpaca
