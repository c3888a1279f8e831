// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/serial_line.h"

#include <system_error>

namespace zr8 {

bool SerialLine::open(const std::string& device, uint32_t baudRate) {
    close();
    lastError_ = PortError{};
    return port_.open(device.c_str(), baudRate, lastError_);
}

bool SerialLine::open(std::shared_ptr<iByteStream> stream) {
    close();
    lastError_ = PortError{};
    if (!stream || !stream->isOpen()) {
        lastError_.code = PortErrorCode::Other;
        lastError_.systemMessage = "The line could not be started";
        return false;
    }
    provided_ = std::move(stream);
    stream_ = provided_.get();
    return true;
}

bool SerialLine::startReader(uint32_t tag) {
    if (!stream_->isOpen() || !readerStop_.valid()) return false;
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
    return stream_->write(bytes, count, timeoutMs, giveUp);
}

void SerialLine::stopReader() {
    readerStop_.set();
    if (reader_.joinable()) reader_.join();
}

void SerialLine::close() {
    // The reader goes before the handle does.
    stopReader();
    stream_->close();
    stream_ = &port_;
    provided_.reset();
}

void SerialLine::readerLoop(uint32_t tag) {
    uint8_t buffer[kReadSlice];
    for (;;) {
        size_t received = 0;
        switch (stream_->readSome(buffer, sizeof buffer, received, readerStop_)) {
        case iByteStream::ReadOutcome::Data:
            receiver_.onReceived(buffer, received, tag, readerStop_);
            break;
        case iByteStream::ReadOutcome::Stopped:
            return;
        case iByteStream::ReadOutcome::Lost:
            receiver_.onLost(tag, readerStop_);
            return;
        }
    }
}

}  // namespace zr8
