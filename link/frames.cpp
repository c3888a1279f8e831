// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/frames.h"

namespace zr8 {

namespace {

// Frame under construction: start, length placeholder, command, arguments.
class Frame {
public:
    explicit Frame(uint8_t command) { bytes_[2] = command; }
    Frame& b(uint8_t value) {
        bytes_[size_++] = value;
        return *this;
    }
    Frame& w(uint32_t value) {
        putU32(bytes_ + size_, value);
        size_ += 4;
        return *this;
    }
    bool send(iLinkTransport& port) {
        bytes_[1] = static_cast<uint8_t>(size_ - 2);
        return port.writePort(bytes_, size_);
    }

private:
    uint8_t bytes_[kLongestFrame] = {kFrameStart};
    int size_ = 3;
};

}  // namespace

bool sendCommand(iLinkTransport& port, uint8_t command) { return Frame(command).send(port); }

bool sendCommandB(iLinkTransport& port, uint8_t command, uint8_t b0) {
    return Frame(command).b(b0).send(port);
}

bool sendCommandBB(iLinkTransport& port, uint8_t command, uint8_t b0, uint8_t b1) {
    return Frame(command).b(b0).b(b1).send(port);
}

bool sendCommandBBBB(iLinkTransport& port, uint8_t command, uint8_t b0, uint8_t b1, uint8_t b2,
                     uint8_t b3) {
    return Frame(command).b(b0).b(b1).b(b2).b(b3).send(port);
}

bool sendCommandBBW(iLinkTransport& port, uint8_t command, uint8_t b0, uint8_t b1, uint32_t w0) {
    return Frame(command).b(b0).b(b1).w(w0).send(port);
}

bool sendCommandBx9(iLinkTransport& port, uint8_t command, uint8_t flag, const uint8_t (&data)[8]) {
    Frame frame(command);
    frame.b(flag);
    for (uint8_t value : data) frame.b(value);
    return frame.send(port);
}

bool sendCommandBBWW(iLinkTransport& port, uint8_t command, uint8_t b0, uint8_t b1, uint32_t w0,
                     uint32_t w1) {
    return Frame(command).b(b0).b(b1).w(w0).w(w1).send(port);
}

}  // namespace zr8
