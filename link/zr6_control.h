// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the model and the dialogs see of the controller link. Every operation
// only queues a request and returns at once; results come back through
// iNotificationListener on the link's worker thread.

#include <cstdint>

#include "link/heartbeat_listener.h"

namespace zr8 {

class iZR6Control : public iHeartBeatListener {
public:
    virtual void connect(uint8_t portNumber, uint32_t baudRate) = 0;
    virtual void disconnect() = 0;
    virtual void storeSettings() = 0;
    virtual void manualMove(uint8_t direction, uint8_t speedStep) = 0;
    virtual void stopMotion(uint8_t selector) = 0;
    virtual void setTracking(uint8_t on) = 0;
    virtual void pierSideMove(uint8_t selector) = 0;
    virtual void gotoPosition(int32_t raTarget, int32_t decTarget) = 0;
    virtual void meridianFlipChoice(uint16_t choice) = 0;
    virtual void setMotorReverse(uint8_t reverseBits, uint8_t motorOption) = 0;
    // Per-axis order: raFlags, raLeadingBits, raBitsPerRev, raBitsForRevs,
    // decFlags, decLeadingBits, decBitsPerRev, decBitsForRevs.
    virtual void setEncoderFormat(const uint8_t (&format)[8]) = 0;
    virtual void setEncoderCalibration(uint8_t reverseBits, int32_t raOffset,
                                       int32_t decOffset) = 0;
    virtual void readEncoders(uint8_t selector) = 0;
    virtual void readEncodersQuiet(uint8_t parameter) = 0;
    virtual void sendReserved(uint32_t a, uint32_t b) = 0;
    // For front ends that drive the mount. Reads the axis counters when no
    // reply is awaited (never during a slew); answered with onAxisPositions.
    virtual void readAxisPositions() = 0;
    // Sets the axis counters to where the sky position (the units of
    // gotoPosition) lies on the current side of the pier.
    virtual void syncPosition(int32_t raTarget, int32_t decTarget) = 0;
    // Stops both axes and ends the slew being followed: no correction pass.
    virtual void abortMotion() = 0;
    // The side of the pier (PierState 6 or 7) where the front end knows
    // better than a new connection, which takes the east side: a mount
    // left on the west side shows it in its axis counters. Refused
    // (status 10) while a reply is awaited or a flip is under way.
    virtual void setPierSide(uint8_t pierState) = 0;
    virtual ~iZR6Control() = default;
};

}  // namespace zr8
