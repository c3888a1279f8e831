// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/controller.h"

#include <cstring>

#include "sim/encoder_model.h"
#include "sim/state_file.h"

namespace zr8::sim {

namespace {

enum Command : uint8_t {
    Identify = 0x01,
    Query02 = 0x02,
    Query03 = 0x03,
    StoreSettings = 0x0D,
    AxisConfig = 0x14,
    MotorConfig = 0x15,
    ReadFormat = 0x17,
    WriteFormat = 0x18,
    PollMotion = 0x1E,
    ReadPositions = 0x1F,
    SetPositions = 0x20,
    Stop = 0x21,
    ManualSpeed = 0x23,
    Tracking = 0x24,
    PositionAxes = 0x25,
    WriteMotorReverse = 0x32,
    ReadEncoders = 0x7A,
    ReadCalibration = 0x7B,
    WriteCalibration = 0x7C,
    ReadEncodersUncalibrated = 0x7D,
    ReadEncoderData = 0x7E,
};

// The length byte each command comes with; anything else is not a frame
// this controller understands.
int expectedLength(uint8_t command) {
    switch (command) {
    case Identify:
    case Query02:
    case Query03:
    case AxisConfig:
    case MotorConfig:
    case ReadFormat:
    case ReadCalibration:
        return 1;
    case StoreSettings:
    case PollMotion:
    case ReadEncoders:
    case ReadEncodersUncalibrated:
    case ReadEncoderData:
        return 2;
    case ReadPositions:
    case Stop:
    case Tracking:
        return 3;
    case WriteMotorReverse:
        return 5;
    case ManualSpeed:
        return 7;
    case WriteFormat:
        return 10;
    case SetPositions:
    case PositionAxes:
    case WriteCalibration:
        return 11;
    default:
        return -1;
    }
}

ControllerSettings initialSettings(const SimConfig& config, std::string& error) {
    ControllerSettings s = config.settings;
    if (!config.stateFile.empty() && loadState(config.stateFile, s, &error) == StateLoad::Invalid)
        return config.settings;
    return s;
}

void putBlock(uint8_t* out, const AxisSettings& a) {
    std::memcpy(out, a.motorBlock.data(), kMotorBlockSize);
    writeU16(out, a.speedFactor);
}

void putAxis(uint8_t* out, const AxisSettings& a) {
    out[0] = a.axisByte;
    writeU32(out + 1, a.gearRatio);
    writeU32(out + 5, a.microstepResolution);
    writeU32(out + 9, a.baseSpeed);
}

void putFormat(uint8_t* out, const EncoderFormat& f) {
    out[0] = f.flags;
    out[1] = f.leadingBits;
    out[2] = f.bitsPerRev;
    out[3] = f.bitsForRevs;
}

EncoderFormat takeFormat(const uint8_t* in) { return {in[0], in[1], in[2], in[3]}; }

}  // namespace

Controller::Controller(const SimConfig& config, SimTime now)
    : config_(config),
      settings_(initialSettings(config, error_)),
      stored_(settings_),
      model_(settings_, now) {}

bool Controller::ignorable(uint8_t command) {
    for (uint8_t c : kIgnorableCommands) {
        if (c == command) return true;
    }
    return false;
}

bool Controller::handleFrame(std::span<const uint8_t> frame, SimTime now, ReplyFrame& reply) {
    reply.size = 0;
    ++framesHandled_;
    if (frame.size() < 3 || frame[0] != kCommandStart || frame[1] + 2u != frame.size() ||
        expectedLength(frame[2]) != frame[1]) {
        ++framesIgnored_;
        return false;
    }
    return answer(frame[2], frame.subspan(3), now, reply);
}

bool Controller::answer(uint8_t command, std::span<const uint8_t> args, SimTime now,
                        ReplyFrame& reply) {
    uint8_t p[64] = {command};
    size_t n = 1;
    if (command == ignored_ && ignored_ != 0) {
        // Acknowledged as a working controller would, and nothing changes.
        if (command != StoreSettings && command != WriteCalibration) return false;
        p[1] = 0;
        encodeReply({p, 2}, reply);
        return true;
    }
    switch (command) {
    case Identify:
        writeU32(p + 1, settings_.identityWord);
        n = 5;
        break;
    case Query03:
        p[1] = settings_.reply3Byte;
        n = 2;
        break;
    case Query02:
        writeU32(p + 1, settings_.reply2Word);
        n = 5;
        break;
    case AxisConfig:
        p[1] = 0xC0;  // the axes fitted
        putAxis(p + 2, settings_.ra);
        putAxis(p + 15, settings_.dec);
        n = 28;
        break;
    case MotorConfig:
        p[1] = 0xC0;
        p[2] = settings_.reverseMotor;
        p[3] = settings_.motorOption;
        putBlock(p + 4, settings_.ra);
        putBlock(p + 4 + kMotorBlockSize, settings_.dec);
        n = 4 + 2 * kMotorBlockSize;
        break;
    case ReadFormat:
        putFormat(p + 1, settings_.raFormat);
        putFormat(p + 5, settings_.decFormat);
        n = 9;
        break;
    case ReadCalibration:
        p[1] = settings_.reverseEncoder;
        writeU32(p + 2, static_cast<uint32_t>(settings_.raOffset));
        writeU32(p + 6, static_cast<uint32_t>(settings_.decOffset));
        n = 10;
        break;
    case ReadEncoders:
    case ReadEncodersUncalibrated:
    case ReadEncoderData:
        for (Axis axis : {Axis::Ra, Axis::Dec}) {
            const bool ra = axis == Axis::Ra;
            const AxisSettings& a = ra ? settings_.ra : settings_.dec;
            const EncoderFormat& f = ra ? settings_.raFormat : settings_.decFormat;
            const int64_t counts =
                encoderCounts(model_.axis(axis, now).shaft, a.microstepResolution, f.bitsPerRev);
            uint32_t word = 0;
            if (command == ReadEncoders)
                word = encoderWord(axis, now);
            else if (command == ReadEncodersUncalibrated)
                word = zr8::sim::encoderWord(counts, f, false, 0);
            else
                word = static_cast<uint32_t>(encoderSerialData(counts, f));
            writeU32(p + (ra ? 1 : 5), word);
        }
        n = 9;
        break;
    case PollMotion:
        p[1] = args[0];
        p[2] = static_cast<uint8_t>(model_.axis(Axis::Ra, now).status);
        p[3] = static_cast<uint8_t>(model_.axis(Axis::Dec, now).status);
        n = 4;
        break;
    case ReadPositions:
        p[1] = args[0];
        p[2] = args[1];
        p[3] = 0;
        writeU32(p + 4, static_cast<uint32_t>(model_.axis(Axis::Ra, now).position));
        writeU32(p + 8, static_cast<uint32_t>(model_.axis(Axis::Dec, now).position));
        n = 12;
        break;
    case PositionAxes:
        model_.positionTo(args[1], static_cast<int32_t>(readU32(args, 2)),
                          static_cast<int32_t>(readU32(args, 6)), now);
        p[1] = 0;  // accepted
        n = 2;
        break;
    case WriteCalibration:
        settings_.reverseEncoder = args[1];
        settings_.raOffset = static_cast<int32_t>(readU32(args, 2));
        settings_.decOffset = static_cast<int32_t>(readU32(args, 6));
        p[1] = 0;
        n = 2;
        break;
    case StoreSettings:
        store();
        p[1] = storeError_.empty() ? 0 : 1;
        n = 2;
        break;

    // Write commands answered by silence: the link awaits nothing for them,
    // and a stray reply could be taken for the one it is waiting for.
    case SetPositions:
        model_.setPositions(args[1], static_cast<int32_t>(readU32(args, 2)),
                            static_cast<int32_t>(readU32(args, 6)), now);
        return false;
    case Stop:
        model_.stop(args[1], now);
        return false;
    case ManualSpeed:
        model_.manualMove(args[1], static_cast<int32_t>(readU32(args, 2)), now);
        return false;
    case Tracking:
        model_.setTracking(args[1] != 0, now);
        return false;
    case WriteMotorReverse: {
        const uint8_t mask = args[1];
        uint8_t bits = settings_.reverseMotor;
        if (mask & 0x80) bits = static_cast<uint8_t>((bits & ~0x01) | (args[2] & 0x01));
        if (mask & 0x40) bits = static_cast<uint8_t>((bits & ~0x02) | (args[2] & 0x02));
        settings_.reverseMotor = bits;
        settings_.motorOption = args[3];
        model_.applySettings(settings_, now);
        return false;
    }
    case WriteFormat:
        settings_.raFormat = takeFormat(args.data() + 1);
        settings_.decFormat = takeFormat(args.data() + 5);
        return false;
    default:
        ++framesIgnored_;
        return false;
    }
    encodeReply({p, n}, reply);
    return true;
}

void Controller::store() {
    ++storeCount_;
    storeError_.clear();
    if (!config_.stateFile.empty() && !saveState(config_.stateFile, settings_, &storeError_))
        return;
    stored_ = settings_;
}

uint32_t Controller::encoderWord(Axis axis, SimTime now) const {
    const bool ra = axis == Axis::Ra;
    const AxisSettings& a = ra ? settings_.ra : settings_.dec;
    const EncoderFormat& f = ra ? settings_.raFormat : settings_.decFormat;
    const int64_t counts =
        encoderCounts(model_.axis(axis, now).shaft, a.microstepResolution, f.bitsPerRev);
    const bool reverse = settings_.reverseEncoder & (ra ? 0x01 : 0x02);
    return zr8::sim::encoderWord(counts, f, reverse, ra ? settings_.raOffset : settings_.decOffset);
}

MountSnapshot Controller::snapshot(SimTime now) const {
    MountSnapshot s;
    s.ra = {model_.axis(Axis::Ra, now), encoderWord(Axis::Ra, now)};
    s.dec = {model_.axis(Axis::Dec, now), encoderWord(Axis::Dec, now)};
    s.tracking = model_.tracking();
    s.settings = settings_;
    s.stored = stored_;
    s.framesHandled = framesHandled_;
    s.framesIgnored = framesIgnored_;
    s.storeCount = storeCount_;
    return s;
}

}  // namespace zr8::sim
