// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the link's reports reach the INDI event loop, which is the driver's
// only thread allowed to call INDI: the session's observer writes one byte
// into a pipe (at most one unread at a time), and the loop, watching the
// pipe's read end with IEAddCallback, empties it and runs `onWake`.

#include <atomic>
#include <functional>

#include "mount/mount_session.h"

namespace zr8::indi {

class EventPipe final : public mount::iMountObserver {
public:
    explicit EventPipe(std::function<void()> onWake);
    ~EventPipe();
    EventPipe(const EventPipe&) = delete;
    EventPipe& operator=(const EventPipe&) = delete;

    bool valid() const { return readEnd_ >= 0; }

    // Any thread.
    void onMountEvent() override;

private:
    static void readable(int fd, void* self);

    std::function<void()> onWake_;
    int readEnd_ = -1;
    int writeEnd_ = -1;
    int callbackId_ = -1;
    std::atomic<bool> pending_{false};
};

}  // namespace zr8::indi
