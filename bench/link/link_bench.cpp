// The link's hot paths without threads or devices: controller replies through
// assembly and interpretation, and request dispatch. The listener only counts
// and the port writer only keeps the last frame, so what is measured is the
// link's own work.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "link/frames.h"
#include "link/link_engine.h"
#include "link/request_message.h"

namespace zr8 {
namespace {

struct CountingListener : iNotificationListener {
    void onStatus(int32_t) override { ++calls; }
    void onConfiguration(int32_t, int32_t, const MountConfig&, const EncoderConfig&) override {
        ++calls;
    }
    void onMeridianFlipQuery(int32_t) override { ++calls; }
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void onPositions(const EncoderPositions& p) override { calls += p.valid; }
    long calls = 0;
};

struct RecordingWriter : iLinkTransport {
    bool openPort(uint8_t, uint32_t) override { return true; }
    void startReader(uint8_t) override {}
    void closePort() override {}
    bool writePort(const uint8_t* bytes, int length) override {
        std::memcpy(last, bytes, static_cast<size_t>(length));
        lastLength = length;
        return true;
    }
    void pause(int) override {}
    uint8_t last[kLongestFrame] = {};
    int lastLength = 0;
};

struct FixedClock : iSkyClock {
    long double localSiderealTime() const override { return 10.0L; }
};

using Bytes = std::vector<uint8_t>;

Bytes reply(uint8_t command, size_t payload) {
    Bytes frame(payload + 2, 0);
    frame[0] = 0x55;
    frame[1] = static_cast<uint8_t>(payload);
    frame[2] = command;
    return frame;
}

void putWord(Bytes& b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

Bytes encoderReading(uint32_t ra, uint32_t dec) {
    Bytes r = reply(0x7A, 9);
    putWord(r, 3, ra);
    putWord(r, 7, dec);
    return r;
}

// Reply bytes cut into serial-data messages, as the serial reader forwards them.
Bytes asSerialData(const Bytes& bytes) {
    Bytes pipe;
    for (size_t done = 0; done < bytes.size();) {
        uint8_t message[kMessageCapacity];
        const size_t n = buildSerialDataMessage(message, bytes.data() + done, bytes.size() - done);
        pipe.insert(pipe.end(), message, message + n);
        done += n - 1;
    }
    return pipe;
}

// An engine that has been through a whole connect sequence.
struct ReadyLink {
    CountingListener listener;
    RecordingWriter writer;
    FixedClock clock;
    LinkEngine engine{listener, writer, clock, EncoderConfig{}};

    ReadyLink() {
        uint8_t message[kMessageCapacity];
        engine.feedPipeBytes(message, buildConnectMessage(message, 1, 115200));
        feedReplies(reply(0x01, 5));
        engine.feedPipeBytes(message, buildHeartbeatMessage(message));
        engine.feedPipeBytes(message, buildHeartbeatMessage(message));
        Bytes axis = reply(0x14, 28);
        putWord(axis, 9, 1728000);
        putWord(axis, 13, 1000);
        putWord(axis, 22, 1728000);
        putWord(axis, 26, 1000);
        Bytes format = reply(0x17, 9);
        format[5] = 25;
        format[9] = 25;
        for (const Bytes& r : {reply(0x03, 2), reply(0x02, 5), axis, reply(0x15, 58), format,
                               reply(0x7B, 10)}) {
            feedReplies(r);
        }
    }

    void feedReplies(const Bytes& bytes) {
        const Bytes pipe = asSerialData(bytes);
        engine.feedPipeBytes(pipe.data(), pipe.size());
    }
};

// One encoder reading: the read request, then its 11-byte reply assembled,
// decoded and published. Bytes counted are the reply's.
void BM_ReadingReply(benchmark::State& state) {
    ReadyLink link;
    if (!link.engine.linkReady()) state.SkipWithError("connect sequence did not complete");
    uint8_t read[kMessageCapacity];
    const size_t readLength = buildReadEncodersMessage(read, 0);
    const Bytes r = encoderReading(0x00C0FFEE, 0x12345678);
    for (auto _ : state) {
        link.engine.dispatchRequest(read, readLength);
        benchmark::DoNotOptimize(link.engine.feedReplyBytes(r.data(), r.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * r.size()));
    if (link.listener.calls < state.iterations()) state.SkipWithError("readings not published");
}
BENCHMARK(BM_ReadingReply);

// The same through the worker's whole path: the request and the reply as
// pipe bytes, cut by the message collector first.
void BM_ReadingReplyThroughPipe(benchmark::State& state) {
    ReadyLink link;
    if (!link.engine.linkReady()) state.SkipWithError("connect sequence did not complete");
    uint8_t read[kMessageCapacity];
    const size_t readLength = buildReadEncodersMessage(read, 0);
    Bytes pipe(read, read + readLength);
    const Bytes serial = asSerialData(encoderReading(0x00C0FFEE, 0x12345678));
    pipe.insert(pipe.end(), serial.begin(), serial.end());
    for (auto _ : state) link.engine.feedPipeBytes(pipe.data(), pipe.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (pipe.size())));
    if (link.listener.calls < state.iterations()) state.SkipWithError("readings not published");
}
BENCHMARK(BM_ReadingReplyThroughPipe);

// A long stream of replies of every size in one chunk, while no reply is
// awaited: assembly and the interpretation's dispatch on the link state.
void BM_ReplyStream(benchmark::State& state) {
    ReadyLink link;
    if (!link.engine.linkReady()) state.SkipWithError("connect sequence did not complete");
    Bytes stream;
    for (size_t payload : {0, 1, 4, 9, 12, 28, 58, 200, 255}) {
        const Bytes r = reply(0x7A, payload);
        stream.insert(stream.end(), r.begin(), r.end());
    }
    while (stream.size() < 64 * 1024) stream.insert(stream.end(), stream.begin(), stream.end());
    for (auto _ : state) {
        benchmark::DoNotOptimize(link.engine.feedReplyBytes(stream.data(), stream.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_ReplyStream);

// Request dispatch, one request per iteration, by kind.
void BM_Dispatch(benchmark::State& state) {
    ReadyLink link;
    if (!link.engine.linkReady()) state.SkipWithError("connect sequence did not complete");
    uint8_t message[kMessageCapacity];
    const uint8_t format[8] = {0, 12, 25, 0, 0, 12, 25, 0};
    size_t length = 0;
    switch (state.range(0)) {
    case 0:
        state.SetLabel("stop");
        length = buildStopMessage(message, 4);
        break;
    case 1:
        state.SetLabel("tracking");
        length = buildTrackingMessage(message, 1);
        break;
    case 2:
        state.SetLabel("manual move, slow step");
        length = buildManualMoveMessage(message, 2, 3);
        break;
    case 3:
        state.SetLabel("manual move, curve");
        length = buildManualMoveMessage(message, 3, 20);
        break;
    case 4:
        state.SetLabel("read encoders");
        length = buildReadEncodersMessage(message, 0);
        break;
    case 5:
        state.SetLabel("encoder format");
        length = buildEncoderFormatMessage(message, format);
        break;
    case 6:
        state.SetLabel("encoder calibration");
        length = buildEncoderCalibrationMessage(message, 1, -5, 5);
        break;
    default:
        state.SetLabel("goto");
        length = buildGotoMessage(message, 9 * 54000, 45 * 3600);
        break;
    }
    for (auto _ : state) {
        link.engine.dispatchRequest(message, length);
        benchmark::DoNotOptimize(link.writer.lastLength);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Dispatch)->DenseRange(0, 7);

}  // namespace
}  // namespace zr8

BENCHMARK_MAIN();
