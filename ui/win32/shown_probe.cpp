// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/shown_probe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zr8::win32 {

bool shownProbeAsked() {
    const char* flag = std::getenv("ZR8_EXIT_WHEN_SHOWN");
    return flag != nullptr && std::strcmp(flag, "1") == 0;
}

void reportShown(HWND window) {
    std::fputs("shown\n", stdout);
    std::fflush(stdout);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
}

}  // namespace zr8::win32
