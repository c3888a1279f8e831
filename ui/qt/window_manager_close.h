// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Recognising the window manager's request to close a window among the
// native events a window receives. The toolkit drops such a request for a
// window that a modal dialog blocks, so a window that must always obey it
// looks for it itself.

#include <QByteArray>

namespace zr8::ui {

// True for X11's WM_PROTOCOLS client message carrying WM_DELETE_WINDOW; false
// for anything else and on other window systems.
bool isWindowManagerClose(const QByteArray& eventType, const void* message);

}  // namespace zr8::ui
