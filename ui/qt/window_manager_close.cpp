// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/window_manager_close.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace zr8::ui {

namespace {

struct CloseAtoms {
    xcb_atom_t protocols = XCB_ATOM_NONE;
    xcb_atom_t deleteWindow = XCB_ATOM_NONE;
};

xcb_atom_t existingAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The toolkit has interned both atoms before any window can be closed.
const CloseAtoms& closeAtoms() {
    static const CloseAtoms atoms = [] {
        CloseAtoms found;
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 != nullptr && x11->connection() != nullptr) {
            found.protocols = existingAtom(x11->connection(), "WM_PROTOCOLS");
            found.deleteWindow = existingAtom(x11->connection(), "WM_DELETE_WINDOW");
        }
        return found;
    }();
    return atoms;
}

}  // namespace

bool isWindowManagerClose(const QByteArray& eventType, const void* message) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    const CloseAtoms& atoms = closeAtoms();
    return client->format == 32 && atoms.protocols != XCB_ATOM_NONE &&
           client->type == atoms.protocols && client->data.data32[0] == atoms.deleteWindow;
}

}  // namespace zr8::ui
