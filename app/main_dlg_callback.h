// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the model calls on the main dialog. Called only from AppModel::dispatch,
// that is on the user-interface thread, one operation per notification code.

#include <cstdint>

#include "link/records.h"

namespace zr8 {

class iMainDlgCallback {
public:
    virtual void showStatus(int32_t statusCode) = 0;
    // `extra` is the model's published copy; the main dialog ignores it.
    virtual void showConfiguration(int32_t statusCode, int32_t extra) = 0;
    virtual void askMeridianFlip(int32_t flipCase) = 0;
    virtual void reservedNotification(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e,
                                      int32_t f, int32_t g, int32_t h) = 0;
    // `positions` is the model's published record, valid until the next dispatch.
    virtual void showPositions(const EncoderPositions& positions) = 0;
    // `connection` is the model's published record, valid until the next dispatch.
    virtual void showConnection(const ConnectionInfo& connection) = 0;
    virtual ~iMainDlgCallback() = default;
};

}  // namespace zr8
