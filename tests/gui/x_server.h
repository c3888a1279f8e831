// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program under a real X server: a private Xvfb for the test process, and
// a window manager's connection to it that closes windows the way a window
// manager does (a WM_DELETE_WINDOW client message) and looks at them.

#include <sys/types.h>

#include <cstdint>
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

// One connection; use it from one thread at a time.
class WindowManager {
public:
    explicit WindowManager(const std::string& display);
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    ~WindowManager();

    bool ok() const;

    // Asks `window` to close and returns once the server has delivered the
    // request. A client that sent it and hung up at once could lose it: the
    // server drops what it has not read from a client that is gone.
    bool close(uint32_t window);

    // The top-level window of process `pid`, or 0.
    uint32_t windowOf(pid_t pid);
    std::string title(uint32_t window);
    // The window's contents as the server shows them; empty when unmapped.
    WindowPicture picture(uint32_t window);

private:
    uint32_t atom(const char* name);

    xcb_connection_t* connection_ = nullptr;
};

}  // namespace zr8::x_test
