// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link's test doubles, shared by the unit tests, the benchmarks and the
// fuzz-free end-to-end pieces:
// - RecordingListener and RecordingTransport write everything into one
//   ordered log of readable lines ("status 1", "open 3 115200",
//   "frame AA 01 01", "line open");
// - CountingListener and LastFrameTransport only count and keep the last
//   frame in fixed storage, for benchmarks and allocation counts, where the
//   recording ones would measure themselves;
// - FixedSkyClock gives whatever sidereal time a test sets.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "link/frames.h"
#include "link/link_transport.h"
#include "link/notification_listener.h"
#include "link/sky_clock.h"

namespace zr8::test {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

inline std::string hex(const uint8_t* bytes, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", bytes[i]);
        text += digits;
    }
    return text;
}
inline std::string hex(const Bytes& bytes) { return hex(bytes.data(), bytes.size()); }

class RecordingListener : public iNotificationListener {
public:
    explicit RecordingListener(Lines& log) : log_(log) {}
    void onStatus(int32_t statusCode) override {
        log_.push_back("status " + std::to_string(statusCode));
    }
    void onConfiguration(int32_t statusCode, int32_t extra, const MountConfig& mount,
                         const EncoderConfig& encoder) override {
        log_.push_back("configuration " + std::to_string(statusCode) + " " + std::to_string(extra));
        lastMount = mount;
        lastEncoder = encoder;
    }
    void onMeridianFlipQuery(int32_t flipCase) override {
        log_.push_back("flip query " + std::to_string(flipCase));
    }
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {
        log_.push_back("reserved");
    }
    void onPositions(const EncoderPositions& positions) override {
        log_.push_back("positions");
        lastPositions = positions;
    }
    void onConnection(const ConnectionInfo& connection) override {
        static const char* const kStates[] = {"line closed", "line open", "line failed"};
        log_.push_back(kStates[static_cast<int>(connection.state)]);
        lastConnection = connection;
    }
    // Logged only where a test asks: most logs predate these calls.
    void onAxisPositions(const AxisReading& r) override {
        if (logMountCalls)
            log_.push_back("axes " + std::to_string(r.raSteps) + " " + std::to_string(r.decSteps) +
                           " pier " + std::to_string(r.pierState));
    }
    void onPierSide(int32_t pierState) override {
        if (logMountCalls) log_.push_back("pier side " + std::to_string(pierState));
    }

    bool logMountCalls = false;
    ConnectionInfo lastConnection;
    MountConfig lastMount;
    EncoderConfig lastEncoder;
    EncoderPositions lastPositions;

private:
    Lines& log_;
};

class RecordingTransport : public iLinkTransport {
public:
    explicit RecordingTransport(Lines& log) : log_(log) {}
    bool openPort(uint8_t portNumber, uint32_t baudRate, ConnectionInfo& connection) override {
        log_.push_back("open " + std::to_string(portNumber) + " " + std::to_string(baudRate));
        connection.baudRate = baudRate;
        std::snprintf(connection.device, sizeof connection.device, "/dev/ttyTEST%d", portNumber);
        if (!openSucceeds)
            std::snprintf(connection.reason, sizeof connection.reason, "No such file");
        return openSucceeds;
    }
    void startReader(uint8_t) override { log_.push_back("start reader"); }
    void closePort() override { log_.push_back("close"); }
    bool writePort(const uint8_t* bytes, int length) override {
        log_.push_back("frame " + hex(bytes, static_cast<size_t>(length)));
        return writeSucceeds;
    }
    void pause(int milliseconds) override {
        log_.push_back("pause " + std::to_string(milliseconds));
    }

    bool openSucceeds = true;
    bool writeSucceeds = true;

private:
    Lines& log_;
};

class FixedSkyClock : public iSkyClock {
public:
    long double localSiderealTime() const override { return hours; }
    long double hours = 0.0L;
};

class CountingListener : public iNotificationListener {
public:
    void onStatus(int32_t) override { ++calls; }
    void onConfiguration(int32_t, int32_t, const MountConfig&, const EncoderConfig&) override {
        ++calls;
    }
    void onMeridianFlipQuery(int32_t) override { ++calls; }
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void onPositions(const EncoderPositions& positions) override { calls += positions.valid; }
    void onConnection(const ConnectionInfo&) override { ++calls; }
    long calls = 0;
};

class LastFrameTransport : public iLinkTransport {
public:
    bool openPort(uint8_t, uint32_t, ConnectionInfo&) override {
        ++opens;
        return true;
    }
    void startReader(uint8_t) override {}
    void closePort() override { ++closes; }
    bool writePort(const uint8_t* bytes, int length) override {
        for (int i = 0; i < length && i < kLongestFrame; ++i) last[i] = bytes[i];
        lastLength = length;
        ++frames;
        return true;
    }
    void pause(int) override {}
    uint8_t last[kLongestFrame] = {};
    int lastLength = 0;
    long frames = 0;
    int opens = 0;
    int closes = 0;
};

}  // namespace zr8::test
