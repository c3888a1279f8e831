// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the model reaches the user-interface thread from a link thread: post a
// notification code and one integer to the main dialog and return at once.
// Safe to call from any thread; the receiver hands both back to
// AppModel::dispatch on its own thread.

#include <cstdint>

namespace zr8 {

class iWMUserSender {
public:
    // False when the message could not be queued.
    virtual bool postUserMessage(int32_t code, int32_t argument) = 0;

protected:
    ~iWMUserSender() = default;
};

}  // namespace zr8
