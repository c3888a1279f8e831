// SPDX-License-Identifier: GPL-3.0-or-later
// x11-window: waits on the X server in $DISPLAY for a top-level window whose
// title starts with TITLE to be shown, then asks it to close as a window
// manager does (WM_DELETE_WINDOW).
//
//   x11-window close-when-shown TITLE [--timeout SECONDS] [--pid PID]
//
// With --pid it gives up as soon as that process has ended. Exit status 0
// when the window was shown and asked to close, 1 when it did not appear,
// 2 for a usage error.

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/x11/x_server.h"

namespace {

int usage() {
    std::fputs("usage: x11-window close-when-shown TITLE [--timeout SECONDS] [--pid PID]\n",
               stderr);
    return 2;
}

bool parsePositive(const char* text, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value > 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || std::string(argv[1]) != "close-when-shown") return usage();
    const std::string title = argv[2];
    long seconds = 60;
    long pid = 0;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return usage();
        if (option == "--timeout" && parsePositive(argv[i + 1], seconds)) {
        } else if (option == "--pid" && parsePositive(argv[i + 1], pid)) {
        } else {
            return usage();
        }
        ++i;
    }

    zr8::x_test::WindowManager watch("");
    if (!watch.ok()) {
        std::fprintf(stderr, "x11-window: cannot connect to the X server '%s'\n",
                     std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "");
        return 1;
    }
    bool ended = false;
    const auto alive = [&] {
        ended = pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
        return !ended;
    };
    const auto start = std::chrono::steady_clock::now();
    const uint32_t window = watch.waitShown(title, std::chrono::seconds(seconds), alive);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (window == 0) {
        if (ended)
            std::fprintf(
                stderr,
                "x11-window: process %ld ended before a window titled \"%s...\" was shown\n", pid,
                title.c_str());
        else
            std::fprintf(stderr, "x11-window: no window titled \"%s...\" was shown within %ld s\n",
                         title.c_str(), seconds);
        return 1;
    }
    std::printf("shown after %.0f ms: \"%s\"; asking it to close\n", ms,
                watch.title(window).c_str());
    std::fflush(stdout);
    if (!watch.close(window)) {
        std::fputs("x11-window: the X server went away before the close request was handled\n",
                   stderr);
        return 1;
    }
    return 0;
}
