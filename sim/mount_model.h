// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated mount: two axes driven by stepper motors. Pure and
// single-threaded; every operation takes the current time, so tests run it
// in virtual time and the pty front-end in wall time.
//
// Each axis has a step counter (the "axis position" of the frames, in
// microsteps) and a shaft angle (where the axis really points, also in
// microsteps, which the encoder reads). They move together; a reversed
// motor turns the shaft against the counter, and setting the counter leaves
// the shaft where it is.
//
// Speeds are in the controller's units: baseSpeed is the sidereal rate, the
// largest speed is baseSpeed * speedFactor, and positioning moves run at it.

#include <chrono>
#include <cstdint>

#include "sim/controller_settings.h"

namespace zr8::sim {

using SimTime = std::chrono::nanoseconds;  // since an arbitrary epoch

inline constexpr double kSiderealDaySeconds = 86164.0905;

enum class Axis { Ra = 0, Dec = 1 };

// Motion status bytes of the poll reply; above 2 means the axis moves.
enum class MotionStatus : uint8_t { Stopped = 0, Tracking = 1, Manual = 3, Positioning = 4 };

struct AxisState {
    int32_t position = 0;  // step counter, wraps like the controller's 32-bit counter
    double shaft = 0;      // shaft angle in microsteps (not wrapped)
    double speed = 0;      // microsteps per second at this instant, signed
    MotionStatus status = MotionStatus::Stopped;
    int32_t target = 0;  // last positioning target
};

class MountModel {
public:
    explicit MountModel(const ControllerSettings& settings, SimTime now = SimTime{0});

    // Axis-select masks as on the wire: 0x80 RA, 0x40 Dec.
    void manualMove(uint8_t axisMask, int32_t speed, SimTime now);
    void stop(uint8_t axisMask, SimTime now);
    void setTracking(bool on, SimTime now);
    void positionTo(uint8_t axisMask, int32_t raTarget, int32_t decTarget, SimTime now);
    void setPositions(uint8_t axisMask, int32_t raPosition, int32_t decPosition, SimTime now);
    // Speed units, resolutions and motor directions, e.g. after a motor
    // reverse write. Motions in progress keep their controller speed.
    void applySettings(const ControllerSettings& settings, SimTime now);
    // Puts a shaft at an angle without touching its counter (a mount
    // assembled at some angle, or moved by hand with the clutch open).
    void setShaft(Axis axis, double shaftMicrosteps, SimTime now);

    AxisState axis(Axis axis, SimTime now) const;
    bool tracking() const { return tracking_; }

    // Microsteps per second for a speed in controller units, clamped to the maximum.
    double stepsPerSecond(Axis axis, int64_t speed) const;
    double maxStepsPerSecond(Axis axis) const;
    double siderealStepsPerSecond(Axis axis) const;

private:
    enum class Mode { Idle, Manual, Slew };
    struct Motion {
        Mode mode = Mode::Idle;
        int32_t controllerSpeed = 0;  // manual speed as commanded
        double start = 0;             // counter at t0 (unwrapped)
        double shaftStart = 0;
        double velocity = 0;  // manual: steps/s; slew: |steps/s|
        double target = 0;    // slew target (unwrapped)
        int32_t rawTarget = 0;
        SimTime t0{0};
    };

    void rebase(Axis axis, SimTime now);
    double counterAt(const Motion& m, Axis axis, SimTime now, double* speed,
                     MotionStatus* status) const;
    Motion& motion(Axis axis) { return motion_[static_cast<int>(axis)]; }
    const Motion& motion(Axis axis) const { return motion_[static_cast<int>(axis)]; }
    const AxisSettings& axisSettings(Axis axis) const;
    double direction(Axis axis) const;

    ControllerSettings settings_;
    Motion motion_[2];
    bool tracking_ = false;
};

}  // namespace zr8::sim
