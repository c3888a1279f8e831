// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What zr8ctl needs of its terminal, its command line and the requests to
// end it (Ctrl-C and the like). One implementation per system, chosen by
// CMake: linux/ (signals) and windows/ (the console's control handler).

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zr8::cli {

// The program's arguments, the program's name first, in UTF-8: on Windows
// read again, wide, from the command line, since `argv` holds them in the
// ANSI code page, where names outside it are lost.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// For the length of the program: text goes out in UTF-8 (on Windows the
// console's output code page is set so), a console takes virtual-terminal
// sequences where it can, and a write to a closed pipe fails (and is
// reported) instead of ending the program unannounced. The console is put
// back as it was found.
class ConsoleSetup {
public:
    ConsoleSetup();
    ~ConsoleSetup();
    ConsoleSetup(const ConsoleSetup&) = delete;
    ConsoleSetup& operator=(const ConsoleSetup&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// How what changes while a command runs (a watched reading, a slew's
// progress) reaches standard output: one line updated in place ("\r", the
// line, then erase to its end), a line each on a terminal that cannot do
// that, or plain lines for a file or pipe, where progress is left out.
enum class LiveOutput { InPlace, Lines, NotATerminal };
LiveOutput liveOutput();

// Turns the operator's and the system's requests to end into calls of
// `onInterrupt` on a thread other than the main one, each time one arrives,
// so that the program can take the link down cleanly instead of dying
// mid-request. `onInterrupt` is given the exit status to end with, as a
// shell expects it: 130 for Ctrl-C (and on Windows Ctrl-Break), 143 for
// terminate (Windows: log-off and shut-down), 129 for hang-up (Windows: the
// console window closed).
//
// Make it before any other thread exists (the link, the heartbeat, the
// simulator): on Linux threads inherit the signal mask of the thread that
// starts them. `onInterrupt` must outlive the watch; once the watch is
// destroyed it is not called again, and the requests are handled as they
// were before it.
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
