// SPDX-License-Identifier: GPL-3.0-or-later
// Signals are taken by sigwait on a thread of the watch's own, never by a
// handler, so nothing runs in signal context and every other thread keeps
// them blocked.
#include "ui/cli/console.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace zr8::cli {

namespace {
// Sent by the watch to itself to end its thread.
constexpr int kQuitSignal = SIGUSR1;
}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

// Nothing to put back: the program ends with the setup.
struct ConsoleSetup::Impl {};

ConsoleSetup::ConsoleSetup() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

ConsoleSetup::~ConsoleSetup() = default;

LiveOutput liveOutput() {
    return ::isatty(STDOUT_FILENO) == 1 ? LiveOutput::InPlace : LiveOutput::NotATerminal;
}

struct InterruptWatch::Impl {
    std::function<void(int)> onInterrupt;
    sigset_t signals{};
    sigset_t previousMask{};
    struct sigaction previousPipe {};
    std::atomic<bool> quitting{false};
    std::thread thread;

    void run() {
        for (;;) {
            int signal = 0;
            if (::sigwait(&signals, &signal) != 0) continue;
            if (signal == kQuitSignal) {
                if (quitting.load()) return;
                continue;
            }
            onInterrupt(128 + signal);
        }
    }
};

InterruptWatch::InterruptWatch(std::function<void(int)> onInterrupt)
    : impl_(std::make_unique<Impl>()) {
    impl_->onInterrupt = std::move(onInterrupt);
    sigemptyset(&impl_->signals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, kQuitSignal}) sigaddset(&impl_->signals, signal);
    ::pthread_sigmask(SIG_BLOCK, &impl_->signals, &impl_->previousMask);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &impl_->previousPipe);
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

InterruptWatch::~InterruptWatch() {
    impl_->quitting = true;
    ::pthread_kill(impl_->thread.native_handle(), kQuitSignal);
    impl_->thread.join();
    ::sigaction(SIGPIPE, &impl_->previousPipe, nullptr);
    // A signal that came after the thread ended stays pending: taken as the
    // system would take it once the mask is lifted.
    ::pthread_sigmask(SIG_SETMASK, &impl_->previousMask, nullptr);
}

}  // namespace zr8::cli
