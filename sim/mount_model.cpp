// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/mount_model.h"

#include <cmath>
#include <cstdlib>

namespace zr8::sim {

namespace {

double seconds(SimTime from, SimTime to) {
    return to > from ? std::chrono::duration<double>(to - from).count() : 0.0;
}

int32_t wrap32(double counter) {
    const double f = std::floor(counter);
    // Through 64 bits and the unsigned type: the counter wraps like the
    // controller's 32-bit register.
    const int64_t whole = std::fabs(f) < 9.2e18 ? static_cast<int64_t>(f) : 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
}

// The counter is 32 bits: a target is reached the short way round the
// register, as the controller's own subtraction would find it.
double shortWayTo(double counter, int32_t target) {
    const int32_t delta = static_cast<int32_t>(static_cast<uint32_t>(target) -
                                               static_cast<uint32_t>(wrap32(counter)));
    return std::floor(counter) + delta;
}

// The axis byte of a command: 0x80 selects RA, 0x40 Dec.
bool selects(uint8_t axisMask, Axis axis) {
    return (axisMask & (axis == Axis::Ra ? 0x80 : 0x40)) != 0;
}

}  // namespace

MountModel::MountModel(const ControllerSettings& settings, SimTime now) : settings_(settings) {
    for (Motion& m : motion_) m.t0 = now;
}

const AxisSettings& MountModel::axisSettings(Axis axis) const {
    return axis == Axis::Ra ? settings_.ra : settings_.dec;
}

double MountModel::direction(Axis axis) const {
    const uint8_t bit = axis == Axis::Ra ? 0x01 : 0x02;
    return (settings_.reverseMotor & bit) ? -1.0 : 1.0;
}

double MountModel::siderealStepsPerSecond(Axis axis) const {
    return axisSettings(axis).microstepResolution / kSiderealDaySeconds;
}

double MountModel::maxStepsPerSecond(Axis axis) const {
    const uint16_t factor = axisSettings(axis).speedFactor;
    return siderealStepsPerSecond(axis) * (factor ? factor : 1);
}

double MountModel::stepsPerSecond(Axis axis, int64_t speed) const {
    const AxisSettings& a = axisSettings(axis);
    if (a.baseSpeed == 0) return 0.0;
    const int64_t limit = int64_t{a.baseSpeed} * (a.speedFactor ? a.speedFactor : 1);
    if (speed > limit) speed = limit;
    if (speed < -limit) speed = -limit;
    return static_cast<double>(speed) / a.baseSpeed * siderealStepsPerSecond(axis);
}

double MountModel::counterAt(const Motion& m, Axis axis, SimTime now, double* speed,
                             MotionStatus* status) const {
    const double dt = seconds(m.t0, now);
    const double track = (axis == Axis::Ra && tracking_) ? siderealStepsPerSecond(axis) : 0.0;
    const MotionStatus idle = track != 0.0 ? MotionStatus::Tracking : MotionStatus::Stopped;
    switch (m.mode) {
    case Mode::Manual:
        if (speed) *speed = m.velocity;
        if (status) *status = MotionStatus::Manual;
        return m.start + m.velocity * dt;
    case Mode::Slew: {
        const double distance = m.target - m.start;
        const double duration = m.velocity > 0 ? std::fabs(distance) / m.velocity : 0.0;
        if (dt < duration) {
            const double v = distance < 0 ? -m.velocity : m.velocity;
            if (speed) *speed = v;
            if (status) *status = MotionStatus::Positioning;
            return m.start + v * dt;
        }
        if (speed) *speed = track;
        if (status) *status = idle;
        return m.target + track * (dt - duration);
    }
    case Mode::Idle:
        break;
    }
    if (speed) *speed = track;
    if (status) *status = idle;
    return m.start + track * dt;
}

void MountModel::rebase(Axis axis, SimTime now) {
    Motion& m = motion(axis);
    MotionStatus status = MotionStatus::Stopped;
    const double counter = counterAt(m, axis, now, nullptr, &status);
    m.shaftStart += direction(axis) * (counter - m.start);
    m.start = counter;
    m.t0 = now;
    if (m.mode == Mode::Slew && status != MotionStatus::Positioning) m.mode = Mode::Idle;
}

void MountModel::manualMove(uint8_t axisMask, int32_t speed, SimTime now) {
    for (Axis axis : {Axis::Ra, Axis::Dec}) {
        if (!selects(axisMask, axis)) continue;
        rebase(axis, now);
        Motion& m = motion(axis);
        m.controllerSpeed = speed;
        m.velocity = stepsPerSecond(axis, speed);
        m.mode = speed != 0 ? Mode::Manual : Mode::Idle;
    }
}

void MountModel::stop(uint8_t axisMask, SimTime now) {
    for (Axis axis : {Axis::Ra, Axis::Dec}) {
        if (!selects(axisMask, axis)) continue;
        rebase(axis, now);
        motion(axis).mode = Mode::Idle;
    }
}

void MountModel::setTracking(bool on, SimTime now) {
    rebase(Axis::Ra, now);
    tracking_ = on;
}

void MountModel::positionTo(uint8_t axisMask, int32_t raTarget, int32_t decTarget, SimTime now) {
    for (Axis axis : {Axis::Ra, Axis::Dec}) {
        if (!selects(axisMask, axis)) continue;
        rebase(axis, now);
        Motion& m = motion(axis);
        m.rawTarget = axis == Axis::Ra ? raTarget : decTarget;
        m.target = shortWayTo(m.start, m.rawTarget);
        m.velocity = maxStepsPerSecond(axis);
        m.mode = Mode::Slew;
    }
}

void MountModel::setPositions(uint8_t axisMask, int32_t raPosition, int32_t decPosition,
                              SimTime now) {
    for (Axis axis : {Axis::Ra, Axis::Dec}) {
        if (!selects(axisMask, axis)) continue;
        rebase(axis, now);
        Motion& m = motion(axis);
        const double value = axis == Axis::Ra ? raPosition : decPosition;
        m.start = value;
        // The target is a counter value, so it now lies elsewhere on the shaft.
        if (m.mode == Mode::Slew) m.target = shortWayTo(m.start, m.rawTarget);
    }
}

void MountModel::applySettings(const ControllerSettings& settings, SimTime now) {
    rebase(Axis::Ra, now);
    rebase(Axis::Dec, now);
    settings_ = settings;
    for (Axis axis : {Axis::Ra, Axis::Dec}) {
        Motion& m = motion(axis);
        if (m.mode == Mode::Manual) m.velocity = stepsPerSecond(axis, m.controllerSpeed);
        if (m.mode == Mode::Slew) m.velocity = maxStepsPerSecond(axis);
    }
}

void MountModel::setShaft(Axis axis, double shaftMicrosteps, SimTime now) {
    rebase(axis, now);
    motion(axis).shaftStart = shaftMicrosteps;
}

AxisState MountModel::axis(Axis axis, SimTime now) const {
    const Motion& m = motion(axis);
    AxisState s;
    const double counter = counterAt(m, axis, now, &s.speed, &s.status);
    s.position = wrap32(counter);
    s.shaft = m.shaftStart + direction(axis) * (counter - m.start);
    s.target = m.rawTarget;
    return s;
}

}  // namespace zr8::sim
