#include "platform/serial_line.h"

#include <system_error>

namespace zr8 {

bool SerialLine::open(const std::string& device, uint32_t baudRate) {
    close();
    lastError_ = PortError{};
    return port_.open(device.c_str(), baudRate, lastError_);
}

bool SerialLine::startReader(uint32_t tag) {
    if (!port_.isOpen() || !readerStop_.valid()) return false;
    stopReader();  // one that ended by itself and was never awaited
    readerStop_.reset();
    try {
        reader_ = std::thread([this, tag] { readerLoop(tag); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool SerialLine::write(const uint8_t* bytes, size_t count, int timeoutMs,
                       const WaitableEvent* giveUp) {
    return port_.write(bytes, count, timeoutMs, giveUp);
}

void SerialLine::stopReader() {
    readerStop_.set();
    if (reader_.joinable()) reader_.join();
}

void SerialLine::close() {
    // The reader goes before the handle does.
    stopReader();
    port_.close();
}

void SerialLine::readerLoop(uint32_t tag) {
    uint8_t buffer[kReadSlice];
    for (;;) {
        size_t received = 0;
        switch (port_.readSome(buffer, sizeof buffer, received, readerStop_)) {
            case SerialPort::ReadOutcome::Data:
                receiver_.onReceived(buffer, received, tag, readerStop_);
                break;
            case SerialPort::ReadOutcome::Stopped:
                return;
            case SerialPort::ReadOutcome::Lost:
                receiver_.onLost(tag, readerStop_);
                return;
        }
    }
}

}  // namespace zr8
