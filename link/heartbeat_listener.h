// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace zr8 {

// Receiver of the 250 ms heartbeat. Called on the heartbeat thread with the
// heartbeat's lock held: implementations must not call back into it.
class iHeartBeatListener {
public:
    virtual void onHeartBeat() = 0;

protected:
    ~iHeartBeatListener() = default;
};

}  // namespace zr8
