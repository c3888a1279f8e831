// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/support/x11_windows.h"

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace zr8::x11 {

namespace {

using Clock = std::chrono::steady_clock;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> owned(T* reply) {
    return Reply<T>(reply, &std::free);
}

std::string propertyText(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    if (property == XCB_ATOM_NONE) return {};
    auto reply = owned(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr));
    if (!reply || reply->format != 8) return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(bytes, static_cast<size_t>(xcb_get_property_value_length(reply.get())));
}

}  // namespace

WindowWatch::WindowWatch(const char* display) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return;
    }
    connection_ = connection;
    root_ = screens.data->root;
    // Without a window manager a program's top-level windows are the root's
    // children: their creation is reported to whoever asks on the root.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
}

WindowWatch::~WindowWatch() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

xcb_atom_t WindowWatch::atom(const char* name) {
    auto reply = owned(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string WindowWatch::title(xcb_window_t window) {
    if (connection_ == nullptr) return {};
    std::string text = propertyText(connection_, window, atom("_NET_WM_NAME"));
    return text.empty() ? propertyText(connection_, window, XCB_ATOM_WM_NAME) : text;
}

void WindowWatch::watch(xcb_window_t window) {
    const uint32_t mask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
}

bool WindowWatch::viewable(xcb_window_t window) {
    auto reply = owned(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

xcb_window_t WindowWatch::waitShown(const std::string& titlePrefix,
                                    std::chrono::milliseconds timeout,
                                    const std::function<bool()>& keepWaiting) {
    if (connection_ == nullptr) return XCB_WINDOW_NONE;
    const auto deadline = Clock::now() + timeout;
    const auto matches = [&](xcb_window_t window) {
        return title(window).rfind(titlePrefix, 0) == 0;
    };

    // Windows that already exist: watched now; one already on screen counts.
    std::set<xcb_window_t> watched;
    auto tree =
        owned(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
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
            auto event = owned(raw);
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
        if (xcb_connection_has_error(connection_) != 0) return XCB_WINDOW_NONE;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return XCB_WINDOW_NONE;
        if (keepWaiting && !keepWaiting()) return XCB_WINDOW_NONE;
        pollfd p{xcb_get_file_descriptor(connection_), POLLIN, 0};
        poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
    }
}

bool WindowWatch::requestClose(xcb_window_t window) {
    if (connection_ == nullptr) return false;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    // A reply to a later request proves the server has handled the message.
    auto focus =
        owned(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    return focus != nullptr;
}

}  // namespace zr8::x11
