// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the link's logic needs from the worker side: the serial port and the
// connect pause. The running program implements it over the platform layer;
// tests implement it with a recorder, so the logic runs without threads.

#include <cstdint>

#include "link/records.h"

namespace zr8 {

class iLinkTransport {
public:
    // Opens and configures the port the catalogue maps the number to, and
    // fills `connection` with what was opened (state Open) or why nothing
    // could be (state OpenFailed).
    virtual bool openPort(uint8_t portNumber, uint32_t baudRate, ConnectionInfo& connection) = 0;
    // The reader tags its port-lost notice with `portGeneration`, which
    // names this opening of the port.
    virtual void startReader(uint8_t portGeneration) = 0;
    // Stops the reader, then purges and closes the port. Safe when closed.
    virtual void closePort() = 0;
    // Writes one whole frame; the result is that of the completion wait
    // (true when the frame was handed to the driver in time).
    virtual bool writePort(const uint8_t* bytes, int length) = 0;
    // The pause between opening the port and the identify frame.
    virtual void pause(int milliseconds) = 0;

protected:
    ~iLinkTransport() = default;
};

}  // namespace zr8
