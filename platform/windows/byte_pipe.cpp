// SPDX-License-Identifier: GPL-3.0-or-later
// The request pipe as a Win32 named pipe with both ends in this process: the
// server end, read with overlapped reads against the reader's quit event,
// and the client end, written with plain blocking WriteFile calls.
//
// A blocking write into a full pipe could not be given up, so a write is
// only started when the pipe has room for all of it: it then completes at
// once, whole. While the pipe is full the writer waits in short slices for
// the reader to make room, for releaseWriters() or for its give-up event.
// This holds when writers serialise their writes, as the header asks;
// writers that race may find room taken and wait inside WriteFile until the
// reader has read.
//
// No overlapped read outlives a call of read(): one that is still pending
// when the wait ends is cancelled and awaited, so its OVERLAPPED and the
// caller's buffer are never written after read() returned.
#include "platform/byte_pipe.h"

#include <algorithm>

#include "platform/windows/pipe_name.h"
#include "platform/windows/win_handle.h"

namespace zr8 {

namespace {

// What each direction of the pipe buffers. The pipe carries messages of at
// most kMaxAtomicWrite bytes, and the worker may fall behind by a few.
constexpr DWORD kPipeBuffer = 1024;
// While the pipe is full a writer looks for room this often.
constexpr DWORD kRoomPollMs = 2;
constexpr DWORD kDefaultTimeoutMs = 120000;
constexpr uint32_t kMaxPipesPerProcess = 64;

static_assert(BytePipe::kMaxAtomicWrite <= kPipeBuffer, "a message must fit an empty pipe");

}  // namespace

BytePipe::BytePipe() {
    // The process's name, or the first free one after it when this process
    // holds a pipe already. FILE_FLAG_FIRST_PIPE_INSTANCE: the one instance
    // is ours, so no other process can stand in for its server end.
    char name[kPipeNameCapacity];
    for (uint32_t sequence = 0; sequence < kMaxPipesPerProcess && readEnd_ == kNoHandle;
         ++sequence) {
        buildRequestPipeName(name, ::GetCurrentProcessId(), sequence);
        readEnd_ = fromHandle(::CreateNamedPipeA(
            name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
            kPipeBuffer, kPipeBuffer, kDefaultTimeoutMs, nullptr));
        const DWORD failure = ::GetLastError();
        if (readEnd_ == kNoHandle && failure != ERROR_ACCESS_DENIED && failure != ERROR_PIPE_BUSY) {
            return;
        }
    }
    readDone_ = fromHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (readEnd_ == kNoHandle || readDone_ == kNoHandle) return;

    // Opening the client end connects the pipe.
    writeEnd_ = fromHandle(::CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD inbound = 0;
    if (writeEnd_ != kNoHandle &&
        (!::GetNamedPipeInfo(toHandle(readEnd_), nullptr, nullptr, &inbound, nullptr) ||
         inbound < kPipeBuffer)) {
        // A smaller buffer than asked for would let a write that "fits" block.
        closeNativeHandle(writeEnd_);
    }
}

BytePipe::~BytePipe() {
    closeNativeHandle(writeEnd_);
    closeNativeHandle(readEnd_);
    closeNativeHandle(readDone_);
}

bool BytePipe::write(const uint8_t* bytes, size_t count, const WaitableEvent* giveUp) {
    if (!valid() || count == 0 || count > kMaxAtomicWrite) return false;
    // Windows refuses a wait on the same handle twice (Wine does not).
    const HANDLE stops[2] = {toHandle(released_.nativeHandle()),
                             giveUp != nullptr ? toHandle(giveUp->nativeHandle()) : nullptr};
    const DWORD stopCount = giveUp != nullptr ? 2 : 1;
    for (;;) {
        if (::WaitForMultipleObjects(stopCount, stops, FALSE, 0) != WAIT_TIMEOUT) return false;
        DWORD queued = 0;
        if (!::PeekNamedPipe(toHandle(readEnd_), nullptr, 0, nullptr, &queued, nullptr)) {
            return false;
        }
        if (queued + count <= kPipeBuffer) break;
        ::WaitForMultipleObjects(stopCount, stops, FALSE, kRoomPollMs);
    }
    DWORD written = 0;
    return ::WriteFile(toHandle(writeEnd_), bytes, static_cast<DWORD>(count), &written, nullptr) &&
           written == count;
}

size_t BytePipe::capacity() const { return valid() ? kPipeBuffer : 0; }

void BytePipe::releaseWriters() { released_.set(); }

BytePipe::ReadOutcome BytePipe::read(uint8_t* buffer, size_t capacity, size_t& received,
                                     const WaitableEvent& quit, int timeoutMs) {
    received = 0;
    if (!valid() || capacity == 0) return ReadOutcome::Failed;

    const HANDLE pipe = toHandle(readEnd_);
    OVERLAPPED overlapped{};
    overlapped.hEvent = toHandle(readDone_);
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(capacity, kPipeBuffer));
    if (!::ReadFile(pipe, buffer, wanted, nullptr, &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
        return ReadOutcome::Failed;
    }
    // Quit first: it wins when both are ready, also over a read that
    // completed at once.
    const HANDLE waits[2] = {toHandle(quit.nativeHandle()), overlapped.hEvent};
    const DWORD woke = ::WaitForMultipleObjects(
        2, waits, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (woke != WAIT_OBJECT_0 + 1) ::CancelIoEx(pipe, &overlapped);
    DWORD got = 0;
    ::GetOverlappedResult(pipe, &overlapped, &got, TRUE);  // also awaits the cancel

    if (woke == WAIT_OBJECT_0) return ReadOutcome::Quit;
    // Bytes count even when a cancel came too late to stop the read.
    if (got > 0) {
        received = got;
        return ReadOutcome::Data;
    }
    if (woke == WAIT_TIMEOUT) return ReadOutcome::TimedOut;
    return ReadOutcome::Failed;
}

}  // namespace zr8
