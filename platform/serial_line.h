// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One link's serial line: the port (or a stream that serves the line inside
// this process), the thread that reads it, and why the last opening failed. The reader hands every
// received byte to a receiver and says once when the device has gone away (unplugged, hung up); it
// never spins on a dead device.
//
// Threads: open, write, startReader and close on one thread (the link's
// worker, or teardown once the worker has ended). The receiver is called on
// the reader thread. close() waits for the reader: a receiver that waits for
// anything (a lock, room in a pipe) must give up when the `stop` event it is
// handed is set, or close() would wait for it in turn.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/byte_stream.h"
#include "platform/port_error.h"
#include "platform/serial_port.h"
#include "platform/waitable_event.h"

namespace zr8 {

class iLineReceiver {
public:
    // `tag` is the caller's name for the opening the bytes came from.
    virtual void onReceived(const uint8_t* bytes, size_t count, uint32_t tag,
                            const WaitableEvent& stop) = 0;
    // The device went away under the open port; said once, then the reader
    // ends.
    virtual void onLost(uint32_t tag, const WaitableEvent& stop) = 0;

protected:
    ~iLineReceiver() = default;
};

class SerialLine {
public:
    // Bytes asked for in one read.
    static constexpr size_t kReadSlice = 128;

    explicit SerialLine(iLineReceiver& receiver) : receiver_(receiver) {}
    ~SerialLine() { close(); }
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Opens `device` for this program alone, raw 8N1 at `baudRate`. On
    // failure lastError() says why and what the operator can do.
    bool open(const std::string& device, uint32_t baudRate);
    // Takes an open stream as the line instead of a device; false (with
    // lastError() filled) when it is not open.
    bool open(std::shared_ptr<iByteStream> stream);
    const PortError& lastError() const { return lastError_; }
    bool isOpen() const { return stream_->isOpen(); }

    // Starts reading the open port; false when no thread could be made.
    bool startReader(uint32_t tag);

    // One whole frame, waiting at most `timeoutMs` for the driver to take it
    // or until `giveUp` is set; nothing stays pending afterwards.
    bool write(const uint8_t* bytes, size_t count, int timeoutMs, const WaitableEvent* giveUp);

    // Stops and awaits the reader, then discards what is unsent and unread
    // and closes. Safe when closed.
    void close();

private:
    void stopReader();
    void readerLoop(uint32_t tag);

    iLineReceiver& receiver_;
    SerialPort port_;
    std::shared_ptr<iByteStream> provided_;
    iByteStream* stream_ = &port_;  // port_ or provided_
    WaitableEvent readerStop_;
    std::thread reader_;
    PortError lastError_;
};

}  // namespace zr8
