// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A harness that plays the controller's side of the link's logic byte for
// byte, over the recording doubles of tests/support/link_doubles.h:
// everything the engine does lands in one ordered log of readable lines, so
// tests can assert content and order at once. The link's state is read only
// through what it does.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "link/frames.h"
#include "link/link_engine.h"
#include "link/request_message.h"
#include "tests/support/link_doubles.h"

namespace zr8::test {

// What the simulated controller reports during the connect sequence.
struct ControllerFigures {
    uint32_t identityWord = 0x08020001;
    uint8_t reply3Byte = 0x21;
    uint32_t reply2Word = 0x00010203;
    uint8_t raAxisByte = 0x11, decAxisByte = 0x22;
    uint32_t raGearRatio = 720, decGearRatio = 540;
    uint32_t raMicrostepResolution = 1728000, decMicrostepResolution = 1728000;
    uint32_t raBaseSpeed = 1000, decBaseSpeed = 1000;
    uint16_t raSpeedFactor = 500, decSpeedFactor = 500;
    uint8_t reverseMotor = 0x02, motorOption = 0x05;
    // Per-axis order, as the format reply carries them.
    uint8_t format[8] = {0x01, 12, 25, 0, 0x02, 12, 25, 0};
    uint8_t reverseEncoder = 0x01;
    int32_t raOffset = -1234, decOffset = 56789;
};

inline void putWord(Bytes& b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void putHalf(Bytes& b, size_t at, uint16_t value) {
    b[at] = static_cast<uint8_t>(value);
    b[at + 1] = static_cast<uint8_t>(value >> 8);
}

// A reply frame: 55, L, then the payload (command first).
inline Bytes replyFrame(std::initializer_list<uint8_t> payload) {
    // Sized first: GCC 12 misreads an insert into a two-byte vector as out
    // of bounds (-Warray-bounds) once inlined under -fsanitize=thread.
    Bytes frame(payload.size() + 2);
    frame[0] = 0x55;
    frame[1] = static_cast<uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), frame.begin() + 2);
    return frame;
}
// A reply of `payloadLength` bytes answering `command`, zero-filled.
inline Bytes blankReply(uint8_t command, size_t payloadLength) {
    Bytes frame(payloadLength + 2, 0);
    frame[0] = 0x55;
    frame[1] = static_cast<uint8_t>(payloadLength);
    if (payloadLength > 0) frame[2] = command;
    return frame;
}

// Reply bytes as the serial reader forwards them: cut into serial-data
// messages of at most 31 bytes.
inline Bytes asSerialData(const Bytes& bytes) {
    Bytes pipe;
    for (size_t done = 0; done < bytes.size();) {
        uint8_t message[kMessageCapacity];
        const size_t n = buildSerialDataMessage(message, bytes.data() + done, bytes.size() - done);
        pipe.insert(pipe.end(), message, message + n);
        done += n - 1;
    }
    return pipe;
}

inline Bytes identifyReply(const ControllerFigures& f) {
    Bytes r = blankReply(0x01, 5);
    putWord(r, 3, f.identityWord);
    return r;
}
inline Bytes query03Reply(const ControllerFigures& f) {
    Bytes r = blankReply(0x03, 2);
    r[3] = f.reply3Byte;
    return r;
}
inline Bytes query02Reply(const ControllerFigures& f) {
    Bytes r = blankReply(0x02, 5);
    putWord(r, 3, f.reply2Word);
    return r;
}
inline Bytes axisReply(const ControllerFigures& f) {
    Bytes r = blankReply(0x14, 28);
    r[4] = f.raAxisByte;
    putWord(r, 5, f.raGearRatio);
    putWord(r, 9, f.raMicrostepResolution);
    putWord(r, 13, f.raBaseSpeed);
    r[17] = f.decAxisByte;
    putWord(r, 18, f.decGearRatio);
    putWord(r, 22, f.decMicrostepResolution);
    putWord(r, 26, f.decBaseSpeed);
    return r;
}
// Motor blocks: offset 0 the speed factor; every other byte of a block is
// its offset plus a per-axis base, so each field's source can be checked.
inline constexpr uint8_t kRaBlockBase = 0x40, kDecBlockBase = 0x80;
inline Bytes motorReply(const ControllerFigures& f) {
    Bytes r = blankReply(0x15, 58);
    r[4] = f.reverseMotor;
    r[5] = f.motorOption;
    for (uint8_t i = 0; i < 27; ++i) {
        r[6 + i] = static_cast<uint8_t>(kRaBlockBase + i);
        r[33 + i] = static_cast<uint8_t>(kDecBlockBase + i);
    }
    putHalf(r, 6, f.raSpeedFactor);
    putHalf(r, 33, f.decSpeedFactor);
    return r;
}
inline Bytes formatReply(const ControllerFigures& f) {
    Bytes r = blankReply(0x17, 9);
    for (int i = 0; i < 8; ++i) r[3 + i] = f.format[i];
    return r;
}
inline Bytes calibrationReply(const ControllerFigures& f) {
    Bytes r = blankReply(0x7B, 10);
    r[3] = f.reverseEncoder;
    putWord(r, 4, static_cast<uint32_t>(f.raOffset));
    putWord(r, 8, static_cast<uint32_t>(f.decOffset));
    return r;
}
inline Bytes encoderReply(uint32_t ra, uint32_t dec) {
    Bytes r = blankReply(0x7A, 9);
    putWord(r, 3, ra);
    putWord(r, 7, dec);
    return r;
}
inline Bytes pollReply(uint8_t raStatus, uint8_t decStatus) {
    Bytes r = blankReply(0x1E, 4);
    r[4] = raStatus;
    r[5] = decStatus;
    return r;
}
inline Bytes positionsReply(int32_t ra, int32_t dec) {
    Bytes r = blankReply(0x1F, 12);
    putWord(r, 6, static_cast<uint32_t>(ra));
    putWord(r, 10, static_cast<uint32_t>(dec));
    return r;
}

