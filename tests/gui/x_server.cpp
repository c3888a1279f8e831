// SPDX-License-Identifier: GPL-3.0-or-later
#include "x_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace zr8::x_test {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* raw) {
    return Reply<T>(raw, &std::free);
}

}  // namespace

PrivateXServer::~PrivateXServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

bool PrivateXServer::start(std::string& error) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error = "pipe: " + std::string(std::strerror(errno));
        return false;
    }
    pid_ = fork();
    if (pid_ < 0) {
        error = "fork: " + std::string(std::strerror(errno));
        return false;
    }
    if (pid_ == 0) {
        // -displayfd: the server writes its display number here once it listens.
        if (ready[1] == 3)
            fcntl(3, F_SETFD, 0);
        else
            dup2(ready[1], 3);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char number[16] = {};
    size_t got = 0;
    while (got < sizeof number - 1) {
        const ssize_t n = read(ready[0], number + got, sizeof number - 1 - got);
        if (n <= 0 || number[got + static_cast<size_t>(n) - 1] == '\n') {
            if (n > 0) got += static_cast<size_t>(n);
            break;
        }
        got += static_cast<size_t>(n);
    }
    close(ready[0]);
    if (got == 0) {
        error = "Xvfb did not start (scripts/setup installs it)";
        return false;
    }
    display_ = ":" + std::string(number, strcspn(number, "\n"));
    return true;
}

WindowManager::WindowManager(const std::string& display)
    : connection_(xcb_connect(display.c_str(), nullptr)) {}

WindowManager::~WindowManager() { xcb_disconnect(connection_); }

bool WindowManager::ok() const { return xcb_connection_has_error(connection_) == 0; }

uint32_t WindowManager::atom(const char* name) {
    auto r = reply(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : uint32_t{XCB_ATOM_NONE};
}

bool WindowManager::close(uint32_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_void_cookie_t sent = xcb_send_event_checked(
        connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    // The check is a round trip: the server has handled the request after it.
    auto failed = reply(xcb_request_check(connection_, sent));
    return !failed && ok();
}

uint32_t WindowManager::windowOf(pid_t pid) {
    const xcb_atom_t pidAtom = atom("_NET_WM_PID");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    auto tree = reply(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, screen->root), nullptr));
    if (!tree) return 0;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        auto attributes = reply(xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, children[i]), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
        auto owner = reply(xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, children[i], pidAtom, XCB_ATOM_CARDINAL, 0, 1),
            nullptr));
        if (owner && xcb_get_property_value_length(owner.get()) == 4 &&
            *static_cast<const uint32_t*>(xcb_get_property_value(owner.get())) ==
                static_cast<uint32_t>(pid)) {
            return children[i];
        }
    }
    return 0;
}

std::string WindowManager::title(uint32_t window) {
    auto name = reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 0, 256),
        nullptr));
    if (!name) return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(name.get())),
                       static_cast<size_t>(xcb_get_property_value_length(name.get())));
}

WindowPicture WindowManager::picture(uint32_t window) {
    auto geometry =
        reply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    if (!geometry) return {};
    auto image =
        reply(xcb_get_image_reply(connection_,
                                  xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0,
                                                0, geometry->width, geometry->height, ~0u),
                                  nullptr));
    if (!image) return {};
    const uint8_t* data = xcb_get_image_data(image.get());
    WindowPicture picture;
    picture.width = geometry->width;
    picture.height = geometry->height;
    picture.pixels.assign(data, data + xcb_get_image_data_length(image.get()));
    return picture;
}

}  // namespace zr8::x_test
