// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What zr8ctl needs of its terminal and of the signals sent to it. One
// implementation per system, chosen by CMake.

#include <functional>
#include <memory>

namespace zr8::cli {

// How what changes while a command runs (a watched reading, a slew's
// progress) reaches standard output: one line updated in place ("\r", the
// line, then erase to its end), a line each on a terminal that cannot do
// that, or plain lines for a file or pipe, where progress is left out.
enum class LiveOutput { InPlace, Lines, NotATerminal };
LiveOutput liveOutput();

// A write to a closed pipe fails (and is reported) instead of ending the
// program unannounced.
void keepRunningWhenOutputCloses();

// Turns Ctrl-C and the system's other requests to end (terminate, hang-up)
// into calls of `onInterrupt` on a thread of its own, each time one arrives,
// so that the program can take the link down cleanly instead of dying
// mid-request. `onInterrupt` is given the exit status a shell expects after
// that request: 130 for Ctrl-C, 143 for terminate, 129 for hang-up.
//
// Make it before any other thread exists (the link, the heartbeat, the
// simulator): threads inherit the signal mask of the thread that starts
// them. `onInterrupt` must outlive the watch; once the watch is destroyed it
// is not called again, and the signals are as they were before it.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void(int exitStatus)> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zr8::cli
