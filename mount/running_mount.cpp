// SPDX-License-Identifier: GPL-3.0-or-later
#include "mount/running_mount.h"

namespace zr8::mount {

RunningMount::RunningMount(PortCatalogue& ports, iMountObserver* observer, int heartBeatMs)
    : session_(clock_, observer),
      heartBeat_(heartBeatMs),
      link_(session_, clock_, initialEncoderFormat(), ports) {
    session_.attach(&link_);
    heartBeat_.setListener(&link_);
    heartBeat_.start();
}

RunningMount::~RunningMount() {
    // No tick reaches the link once it is going, and no report the session
    // once the link's threads have ended.
    heartBeat_.clearListener();
    link_.shutdown();
    session_.attach(nullptr);
    heartBeat_.stop();
}

}  // namespace zr8::mount
