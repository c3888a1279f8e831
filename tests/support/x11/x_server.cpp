// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/x11/x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace zr8::x_test {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> reply(T* raw) {
    return Reply<T>(raw, &std::free);
}

using Clock = std::chrono::steady_clock;

std::string textProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    if (property == XCB_ATOM_NONE) return {};
    auto text = reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr));
    if (!text || text->format != 8) return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(text.get())),
                       static_cast<size_t>(xcb_get_property_value_length(text.get())));
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
    : connection_(xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr)) {
    if (!ok()) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Without a window manager a program's top-level windows are the root's
    // children: their creation is told to whoever asks on the root.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
}

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
    const std::string text = textProperty(connection_, window, atom("_NET_WM_NAME"));
    return text.empty() ? textProperty(connection_, window, XCB_ATOM_WM_NAME) : text;
}

void WindowManager::watch(uint32_t window) {
    const uint32_t mask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
}

bool WindowManager::viewable(uint32_t window) {
    auto attributes = reply(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

uint32_t WindowManager::waitShown(const std::string& titlePrefix, std::chrono::milliseconds timeout,
                                  const std::function<bool()>& keepWaiting) {
    if (!ok()) return 0;
    const auto deadline = Clock::now() + timeout;
    const auto matches = [&](xcb_window_t window) {
        return title(window).rfind(titlePrefix, 0) == 0;
    };
    // Windows that exist already are watched now; one on screen counts.
    std::set<xcb_window_t> watched;
    auto tree =
        reply(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            watch(children[i]);
            watched.insert(children[i]);
        }
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            if (viewable(children[i]) && matches(children[i])) return children[i];
    }
    xcb_flush(connection_);

    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
            auto event = reply(raw);
            xcb_window_t candidate = XCB_WINDOW_NONE;
            switch (event->response_type & 0x7f) {
            case XCB_CREATE_NOTIFY: {
                const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(raw);
                if (created->parent != root_) break;
                watch(created->window);
                watched.insert(created->window);
                xcb_flush(connection_);
                // It may have been mapped and exposed before we asked.
                if (viewable(created->window)) candidate = created->window;
                break;
            }
            case XCB_EXPOSE: {
                const auto* exposed = reinterpret_cast<xcb_expose_event_t*>(raw);
                if (exposed->count == 0 && watched.count(exposed->window) != 0)
                    candidate = exposed->window;
                break;
            }
            default:
                break;
            }
            if (candidate != XCB_WINDOW_NONE && matches(candidate)) return candidate;
        }
        if (!ok()) return 0;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return 0;
        if (keepWaiting && !keepWaiting()) return 0;
        pollfd p{xcb_get_file_descriptor(connection_), POLLIN, 0};
        poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
    }
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
