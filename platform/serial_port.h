// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One serial device, opened for this program alone, raw 8N1 at the requested
// rate with no flow control. The line's settings as open found them are put
// back by close, so a port opened by mistake is left as it was.
//
// Threads: open and close on one thread (the link's worker, or teardown after
// the worker ended); write on that thread only; readSome on one reader
// thread, which must have ended before close is called. Reads and writes may
// run at the same time.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/byte_stream.h"
#include "platform/native_handle.h"
#include "platform/port_error.h"
#include "platform/waitable_event.h"

namespace zr8 {

class SerialPort final : public iByteStream {
public:
    SerialPort();
    ~SerialPort();

    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens and configures `device`. A second program (or a second open in
    // this one) is refused with Busy. On failure `error` says why.
    bool open(const char* device, uint32_t baudRate, PortError& error);

    // Gives bytes still on their way out up to kDrainOnCloseMs to leave (a
    // store right before a disconnect must not be lost), then discards what
    // is unread and what could not leave, puts the line's settings back and
    // closes. Safe when closed.
    void close() override;
    static constexpr int kDrainOnCloseMs = 100;

    bool isOpen() const override { return handle_ != kNoHandle; }

    // Writes all bytes, waiting at most `timeoutMs` for the driver to take
    // them; true when it took them all in time. Bytes not taken by then are
    // dropped, nothing stays pending after the call. The wait also ends when
    // `giveUp` (if given) is set, so a stalled device cannot hold up a close.
    bool write(const uint8_t* bytes, size_t count, int timeoutMs,
               const WaitableEvent* giveUp = nullptr) override;

    // Waits for received bytes or for `stop`. Data: `received` holds 1..capacity
    // bytes. Lost: the device went away (unplugged, hung up); it will not come
    // back on this handle. `stop` is checked before every read, so a stream of
    // data cannot keep the reader from stopping.
    ReadOutcome readSome(uint8_t* buffer, size_t capacity, size_t& received,
                         const WaitableEvent& stop) override;

private:
    // Per system: the settings to put back and, where I/O is asynchronous
    // (Windows), what the transfers in flight use. Made by the first open.
    struct SystemState;

    NativeHandle handle_ = kNoHandle;
    std::unique_ptr<SystemState> system_;
};

}  // namespace zr8
