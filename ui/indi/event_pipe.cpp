// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/indi/event_pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <libindi/indidevapi.h>

namespace zr8::indi {

EventPipe::EventPipe(std::function<void()> onWake) : onWake_(std::move(onWake)) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    callbackId_ = IEAddCallback(readEnd_, &EventPipe::readable, this);
}

EventPipe::~EventPipe() {
    if (callbackId_ >= 0) IERmCallback(callbackId_);
    if (readEnd_ >= 0) ::close(readEnd_);
    if (writeEnd_ >= 0) ::close(writeEnd_);
}

void EventPipe::onMountEvent() {
    // One byte stands for any number of events: the loop takes them all.
    if (pending_.exchange(true, std::memory_order_acq_rel)) return;
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(writeEnd_, &wake, 1);
}

void EventPipe::readable(int fd, void* self) {
    auto* pipe = static_cast<EventPipe*>(self);
    char drained[64];
    while (::read(fd, drained, sizeof drained) > 0) {}
    // Cleared before the events are taken: one arriving meanwhile wakes again.
    pipe->pending_.store(false, std::memory_order_release);
    pipe->onWake_();
}

}  // namespace zr8::indi
