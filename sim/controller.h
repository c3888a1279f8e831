// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated ZR8's command interpreter: one complete command frame in,
// at most one reply frame out. It owns the live settings, the mount model
// and the state file. Pure apart from the state file; time comes in with
// every frame. Not thread-safe: the pty server serialises the calls.

#include <cstdint>
#include <span>
#include <string>

#include "sim/controller_settings.h"
#include "sim/frame_codec.h"
#include "sim/mount_model.h"

namespace zr8::sim {

struct AxisSnapshot {
    AxisState state;
    uint32_t encoderWord = 0;  // what a 0x7A read would return now
};

struct MountSnapshot {
    AxisSnapshot ra;
    AxisSnapshot dec;
    bool tracking = false;
    ControllerSettings settings;  // live
    ControllerSettings stored;    // as last stored (or loaded at start)
    uint32_t framesHandled = 0;   // complete frames given to the controller
    uint32_t framesIgnored = 0;   // unknown commands and wrong lengths among them
    uint32_t storeCount = 0;      // store-settings commands carried out
};

class Controller {
public:
    // Loads config.stateFile when it exists; a file that cannot be read or
    // parsed is reported through ok()/error() and the initial settings are used.
    explicit Controller(const SimConfig& config, SimTime now = SimTime{0});

    // The settings writes a fault may ignore: store (0x0D), format (0x18),
    // motor reverse (0x32) and calibration (0x7C).
    static constexpr uint8_t kIgnorableCommands[] = {0x0D, 0x18, 0x32, 0x7C};
    static bool ignorable(uint8_t command);
    // A fault: `command` (one of the above, or 0 for none) is answered as
    // usual but changes nothing, as a controller that drops a write would.
    void ignoreCommand(uint8_t command) { ignored_ = ignorable(command) ? command : 0; }

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    // frame: 0xAA, length, command, arguments. Returns false when the
    // command gets no reply (write commands answered by silence, unknown
    // commands, wrong lengths); otherwise `reply` holds the reply frame.
    bool handleFrame(std::span<const uint8_t> frame, SimTime now, ReplyFrame& reply);

    MountSnapshot snapshot(SimTime now) const;
    MountModel& model() { return model_; }
    const ControllerSettings& settings() const { return settings_; }
    // The last store-settings failure (state file not writable), empty if none.
    const std::string& storeError() const { return storeError_; }

    uint32_t encoderWord(Axis axis, SimTime now) const;

private:
    bool answer(uint8_t command, std::span<const uint8_t> args, SimTime now, ReplyFrame& reply);
    void store();

    SimConfig config_;
    std::string error_;  // before settings_: the state file is read while they are built
    ControllerSettings settings_;
    ControllerSettings stored_;
    MountModel model_;
    std::string storeError_;
    uint32_t framesHandled_ = 0;
    uint32_t framesIgnored_ = 0;
    uint32_t storeCount_ = 0;
    uint8_t ignored_ = 0;
};

}  // namespace zr8::sim
