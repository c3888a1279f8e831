// SPDX-License-Identifier: GPL-3.0-or-later
// A manual-reset event on an eventfd: readable while its counter is non-zero.
#include "platform/waitable_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace zr8 {

WaitableEvent::WaitableEvent() {
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd >= 0) handle_ = fd;
}

WaitableEvent::~WaitableEvent() {
    if (valid()) ::close(static_cast<int>(handle_));
}

void WaitableEvent::set() {
    if (!valid()) return;
    const uint64_t one = 1;
    // EAGAIN only when the counter is about to overflow: it is set anyway.
    while (::write(static_cast<int>(handle_), &one, sizeof one) < 0 && errno == EINTR) {}
}

void WaitableEvent::reset() {
    if (!valid()) return;
    uint64_t value = 0;
    while (::read(static_cast<int>(handle_), &value, sizeof value) < 0 && errno == EINTR) {}
}

bool WaitableEvent::isSet() const { return wait(0); }

bool WaitableEvent::wait(int milliseconds) const {
    if (!valid()) return false;
    pollfd entry{static_cast<int>(handle_), POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, milliseconds < 0 ? -1 : milliseconds);
        if (ready >= 0) return ready > 0 && (entry.revents & POLLIN) != 0;
        if (errno != EINTR) return false;
        // A signal cut the wait short; waiting the whole time again is harmless
        // for the short waits this is used for.
    }
}

int waitForEither(const WaitableEvent& first, const WaitableEvent& second, int milliseconds) {
    if (!first.valid() || !second.valid()) return -1;
    pollfd entries[2] = {{static_cast<int>(first.nativeHandle()), POLLIN, 0},
                         {static_cast<int>(second.nativeHandle()), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, milliseconds < 0 ? -1 : milliseconds);
        if (ready > 0) {
            if ((entries[0].revents & POLLIN) != 0) return 0;
            if ((entries[1].revents & POLLIN) != 0) return 1;
            return -1;
        }
        if (ready == 0 || errno != EINTR) return -1;
    }
}

}  // namespace zr8
