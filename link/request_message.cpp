// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/request_message.h"

#include <cstring>

#include "link/wire.h"

namespace zr8 {

namespace {

// Header and code; the body length is what follows the header.
uint8_t* startRequest(uint8_t* out, LinkRequest code, size_t bodyLength) {
    out[0] = static_cast<uint8_t>(kHeaderRequest | bodyLength);
    out[1] = static_cast<uint8_t>(code);
    return out + 2;
}

size_t requestB(uint8_t* out, LinkRequest code, uint8_t b0) {
    startRequest(out, code, 2)[0] = b0;
    return 3;
}

size_t requestBB(uint8_t* out, LinkRequest code, uint8_t b0, uint8_t b1) {
    uint8_t* p = startRequest(out, code, 3);
    p[0] = b0;
    p[1] = b1;
    return 4;
}

size_t requestWW(uint8_t* out, LinkRequest code, uint32_t w0, uint32_t w1) {
    putU32(putU32(startRequest(out, code, 9), w0), w1);
    return 10;
}

}  // namespace

size_t buildHeartbeatMessage(uint8_t* out) {
    out[0] = kHeaderHeartbeat;
    out[1] = 0x00;
    return 2;
}

size_t buildConnectMessage(uint8_t* out, uint8_t portNumber, uint32_t baudRate) {
    uint8_t* p = startRequest(out, LinkRequest::Connect, 6);
    *p++ = portNumber;
    putU32(p, baudRate);
    return 7;
}

size_t buildDisconnectMessage(uint8_t* out) {
    startRequest(out, LinkRequest::Disconnect, 1);
    return 2;
}

size_t buildStoreSettingsMessage(uint8_t* out) {
    startRequest(out, LinkRequest::StoreSettings, 1);
    return 2;
}

size_t buildManualMoveMessage(uint8_t* out, uint8_t direction, uint8_t speedStep) {
    return requestBB(out, LinkRequest::ManualMove, direction, speedStep);
}

size_t buildStopMessage(uint8_t* out, uint8_t selector) {
    return requestB(out, LinkRequest::Stop, selector);
}

size_t buildTrackingMessage(uint8_t* out, uint8_t on) {
    return requestB(out, LinkRequest::Tracking, on);
}

size_t buildPierSideMoveMessage(uint8_t* out, uint8_t selector) {
    return requestB(out, LinkRequest::PierSideMove, selector);
}

size_t buildGotoMessage(uint8_t* out, int32_t raTarget, int32_t decTarget) {
    return requestWW(out, LinkRequest::Goto, static_cast<uint32_t>(raTarget),
                     static_cast<uint32_t>(decTarget));
}

size_t buildMeridianFlipChoiceMessage(uint8_t* out, uint16_t choice) {
    putU16(startRequest(out, LinkRequest::MeridianFlipChoice, 3), choice);
    return 4;
}

size_t buildMotorReverseMessage(uint8_t* out, uint8_t reverseBits, uint8_t motorOption) {
    return requestBB(out, LinkRequest::MotorReverse, reverseBits, motorOption);
}

size_t buildEncoderFormatMessage(uint8_t* out, const uint8_t (&format)[8]) {
    std::memcpy(startRequest(out, LinkRequest::EncoderFormat, 9), format, 8);
    return 10;
}

size_t buildEncoderCalibrationMessage(uint8_t* out, uint8_t reverseBits, int32_t raOffset,
                                      int32_t decOffset) {
    uint8_t* p = startRequest(out, LinkRequest::EncoderCalibration, 10);
    *p++ = reverseBits;
    putU32(putU32(p, static_cast<uint32_t>(raOffset)), static_cast<uint32_t>(decOffset));
    return 11;
}

size_t buildReadEncodersMessage(uint8_t* out, uint8_t selector) {
    return requestB(out, LinkRequest::ReadEncoders, selector);
}

size_t buildReadEncodersQuietMessage(uint8_t* out, uint8_t parameter) {
    return requestB(out, LinkRequest::ReadEncodersQuiet, parameter);
}

size_t buildReservedMessage(uint8_t* out, uint32_t a, uint32_t b) {
    return requestWW(out, LinkRequest::Reserved, a, b);
}

size_t buildReadAxisPositionsMessage(uint8_t* out) {
    startRequest(out, LinkRequest::ReadAxisPositions, 1);
    return 2;
}

size_t buildSyncMessage(uint8_t* out, int32_t raTarget, int32_t decTarget) {
    return requestWW(out, LinkRequest::Sync, static_cast<uint32_t>(raTarget),
                     static_cast<uint32_t>(decTarget));
}

size_t buildAbortMessage(uint8_t* out) {
    startRequest(out, LinkRequest::Abort, 1);
    return 2;
}

size_t buildPierSideMessage(uint8_t* out, uint8_t pierState) {
    return requestB(out, LinkRequest::PierSide, pierState);
}

size_t buildSerialDataMessage(uint8_t* out, const uint8_t* bytes, size_t count) {
    if (count == 0) return 0;
    const size_t n = count < kMaxSerialChunk ? count : kMaxSerialChunk;
    out[0] = static_cast<uint8_t>(kHeaderSerialData | n);
    std::memcpy(out + 1, bytes, n);
    return n + 1;
}

}  // namespace zr8
