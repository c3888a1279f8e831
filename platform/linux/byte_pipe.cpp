// SPDX-License-Identifier: GPL-3.0-or-later
// Both ends from one pipe2(). The write end is non-blocking so a writer that
// finds the pipe full can also watch for release instead of hanging in write().
#include "platform/byte_pipe.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace zr8 {

static_assert(BytePipe::kMaxAtomicWrite <= PIPE_BUF, "messages must be written atomically");

BytePipe::BytePipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        readEnd_ = ends[0];
        writeEnd_ = ends[1];
    }
}

BytePipe::~BytePipe() {
    if (readEnd_ != kNoHandle) ::close(static_cast<int>(readEnd_));
    if (writeEnd_ != kNoHandle) ::close(static_cast<int>(writeEnd_));
}

bool BytePipe::write(const uint8_t* bytes, size_t count, const WaitableEvent* giveUp) {
    if (!valid() || count == 0 || count > kMaxAtomicWrite) return false;
    const int fd = static_cast<int>(writeEnd_);
    for (;;) {
        if (released_.isSet() || (giveUp != nullptr && giveUp->isSet())) return false;
        const ssize_t written = ::write(fd, bytes, count);
        if (written == static_cast<ssize_t>(count)) return true;
        if (written >= 0) return false;  // cannot happen below PIPE_BUF
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return false;
        pollfd waits[3] = {
            {fd, POLLOUT, 0},
            {static_cast<int>(released_.nativeHandle()), POLLIN, 0},
            {giveUp != nullptr ? static_cast<int>(giveUp->nativeHandle()) : -1, POLLIN, 0}};
        if (::poll(waits, 3, -1) < 0 && errno != EINTR) return false;
    }
}

size_t BytePipe::capacity() const {
    const int size = valid() ? ::fcntl(static_cast<int>(writeEnd_), F_GETPIPE_SZ) : -1;
    return size > 0 ? static_cast<size_t>(size) : 0;
}

void BytePipe::releaseWriters() { released_.set(); }

BytePipe::ReadOutcome BytePipe::read(uint8_t* buffer, size_t capacity, size_t& received,
                                     const WaitableEvent& quit, int timeoutMs) {
    received = 0;
    if (!valid() || capacity == 0) return ReadOutcome::Failed;
    pollfd waits[2] = {{static_cast<int>(quit.nativeHandle()), POLLIN, 0},
                       {static_cast<int>(readEnd_), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(waits, 2, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return ReadOutcome::Failed;
        }
        if (ready == 0) return ReadOutcome::TimedOut;
        if (waits[0].revents != 0) return ReadOutcome::Quit;
        const ssize_t got = ::read(static_cast<int>(readEnd_), buffer, capacity);
        if (got > 0) {
            received = static_cast<size_t>(got);
            return ReadOutcome::Data;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return ReadOutcome::Failed;  // every write end closed: cannot happen while we live
    }
}

}  // namespace zr8
