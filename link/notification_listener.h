// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link's only way out. Called on the link's worker thread; references are
// valid only for the duration of the call, so receivers copy what they keep.

#include <cstdint>

#include "link/records.h"

namespace zr8 {

class iNotificationListener {
public:
    virtual void onStatus(int32_t statusCode) = 0;
    virtual void onConfiguration(int32_t statusCode, int32_t extra, const MountConfig& mount,
                                 const EncoderConfig& encoder) = 0;
    virtual void onMeridianFlipQuery(int32_t flipCase) = 0;
    virtual void reservedNotification(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e,
                                      int32_t f, int32_t g, int32_t h) = 0;
    virtual void onPositions(const EncoderPositions& positions) = 0;
    // The serial line opened, closed or could not be opened. Told before the
    // status that goes with it (2 after opening, 6 after a failed open).
    virtual void onConnection(const ConnectionInfo& connection) = 0;
    // For front ends that drive the mount; the others keep these empty.
    // A reading of the axis counters, asked for with readAxisPositions.
    virtual void onAxisPositions(const AxisReading&) {}
    // The side of the pier changed, or a connection set it (PierState values).
    virtual void onPierSide(int32_t) {}
    virtual ~iNotificationListener() = default;
};

}  // namespace zr8
