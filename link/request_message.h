// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The messages of the link's request pipe. Every producer (the public
// operations, the heartbeat, the serial reader) writes whole messages built
// here into a caller's buffer of kMessageCapacity bytes; the worker cuts the
// byte stream back into messages by their header byte (MessageCollector).
//
// Header: bit 7 set, bits 6..5 the kind, bits 4..0 n = bytes that follow.
// Multi-byte arguments are little-endian.

#include <cstddef>
#include <cstdint>

namespace zr8 {

inline constexpr size_t kMessageCapacity = 32;

enum class MessageKind : uint8_t {
    Request = 0,
    Heartbeat = 1,
    Control = 2,  // worker-internal notices, e.g. the port went away
    SerialData = 3,
};

inline constexpr uint8_t kHeaderRequest = 0x80;
inline constexpr uint8_t kHeaderHeartbeat = 0xA0;
inline constexpr uint8_t kHeaderControl = 0xC0;
inline constexpr uint8_t kHeaderSerialData = 0xE0;

inline constexpr MessageKind messageKind(uint8_t header) {
    return static_cast<MessageKind>((header >> 5) & 0x03);
}
inline constexpr size_t messageBodyLength(uint8_t header) { return header & 0x1F; }

// Request codes (byte 1 of a request message).
enum class LinkRequest : uint8_t {
    Connect = 2,
    Disconnect = 3,
    StoreSettings = 4,
    ManualMove = 5,
    Stop = 6,
    Tracking = 7,
    MotorReverse = 8,
    PierSideMove = 9,
    EncoderFormat = 10,
    ReadEncoders = 11,
    ReadEncodersQuiet = 12,
    Reserved = 13,
    EncoderCalibration = 14,
    Goto = 15,
    MeridianFlipChoice = 16,
    // Beyond the controller's original vocabulary, for mount front ends.
    ReadAxisPositions = 17,
    Sync = 18,
    Abort = 19,
    PierSide = 20,
};
inline constexpr LinkRequest kLastRequest = LinkRequest::PierSide;

// Written by the serial reader when the device went away under an open port:
// C2 01 and the opening it belongs to, so that a notice still in the pipe
// after a disconnect and a new connect cannot close the newer port.
inline constexpr uint8_t kControlPortLost = 0x01;
inline constexpr size_t buildPortLostMessage(uint8_t* out, uint8_t portGeneration) {
    out[0] = kHeaderControl | 2;
    out[1] = kControlPortLost;
    out[2] = portGeneration;
    return 3;
}

// A serial-data message carries at most this many received bytes.
inline constexpr size_t kMaxSerialChunk = 31;

// Each builder writes one message to `out` (at least kMessageCapacity bytes)
// and returns its length.
size_t buildHeartbeatMessage(uint8_t* out);  // A0 00: n = 0 needs one filler byte
size_t buildConnectMessage(uint8_t* out, uint8_t portNumber, uint32_t baudRate);
size_t buildDisconnectMessage(uint8_t* out);
size_t buildStoreSettingsMessage(uint8_t* out);
size_t buildManualMoveMessage(uint8_t* out, uint8_t direction, uint8_t speedStep);
size_t buildStopMessage(uint8_t* out, uint8_t selector);
size_t buildTrackingMessage(uint8_t* out, uint8_t on);
size_t buildPierSideMoveMessage(uint8_t* out, uint8_t selector);
size_t buildGotoMessage(uint8_t* out, int32_t raTarget, int32_t decTarget);
size_t buildMeridianFlipChoiceMessage(uint8_t* out, uint16_t choice);
size_t buildMotorReverseMessage(uint8_t* out, uint8_t reverseBits, uint8_t motorOption);
// `format` in per-axis order: raFlags, raLeadingBits, raBitsPerRev,
// raBitsForRevs, decFlags, decLeadingBits, decBitsPerRev, decBitsForRevs.
size_t buildEncoderFormatMessage(uint8_t* out, const uint8_t (&format)[8]);
size_t buildEncoderCalibrationMessage(uint8_t* out, uint8_t reverseBits, int32_t raOffset,
                                      int32_t decOffset);
size_t buildReadEncodersMessage(uint8_t* out, uint8_t selector);
size_t buildReadEncodersQuietMessage(uint8_t* out, uint8_t parameter);
size_t buildReservedMessage(uint8_t* out, uint32_t a, uint32_t b);
size_t buildReadAxisPositionsMessage(uint8_t* out);
size_t buildSyncMessage(uint8_t* out, int32_t raTarget, int32_t decTarget);
size_t buildAbortMessage(uint8_t* out);
size_t buildPierSideMessage(uint8_t* out, uint8_t pierState);

// Wraps up to kMaxSerialChunk received bytes: E0+n and the bytes. Returns the
// message length (0 for no bytes); the caller passes the rest in further
// messages.
size_t buildSerialDataMessage(uint8_t* out, const uint8_t* bytes, size_t count);

}  // namespace zr8
