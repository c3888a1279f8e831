// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A mount front end's long-lived objects: the sidereal clock, the session,
// the heartbeat and the link, wired together on construction and taken down
// in an order that lets no thread call into an object already gone.
//
// Threads: made and destroyed on the front end's thread.

#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "mount/mount_session.h"
#include "mount/site_clock.h"

namespace zr8 {
class PortCatalogue;
}

namespace zr8::mount {

class RunningMount {
public:
    // `ports` and `observer` must outlive this object.
    RunningMount(PortCatalogue& ports, iMountObserver* observer, int heartBeatMs = 250);
    ~RunningMount();
    RunningMount(const RunningMount&) = delete;
    RunningMount& operator=(const RunningMount&) = delete;

    SiteClock& clock() { return clock_; }
    MountSession& session() { return session_; }
    CommControl& link() { return link_; }

private:
    SiteClock clock_;
    MountSession session_;
    HeartBeat heartBeat_;
    CommControl link_;
};

}  // namespace zr8::mount
