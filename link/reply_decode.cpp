// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/reply_decode.h"

#include "link/wire.h"

namespace zr8 {

namespace {

// Frame indices.
constexpr size_t kPayload = 2;  // the command answered
constexpr size_t kFirstValue = 3;
constexpr uint8_t kIdentifyLength = 5;
constexpr uint8_t kIdentifyCommand = 0x01;
constexpr size_t kAxisReplyRa = 4;
constexpr size_t kAxisReplyDec = 17;
constexpr size_t kMotorReverse = 4;
constexpr size_t kMotorOption = 5;
constexpr size_t kMotorBlockRa = 6;
constexpr size_t kMotorBlockDec = 33;
constexpr size_t kEncoderRa = 3;
constexpr size_t kEncoderDec = 7;
constexpr size_t kPollStatusRa = 4;
constexpr size_t kPollStatusDec = 5;
constexpr uint8_t kAxisMoving = 2;  // a motion status above this: still moving
constexpr size_t kPositionRa = 6;
constexpr size_t kPositionDec = 10;

constexpr uint64_t kArcsecPerTurn = 1296000;

// One motor block's fields, named after their offsets in the block.
struct MotorFields {
    uint32_t& speedFactor;
    uint16_t &m2, &m3, &m5, &m7, &m9;
    uint8_t &m11, &m12, &m13, &m14, &m15, &m16, &m17;
    uint16_t &m18, &m20;
    uint8_t& m22;
    uint32_t& m23;
};

void decodeMotorBlock(const uint8_t* b, const MotorFields& f) {
    f.speedFactor = readU16(b);
    f.m2 = b[2];
    f.m3 = readU16(b + 3);
    f.m5 = readU16(b + 5);
    f.m7 = readU16(b + 7);
    f.m9 = readU16(b + 9);
    f.m11 = b[11];
    f.m12 = b[12];
    f.m13 = b[13];
    f.m14 = b[14];
    f.m15 = b[15];
    f.m16 = b[16];
    f.m17 = b[17];
    f.m18 = readU16(b + 18);
    f.m20 = readU16(b + 20);
    f.m22 = b[22];
    f.m23 = readU32(b + 23);
}

int32_t arcseconds(uint64_t word, uint8_t bitsPerRev) {
    // Unsigned 64-bit product and truncating division; the low 32 bits kept.
    return static_cast<int32_t>(
        static_cast<uint32_t>(word * kArcsecPerTurn / countsPerRevolution(bitsPerRev)));
}

}  // namespace

bool decodeIdentify(const uint8_t* frame, uint32_t& identityWord) {
    if (frame[1] != kIdentifyLength || frame[kPayload] != kIdentifyCommand) return false;
    identityWord = readU32(frame + kFirstValue);
    return true;
}

void decodeQuery03(const uint8_t* frame, size_t length, MountConfig& mount) {
    mount.reply3Byte = length > kFirstValue ? frame[kFirstValue] : 0;
    mount.reply3Spare = 0;
}

void decodeQuery02(const uint8_t* frame, MountConfig& mount) {
    mount.reply2Word = readU32(frame + kFirstValue);
}

void decodeAxisConfiguration(const uint8_t* frame, MountConfig& m) {
    m.raAxisByte = frame[kAxisReplyRa];
    m.raGearRatio = readU32(frame + kAxisReplyRa + 1);
    m.raMicrostepResolution = readU32(frame + kAxisReplyRa + 5);
    m.raBaseSpeed = readU32(frame + kAxisReplyRa + 9);
    m.decAxisByte = frame[kAxisReplyDec];
    m.decGearRatio = readU32(frame + kAxisReplyDec + 1);
    m.decMicrostepResolution = readU32(frame + kAxisReplyDec + 5);
    m.decBaseSpeed = readU32(frame + kAxisReplyDec + 9);
}

void decodeMotorConfiguration(const uint8_t* frame, MountConfig& m) {
    m.reverseMotor = frame[kMotorReverse];
    m.motorOption = frame[kMotorOption];
    decodeMotorBlock(frame + kMotorBlockRa,
                     {m.raSpeedFactor, m.raMotor2, m.raMotor3, m.raMotor5, m.raMotor7, m.raMotor9,
                      m.raMotor11, m.raMotor12, m.raMotor13, m.raMotor14, m.raMotor15, m.raMotor16,
                      m.raMotor17, m.raMotor18, m.raMotor20, m.raMotor22, m.raMotor23});
    decodeMotorBlock(
        frame + kMotorBlockDec,
        {m.decSpeedFactor, m.decMotor2, m.decMotor3, m.decMotor5, m.decMotor7, m.decMotor9,
         m.decMotor11, m.decMotor12, m.decMotor13, m.decMotor14, m.decMotor15, m.decMotor16,
         m.decMotor17, m.decMotor18, m.decMotor20, m.decMotor22, m.decMotor23});
}

void decodeEncoderFormat(const uint8_t* frame, EncoderConfig& encoder) {
    storeWireFormat(encoder, frame + kFirstValue);
}

void decodeCalibration(const uint8_t* frame, EncoderConfig& encoder) {
    encoder.reverseEncoder = frame[kFirstValue];
    encoder.raOffset = readI32(frame + kFirstValue + 1);
    encoder.decOffset = readI32(frame + kFirstValue + 5);
}

void deriveAxisQuantities(MountConfig& mount, EncoderConfig& encoder) {
    mount.raMaxSpeed = mount.raBaseSpeed * mount.raSpeedFactor;
    mount.decMaxSpeed = mount.decBaseSpeed * mount.decSpeedFactor;
    encoder.raCountsPerRev = countsPerRevolution(encoder.raBitsPerRev);
    encoder.decCountsPerRev = countsPerRevolution(encoder.decBitsPerRev);
}

EncoderPositions decodeEncoderReading(const uint8_t* frame, const EncoderConfig& format) {
    EncoderPositions p;
    p.raRaw = readU32(frame + kEncoderRa);
    p.decRaw = readU32(frame + kEncoderDec);
    p.raArcsec = arcseconds(p.raRaw, format.raBitsPerRev);
    p.decArcsec = arcseconds(p.decRaw, format.decBitsPerRev);
    p.valid = 1;
    return p;
}

bool anyAxisMoving(const uint8_t* frame) {
    return frame[kPollStatusRa] > kAxisMoving || frame[kPollStatusDec] > kAxisMoving;
}

AxisPositions decodeAxisPositions(const uint8_t* frame) {
    return {readU32(frame + kPositionRa), readU32(frame + kPositionDec)};
}

}  // namespace zr8
