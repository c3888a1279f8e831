// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows console: UTF-8 out through the output code page, lines
// updated in place through virtual-terminal sequences where the console
// takes them (Windows 10 and later), and Ctrl-C, Ctrl-Break and the end of
// the console or the session through SetConsoleCtrlHandler, for the whole
// run: with an InterruptWatch they go to it, without one the program ends
// with the status a shell expects, as on Linux (the system's own way would
// end it with STATUS_CONTROL_C_EXIT and the console as zr8ctl set it). The
// system calls the handler on a thread of its own, so the program's other
// threads run on while it does.
#include "ui/cli/console.h"

#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "platform/windows/wide_text.h"

namespace zr8::cli {

namespace {

// What ConsoleSetup found and changed, put back when the program ends.
bool inPlace = false;
UINT savedCodePage = 0;
HANDLE output = INVALID_HANDLE_VALUE;
DWORD savedMode = 0;
bool modeChanged = false;

void restoreConsole() {
    std::fflush(stdout);
    if (modeChanged) ::SetConsoleMode(output, savedMode);
    if (savedCodePage != 0) ::SetConsoleOutputCP(savedCodePage);
}

// The watch in force, if any: the handler is a plain function.
std::mutex watchLock;
std::condition_variable watchEnded;
InterruptWatch* current = nullptr;
std::function<void(int)>* currentCall = nullptr;

// The system ends the process once the handler returns from one of these,
// and allows a few seconds before it does, in which the link is taken down.
constexpr std::chrono::milliseconds kClosingGrace{4500};

BOOL WINAPI onConsoleEvent(DWORD event) {
    int status = 0;
    bool closing = false;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        status = 130;
        break;
    case CTRL_CLOSE_EVENT:
        status = 129;  // the console went away, as a hang-up
        closing = true;
        break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        status = 143;
        closing = true;
        break;
    default:
        return FALSE;
    }
    std::unique_lock lock(watchLock);
    if (current == nullptr) {
        // Nothing to take down yet (or any more).
        restoreConsole();
        ::ExitProcess(static_cast<UINT>(status));
    }
    (*currentCall)(status);
    if (!closing) return TRUE;
    // The system would end the process as soon as this returns, with a
    // status of its own: the link is taken down first, then the status is ours.
    watchEnded.wait_for(lock, kClosingGrace, [] { return current == nullptr; });
    restoreConsole();
    ::ExitProcess(static_cast<UINT>(status));
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(utf8FromWide(std::wstring(wide[i])));
    ::LocalFree(wide);
    return arguments;
}

// The console's state lives in the statics above: the handler needs it.
struct ConsoleSetup::Impl {};

ConsoleSetup::ConsoleSetup() {
    savedCodePage = ::GetConsoleOutputCP();
    if (savedCodePage != 0) ::SetConsoleOutputCP(CP_UTF8);
    output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(output, &mode)) {
        savedMode = mode;
        inPlace = (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
        if (!inPlace && ::SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
            modeChanged = true;
            inPlace = true;
        }
    }
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

ConsoleSetup::~ConsoleSetup() {
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    restoreConsole();
}

LiveOutput liveOutput() {
    DWORD mode = 0;
    if (!::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        return LiveOutput::NotATerminal;
    }
    return inPlace ? LiveOutput::InPlace : LiveOutput::Lines;
}

struct InterruptWatch::Impl {
    std::function<void(int)> onInterrupt;
};

InterruptWatch::InterruptWatch(std::function<void(int)> onInterrupt)
    : impl_(std::make_unique<Impl>()) {
    impl_->onInterrupt = std::move(onInterrupt);
    std::lock_guard lock(watchLock);
    current = this;
    currentCall = &impl_->onInterrupt;
}

InterruptWatch::~InterruptWatch() {
    {
        std::lock_guard lock(watchLock);
        current = nullptr;
        currentCall = nullptr;
    }
    watchEnded.notify_all();
}

}  // namespace zr8::cli
