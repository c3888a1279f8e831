// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/stop_request.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>

namespace zr8::alpaca {

namespace {

std::mutex lock;
std::condition_variable changed;
bool asked = false;
bool done = false;

BOOL WINAPI onConsoleEvent(DWORD) {
    std::unique_lock guard(lock);
    asked = true;
    changed.notify_all();
    // The process ends when this returns: the server is taken down first
    // (Windows allows a closing console a few seconds).
    changed.wait_for(guard, std::chrono::seconds(4), [] { return done; });
    return TRUE;
}

}  // namespace

void prepareStopRequest() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

void waitForStopRequest() {
    std::unique_lock guard(lock);
    changed.wait(guard, [] { return asked; });
}

void stopRequestDone() {
    std::lock_guard guard(lock);
    done = true;
    changed.notify_all();
}

}  // namespace zr8::alpaca
