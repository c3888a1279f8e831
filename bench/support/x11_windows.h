// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Watching another program's top-level windows on an X server from outside
// it, as a window manager would: when a window with a given title is shown,
// and asking it to close through WM_DELETE_WINDOW. The start-up benchmark and
// the test suite's "does the program start" check use it, so the programs
// themselves carry no measuring hooks.

#include <xcb/xcb.h>

#include <chrono>
#include <functional>
#include <string>

namespace zr8::x11 {

class WindowWatch {
public:
    // Connects to the display ($DISPLAY when null) and starts watching new
    // top-level windows at once, so none created after this is missed.
    explicit WindowWatch(const char* display = nullptr);
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    bool connected() const { return connection_ != nullptr; }

    // Waits until a top-level window whose title starts with titlePrefix is
    // mapped and has been exposed; returns it, or XCB_WINDOW_NONE when the
    // time is up or keepWaiting (asked about every 50 ms) says no.
    xcb_window_t waitShown(const std::string& titlePrefix, std::chrono::milliseconds timeout,
                           const std::function<bool()>& keepWaiting = {});

    // The window's title (_NET_WM_NAME, else WM_NAME).
    std::string title(xcb_window_t window);

    // Sends WM_DELETE_WINDOW and waits for the server to have handled it
    // before returning, so the request is not lost when this client hangs up.
    bool requestClose(xcb_window_t window);

private:
    void watch(xcb_window_t window);
    bool viewable(xcb_window_t window);
    xcb_atom_t atom(const char* name);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

}  // namespace zr8::x11
