// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program under a real X server, watched from outside it: a private Xvfb,
// and a window manager's connection to it that sees windows shown, closes
// them the way a window manager does (a WM_DELETE_WINDOW client message) and
// looks at them. The GUI tests, the start-up benchmark and the test script's
// window watch (x11-window) share it, so the programs carry no hooks.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace zr8::x_test {

// Xvfb on a display number it picks itself; ended with the object.
class PrivateXServer {
public:
    PrivateXServer() = default;
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;
    ~PrivateXServer();

    bool start(std::string& error);
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct WindowPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    bool operator==(const WindowPicture&) const = default;
};

// One connection; use it from one thread at a time. It watches new top-level
// windows from the moment it is made, so none created later is missed.
class WindowManager {
public:
    // $DISPLAY when empty.
    explicit WindowManager(const std::string& display);
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    ~WindowManager();

    bool ok() const;

    // Asks `window` to close and returns once the server has delivered the
    // request. A client that sent it and hung up at once could lose it: the
    // server drops what it has not read from a client that is gone.
    bool close(uint32_t window);

    // Waits until a top-level window whose title starts with titlePrefix is
    // mapped and has been exposed; returns it, or 0 when the time is up or
    // keepWaiting (asked about every 50 ms) says no.
    uint32_t waitShown(const std::string& titlePrefix, std::chrono::milliseconds timeout,
                       const std::function<bool()>& keepWaiting = {});

    // The top-level window of process `pid`, or 0.
    uint32_t windowOf(pid_t pid);
    // _NET_WM_NAME, else WM_NAME.
    std::string title(uint32_t window);
    // The window's contents as the server shows them; empty when unmapped.
    WindowPicture picture(uint32_t window);

private:
    uint32_t atom(const char* name);
    void watch(uint32_t window);
    bool viewable(uint32_t window);

    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
};

}  // namespace zr8::x_test
