// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the link's logic with arbitrary pipe bytes, replies, ticks, requests
// and sidereal times, in every state. Besides the sanitizers, the doubles
// check what must hold whatever the input: frames are well formed and only
// written while the port is open, status codes and flip cases are known
// ones, the configuration is reported once per opening and readings only
// after it, and the line reports match the port's openings and closings.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "link/frames.h"
#include "link/link_engine.h"
#include "link/request_message.h"
#include "link/status_codes.h"

namespace zr8 {
namespace {

#define FUZZ_CHECK(condition)               \
    do {                                    \
        if (!(condition)) __builtin_trap(); \
    } while (0)

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t word() {
        uint32_t w = 0;
        for (int i = 0; i < 4; ++i) w |= static_cast<uint32_t>(byte()) << (8 * i);
        return w;
    }
    // Up to `count` bytes from the input, fewer at its end.
    size_t take(uint8_t* out, size_t count) {
        size_t n = 0;
        while (n < count && !empty()) out[n++] = byte();
        return n;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// What the link has done to the outside world, as far as the checks need it.
struct Observed {
    bool open = false;        // openPort succeeded and closePort has not come since
    bool configured = false;  // the configuration was reported on this opening
    uint8_t lastCommand = 0;  // of the last frame written
};

class CheckingListener : public iNotificationListener {
public:
    explicit CheckingListener(Observed& seen) : seen_(seen) {}
    void onStatus(int32_t code) override { FUZZ_CHECK(code > 0 && code < kStatusCodeCount); }
    void onConfiguration(int32_t code, int32_t extra, const MountConfig&,
                         const EncoderConfig&) override {
        FUZZ_CHECK(code == StatusConnected && extra == 1);
        FUZZ_CHECK(seen_.open && !seen_.configured);
        seen_.configured = true;
    }
    void onMeridianFlipQuery(int32_t flipCase) override {
        FUZZ_CHECK(flipCase >= 1 && flipCase <= 5);
    }
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {
        FUZZ_CHECK(false);  // nothing calls it
    }
    void onPositions(const EncoderPositions& positions) override {
        FUZZ_CHECK(positions.valid == 1 && seen_.configured);
        FUZZ_CHECK(positions.raRaw <= 0xFFFFFFFFu && positions.decRaw <= 0xFFFFFFFFu);
    }
    void onConnection(const ConnectionInfo& connection) override {
        FUZZ_CHECK(connection.state <= LineState::OpenFailed);
        FUZZ_CHECK((connection.state == LineState::Open) == seen_.open);
        FUZZ_CHECK(connection.device[ConnectionInfo::kTextCapacity - 1] == '\0');
    }

private:
    Observed& seen_;
};

class CheckingTransport : public iLinkTransport {
public:
    explicit CheckingTransport(Observed& seen) : seen_(seen) {}
    bool openPort(uint8_t, uint32_t, ConnectionInfo&) override {
        FUZZ_CHECK(!seen_.open);
        seen_.open = openSucceeds;
        seen_.configured = false;
        return openSucceeds;
    }
    void startReader(uint8_t) override { FUZZ_CHECK(seen_.open); }
    void closePort() override {
        FUZZ_CHECK(seen_.open);
        seen_.open = false;
    }
    bool writePort(const uint8_t* bytes, int length) override {
        FUZZ_CHECK(seen_.open);
        FUZZ_CHECK(length >= 3 && length <= kLongestFrame);
        FUZZ_CHECK(bytes[0] == kFrameStart && bytes[1] == length - 2);
        seen_.lastCommand = bytes[2];
        return writeSucceeds;
    }
    void pause(int milliseconds) override { FUZZ_CHECK(milliseconds == kConnectPauseMs); }

    bool openSucceeds = true;
    bool writeSucceeds = true;

private:
    Observed& seen_;
};

class InputClock : public iSkyClock {
public:
    long double localSiderealTime() const override { return hours; }
    long double hours = 0.0L;
};

void putWord(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Reply bytes as the serial reader forwards them.
void feedSerial(LinkEngine& engine, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        uint8_t message[kMessageCapacity];
        const size_t length = buildSerialDataMessage(message, bytes, count);
        engine.feedPipeBytes(message, length);
        bytes += length - 1;
        count -= length - 1;
    }
}

void feedMessage(LinkEngine& engine, const uint8_t* message, size_t length) {
    engine.feedPipeBytes(message, length);
}

// A well-formed answer to the last command sent, filled from the input, so
// that deep states are reached often.
void plausibleReply(LinkEngine& engine, const Observed& seen, Input& in) {
    uint8_t frame[64] = {kReplyStart, 0, seen.lastCommand};
    size_t payload = 10;
    size_t fixed = 3;
    switch (seen.lastCommand) {
    case CmdIdentify:
        payload = 5;
        break;
    case CmdSetupQuery14:
        payload = 28;
        break;
    case CmdSetupQuery15:
        payload = 58;
        break;
    case CmdPollMotion:
        payload = 4;
        frame[4] = in.byte() % 4;
        frame[5] = in.byte() % 4;
        fixed = 6;
        break;
    case CmdReadAxisPositions:
        payload = 12;
        break;
    default:
        break;
    }
    frame[1] = static_cast<uint8_t>(payload);
    for (size_t i = fixed; i < payload + 2; ++i) frame[i] = in.byte();
    feedSerial(engine, frame, payload + 2);
}

// Connect and answer the whole configuration, with figures from the input.
void connectAndConfigure(LinkEngine& engine, const Observed& seen, Input& in) {
    uint8_t message[kMessageCapacity];
    feedMessage(engine, message, buildConnectMessage(message, in.byte(), in.word()));
    plausibleReply(engine, seen, in);
    for (int i = 0; i < 2; ++i) feedMessage(engine, message, buildHeartbeatMessage(message));
    for (int step = 0; step < 6 && seen.open && !seen.configured; ++step) {
        plausibleReply(engine, seen, in);
    }
}

void request(LinkEngine& engine, Input& in) {
    uint8_t message[kMessageCapacity] = {};
    const uint8_t code = static_cast<uint8_t>(2 + in.byte() % 15);
    // Usually the proper length for the code, sometimes any.
    static constexpr uint8_t kBodyLength[17] = {0, 0, 6, 1, 1, 3, 2, 2, 3, 2, 9, 2, 2, 9, 10, 9, 3};
    size_t body = kBodyLength[code];
    if (in.byte() % 8 == 0) body = in.byte() % 32;
    message[0] = static_cast<uint8_t>(kHeaderRequest | body);
    message[1] = code;
    if (body > 1) in.take(message + 2, body - 1);
    if (code == static_cast<uint8_t>(LinkRequest::Goto) && in.byte() % 2) {
        // Targets near the sky rather than anywhere in 32 bits.
        putWord(message + 2, in.word() % (24 * 54000));
        putWord(message + 6,
                static_cast<uint32_t>(static_cast<int32_t>(in.word() % 648001) - 324000));
    }
    const size_t length = body == 0 ? 2 : body + 1;
    in.byte();  // once chose between the pipe and the dispatcher alone
    feedMessage(engine, message, length);
}

}  // namespace
}  // namespace zr8

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zr8;
    Input in(data, size);
    Observed seen;
    CheckingListener listener(seen);
    CheckingTransport transport(seen);
    InputClock clock;
    EncoderConfig format;
    format.raBitsPerRev = in.byte();
    format.decBitsPerRev = in.byte();
    LinkEngine engine(listener, transport, clock, format);