struct LinkHarness {
    static EncoderConfig defaultFormat() {
        EncoderConfig format;
        format.raLeadingBits = format.decLeadingBits = 12;
        format.raBitsPerRev = format.decBitsPerRev = 25;
        return format;
    }

    Lines log;
    RecordingListener listener{log};
    RecordingTransport transport{log};
    FixedSkyClock clock;
    LinkEngine engine{listener, transport, clock, defaultFormat()};

    void pipe(const Bytes& bytes) { engine.feedPipeBytes(bytes.data(), bytes.size()); }

    // One message from one of the request_message builders.
    template <typename Build, typename... Args>
    void request(Build build, const Args&... args) {
        uint8_t message[kMessageCapacity];
        const size_t length = build(message, args...);
        engine.feedPipeBytes(message, length);
    }

    void tick(int count = 1) {
        for (int i = 0; i < count; ++i) request(buildHeartbeatMessage);
    }

    // Reply bytes as the serial reader forwards them.
    void reply(const Bytes& bytes) { pipe(asSerialData(bytes)); }

    void connect(uint8_t port = 3, uint32_t baud = 115200) {
        request(buildConnectMessage, port, baud);
    }

    // The whole connect sequence; the log is cleared afterwards.
    void connectAndConfigure(const ControllerFigures& figures = {}) {
        connect();
        reply(identifyReply(figures));
        tick(kIdentifyDelayTicks);
        reply(query03Reply(figures));
        reply(query02Reply(figures));
        reply(axisReply(figures));
        reply(motorReply(figures));
        reply(formatReply(figures));
        reply(calibrationReply(figures));
        log.clear();
    }

    Lines take() {
        Lines taken;
        taken.swap(log);
        return taken;
    }

    // Probes: each reads one thing about the link's state through what it
    // does, and takes its own lines out of the log.

    // Ready for requests: a tracking request (which changes nothing) goes
    // out instead of being refused with status 12.
    bool ready() {
        const Lines lines = linesOf([this] { request(buildTrackingMessage, uint8_t{0}); });
        return lines == Lines{"frame AA 03 24 00 00"};
    }
    // Waiting for no reply: a store request goes out instead of being
    // refused with status 10. The link then waits for the store's reply.
    bool idle() {
        const Lines lines = linesOf([this] { request(buildStoreSettingsMessage); });
        return lines == Lines{"frame AA 02 0D 01"};
    }
    // The side of the pier, from the question a goto one hour east of the
    // meridian asks: the east side asks case 3, a flip under way case 1, the
    // west side slews at once. The goto replaces the target.
    std::string pierSide() {
        const Lines lines = linesOf([this] {
            const double raHours = static_cast<double>(clock.hours) + 1.0;
            request(buildGotoMessage, static_cast<int32_t>(raHours * 54000), 0);
        });
        if (lines == Lines{"flip query 3"}) return "east";
        if (lines == Lines{"flip query 1"}) return "flipping";
        if (lines.size() == 2 && lines[1] == "status 15") return "west";
        return "unknown";
    }

    // The lines `action` adds, taken out of the log.
    template <typename Action>
    Lines linesOf(Action action) {
        const size_t before = log.size();
        action();
        Lines lines(log.begin() + static_cast<long>(before), log.end());
        log.resize(before);
        return lines;
    }
};

}  // namespace zr8::test
