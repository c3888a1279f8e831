// SPDX-License-Identifier: GPL-3.0-or-later
// The link's hot paths without threads or devices: controller replies through
// assembly and interpretation, and request dispatch, in the rooms that do
// them and through the whole engine. The listener only counts
// and the port writer only keeps the last frame, so what is measured is the
// link's own work.

#include <benchmark/benchmark.h>

#include <vector>

#include "link/reply_decode.h"
#include "tests/link/link_harness.h"

namespace zr8::test {
namespace {

// The link's rooms with the controller's configuration in place, as a
// completed connect sequence leaves them: what a request and its reply pass
// through once the router has handed them on.
struct ReadyRooms {
    CountingListener listener;
    LastFrameTransport writer;
    FixedSkyClock clock;
    LinkContext link{listener, writer, clock};
    Positioner positioner{link};
    RequestDispatcher requests{link, positioner};
    ReplyAssembler assembler;

    ReadyRooms() {
        clock.hours = 10.0L;
        const ControllerFigures f;
        decodeAxisConfiguration(axisReply(f).data(), link.mount);
        decodeMotorConfiguration(motorReply(f).data(), link.mount);
        decodeEncoderFormat(formatReply(f).data(), link.encoder);
        deriveAxisQuantities(link.mount, link.encoder);
        positioner.reset();
        link.seq.state = LinkState::Idle;
    }

    // Assembles `bytes` and hands each completed reply to the requests' room.
    void feedReplies(const Bytes& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            bool completed = false;
            done += assembler.feed(bytes.data() + done, bytes.size() - done, completed);
            if (completed && RequestDispatcher::awaits(link.seq.state)) {
                requests.onReply(assembler.frame());
            }
        }
    }
};

// An engine that has been through a whole connect sequence.
struct ReadyLink {
    CountingListener listener;
    LastFrameTransport writer;
    FixedSkyClock clock;
    LinkEngine engine{listener, writer, clock, EncoderConfig{}};

    ReadyLink() {
        clock.hours = 10.0L;
        const ControllerFigures f;
        uint8_t message[kMessageCapacity];
        engine.feedPipeBytes(message, buildConnectMessage(message, 1, 115200));
        feedReplies(identifyReply(f));
        engine.feedPipeBytes(message, buildHeartbeatMessage(message));
        engine.feedPipeBytes(message, buildHeartbeatMessage(message));
        for (auto reply :
             {query03Reply, query02Reply, axisReply, motorReply, formatReply, calibrationReply}) {
            feedReplies(reply(f));
        }
        configured = writer.frames == 7;  // identify and the six queries
    }

    void feedReplies(const Bytes& bytes) {
        const Bytes pipe = asSerialData(bytes);
        engine.feedPipeBytes(pipe.data(), pipe.size());
    }

    bool configured = false;
};

// One encoder reading: the read request dispatched, then its 11-byte reply
// assembled, decoded and published. Bytes counted are the reply's.
void BM_ReadingReply(benchmark::State& state) {
    ReadyRooms rooms;
    uint8_t read[kMessageCapacity];
    const size_t readLength = buildReadEncodersMessage(read, 0);
    const Bytes r = encoderReply(0x00C0FFEE, 0x12345678);
    for (auto _ : state) {
        rooms.requests.dispatch(read, readLength);
        rooms.feedReplies(r);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * r.size()));
    if (rooms.listener.calls < state.iterations()) state.SkipWithError("readings not published");
}
BENCHMARK(BM_ReadingReply);

// The same through the worker's whole path: the request and the reply as
// pipe bytes, cut by the message collector and routed by the engine.
void BM_ReadingReplyThroughPipe(benchmark::State& state) {
    ReadyLink link;
    if (!link.configured) state.SkipWithError("connect sequence did not complete");
    uint8_t read[kMessageCapacity];
    const size_t readLength = buildReadEncodersMessage(read, 0);
    Bytes pipe(read, read + readLength);
    const Bytes serial = asSerialData(encoderReply(0x00C0FFEE, 0x12345678));
    pipe.insert(pipe.end(), serial.begin(), serial.end());
    const long before = link.listener.calls;
    for (auto _ : state) link.engine.feedPipeBytes(pipe.data(), pipe.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (pipe.size())));
    if (link.listener.calls - before < state.iterations()) {
        state.SkipWithError("readings not published");
    }
}
BENCHMARK(BM_ReadingReplyThroughPipe);

// A long stream of replies of every size while no reply is awaited:
// assembly and the look at the link state.
void BM_ReplyStream(benchmark::State& state) {
    ReadyRooms rooms;
    Bytes stream;
    for (size_t payload : {0, 1, 4, 9, 12, 28, 58, 200, 255}) {
        const Bytes r = blankReply(0x7A, payload);
        stream.insert(stream.end(), r.begin(), r.end());
    }
    while (stream.size() < 64 * 1024) stream.insert(stream.end(), stream.begin(), stream.end());
    for (auto _ : state) {
        rooms.feedReplies(stream);
        benchmark::DoNotOptimize(rooms.assembler.length());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_ReplyStream);

// Request dispatch, one request per iteration, by kind.
void BM_Dispatch(benchmark::State& state) {
    ReadyRooms rooms;
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
        rooms.requests.dispatch(message, length);
        benchmark::DoNotOptimize(rooms.writer.lastLength);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Dispatch)->DenseRange(0, 7);

}  // namespace
}  // namespace zr8::test

BENCHMARK_MAIN();