    while (!in.empty()) {
        uint8_t message[kMessageCapacity];
        switch (in.byte() % 10) {
        case 0: {  // raw pipe bytes
            uint8_t bytes[64];
            const size_t n = in.take(bytes, in.byte() % sizeof bytes);
            engine.feedPipeBytes(bytes, n);
            break;
        }
        case 1: {  // heartbeats
            const int ticks = 1 + in.byte() % 48;
            for (int i = 0; i < ticks; ++i) {
                feedMessage(engine, message, buildHeartbeatMessage(message));
            }
            break;
        }
        case 2: {  // raw reply bytes through serial-data messages
            uint8_t bytes[300];
            const size_t n = in.take(bytes, in.byte() + in.byte() % 45);
            feedSerial(engine, bytes, n);
            break;
        }
        case 3:
            request(engine, in);
            break;
        case 4:
            connectAndConfigure(engine, seen, in);
            break;
        case 5: {  // sidereal time: usual values, or any double at all
            const uint8_t how = in.byte();
            const uint32_t w = in.word();
            if (how % 4 == 0) {
                double any;
                const uint64_t bits = (static_cast<uint64_t>(w) << 32) | in.word();
                std::memcpy(&any, &bits, sizeof any);
                clock.hours = any;
            } else {
                clock.hours = static_cast<long double>(w % 480000) / 10000.0L - 12.0L;
            }
            break;
        }
        case 6:
            if (seen.open) plausibleReply(engine, seen, in);
            break;
        case 7: {  // a port-lost notice for this opening or a stale one
            uint8_t notice[kMessageCapacity];
            feedMessage(engine, notice, buildPortLostMessage(notice, in.byte()));
            break;
        }
        case 8: {  // a short burst of reply bytes in one serial-data message
            uint8_t bytes[64];
            const size_t n = in.take(bytes, in.byte() % sizeof bytes);
            if (seen.open) feedSerial(engine, bytes, n);
            break;
        }
        default: {
            const uint8_t what = in.byte();
            if (what % 3 == 0) engine.closeQuietly();
            if (what % 3 == 1) transport.openSucceeds = !transport.openSucceeds;
            if (what % 3 == 2) transport.writeSucceeds = !transport.writeSucceeds;
            break;
        }
        }
    }
    engine.closeQuietly();
    FUZZ_CHECK(!seen.open);
    return 0;
}
