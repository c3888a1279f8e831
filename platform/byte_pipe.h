// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An in-process byte pipe: many writers, one reader.
//
// Threads: write() may be called from any thread; callers that must keep
// whole messages together serialise their writes themselves. read() is
// called by one thread only. Messages of up to kMaxAtomicWrite bytes are
// written with one OS call and never torn.

#include <cstddef>
#include <cstdint>

#include "platform/native_handle.h"
#include "platform/waitable_event.h"

namespace zr8 {

class BytePipe {
public:
    static constexpr size_t kMaxAtomicWrite = 512;

    BytePipe();
    ~BytePipe();

    BytePipe(const BytePipe&) = delete;
    BytePipe& operator=(const BytePipe&) = delete;

    // False when the OS could not create the pipe; writes and reads then fail.
    bool valid() const { return readEnd_ != kNoHandle && writeEnd_ != kNoHandle; }

    // Bytes the pipe holds before a writer has to wait for the reader.
    size_t capacity() const;

    // Writes `count` bytes (at most kMaxAtomicWrite) in one piece. While the
    // pipe is full it waits for the reader, until releaseWriters() is called
    // or `giveUp` (if given) is set. False when the bytes were not written.
    bool write(const uint8_t* bytes, size_t count, const WaitableEvent* giveUp = nullptr);

    // Makes waiting and later writes give up, so no writer can hang once the
    // reader has gone away.
    void releaseWriters();

    enum class ReadOutcome { Data, TimedOut, Quit, Failed };

    // Waits up to `timeoutMs` for bytes or for `quit`; `quit` wins when both
    // are ready. On Data, `received` holds 1..capacity bytes.
    ReadOutcome read(uint8_t* buffer, size_t capacity, size_t& received, const WaitableEvent& quit,
                     int timeoutMs);

private:
    NativeHandle readEnd_ = kNoHandle;
    NativeHandle writeEnd_ = kNoHandle;
    WaitableEvent released_;
    // Where reads are asynchronous (Windows), the event their completion
    // sets; other systems leave it unused.
    [[maybe_unused]] NativeHandle readDone_ = kNoHandle;
};

}  // namespace zr8
