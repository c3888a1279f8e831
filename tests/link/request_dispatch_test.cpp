// SPDX-License-Identifier: GPL-3.0-or-later
// Request messages as the public operations write them, the frame shapes, and
// what each request does once the link is ready: frames byte for byte,
// statuses, and whether the link then waits for a reply.

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "link/frames.h"
#include "link/request_dispatcher.h"
#include "link/status_codes.h"
#include "tests/link/link_harness.h"

namespace zr8::test {
namespace {

TEST(RequestMessage, EveryOperationWritesItsMessage) {
    const uint8_t format[8] = {0x01, 0x0C, 0x19, 0x00, 0x02, 0x0C, 0x19, 0x00};
    const std::pair<std::function<size_t(uint8_t*)>, std::string> cases[] = {
        {[](uint8_t* o) { return buildHeartbeatMessage(o); }, "A0 00"},
        {[](uint8_t* o) { return buildConnectMessage(o, 0, 115200); }, "86 02 00 00 C2 01 00"},
        {[](uint8_t* o) { return buildConnectMessage(o, 7, 9600); }, "86 02 07 80 25 00 00"},
        {[](uint8_t* o) { return buildDisconnectMessage(o); }, "81 03"},
        {[](uint8_t* o) { return buildStoreSettingsMessage(o); }, "81 04"},
        {[](uint8_t* o) { return buildManualMoveMessage(o, 3, 31); }, "83 05 03 1F"},
        {[](uint8_t* o) { return buildStopMessage(o, 4); }, "82 06 04"},
        {[](uint8_t* o) { return buildTrackingMessage(o, 1); }, "82 07 01"},
        {[](uint8_t* o) { return buildMotorReverseMessage(o, 0x03, 0x05); }, "83 08 03 05"},
        {[](uint8_t* o) { return buildPierSideMoveMessage(o, 2); }, "82 09 02"},
        {[&](uint8_t* o) { return buildEncoderFormatMessage(o, format); },
         "89 0A 01 0C 19 00 02 0C 19 00"},
        {[](uint8_t* o) { return buildReadEncodersMessage(o, 0); }, "82 0B 00"},
        {[](uint8_t* o) { return buildReadEncodersQuietMessage(o, 9); }, "82 0C 09"},
        {[](uint8_t* o) { return buildReservedMessage(o, 0x04030201, 0xFFFFFFFE); },
         "89 0D 01 02 03 04 FE FF FF FF"},
        {[](uint8_t* o) { return buildEncoderCalibrationMessage(o, 0x02, -2, 0x01000000); },
         "8A 0E 02 FE FF FF FF 00 00 00 01"},
        {[](uint8_t* o) { return buildGotoMessage(o, 540000, -324000); },
         "89 0F 60 3D 08 00 60 0E FB FF"},
        {[](uint8_t* o) { return buildMeridianFlipChoiceMessage(o, 0x0102); }, "83 10 02 01"},
    };
    for (const auto& [build, expected] : cases) {
        uint8_t out[kMessageCapacity] = {};
        const size_t length = build(out);
        EXPECT_EQ(hex(out, length), expected);
    }
}

TEST(RequestMessage, SerialDataIsCutIntoMessagesOfAtMost31Bytes) {
    uint8_t bytes[40];
    for (uint8_t i = 0; i < 40; ++i) bytes[i] = i;
    uint8_t out[kMessageCapacity];
    EXPECT_EQ(buildSerialDataMessage(out, bytes, 0), 0u);
    ASSERT_EQ(buildSerialDataMessage(out, bytes, 3), 4u);
    EXPECT_EQ(hex(out, 4), "E3 00 01 02");
    ASSERT_EQ(buildSerialDataMessage(out, bytes, 40), 32u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[31], 30);
    ASSERT_EQ(buildPortLostMessage(out, 7), 3u);
    EXPECT_EQ(hex(out, 3), "C2 01 07");
}

TEST(Frames, EveryShapeByteForByte) {
    Lines frames;
    RecordingTransport port(frames);
    port.writeSucceeds = false;  // builders hand on the writer's result
    const uint8_t data[8] = {0, 0x0C, 0x19, 0, 0, 0x0C, 0x19, 0};
    EXPECT_FALSE(sendCommand(port, CmdIdentify));
    sendCommandB(port, CmdStoreSettings, 0x01);
    sendCommandBB(port, CmdStopAxes, 0x00, kAxisBoth);
    sendCommandBBBB(port, CmdWriteMotorReverse, 0x00, kAxisBoth, 0x01, 0x07);
    sendCommandBBW(port, CmdManualSpeed, 0x00, kAxisDec, 0xFFFFFC18);
    sendCommandBx9(port, CmdWriteEncoderFormat, 0x01, data);
    sendCommandBBWW(port, CmdPositionAxes, 0x01, kAxisBoth, 0x00046F00, 0xFFFB9100);
    EXPECT_EQ(frames, (Lines{
                          "frame AA 01 01",
                          "frame AA 02 0D 01",
                          "frame AA 03 21 00 C0",
                          "frame AA 05 32 00 C0 01 07",
                          "frame AA 07 23 00 40 18 FC FF FF",
                          "frame AA 0A 18 01 00 0C 19 00 00 0C 19 00",
                          "frame AA 0B 25 01 C0 00 6F 04 00 00 91 FB FF",
                      }));
}

// A harness whose link is ready, with RA and Dec microstep resolutions that
// make the side-of-pier example come out.
struct ReadyLink : LinkHarness {
    explicit ReadyLink(ControllerFigures figures = {}) { connectAndConfigure(figures); }
};

TEST(Dispatch, SimpleRequestsSendTheirFrames) {
    struct Case {
        std::function<size_t(uint8_t*)> build;
        Lines expected;
        bool idleAfter;  // no reply awaited afterwards
    };
    const uint8_t format[8] = {0x01, 0x0C, 0x19, 0x00, 0x02, 0x0C, 0x19, 0x00};
    const Case cases[] = {
        {[](uint8_t* o) { return buildStoreSettingsMessage(o); }, {"frame AA 02 0D 01"}, false},
        {[](uint8_t* o) { return buildStopMessage(o, 4); },
         {"frame AA 03 21 00 C0", "status 13"},
         true},
        {[](uint8_t* o) { return buildStopMessage(o, 2); },
         {"frame AA 03 21 00 80", "status 13"},
         true},
        {[](uint8_t* o) { return buildStopMessage(o, 1); },
         {"frame AA 03 21 00 40", "status 13"},
         true},
        {[](uint8_t* o) { return buildStopMessage(o, 5); },
         {"frame AA 03 21 00 00", "status 13"},
         true},
        {[](uint8_t* o) { return buildTrackingMessage(o, 1); }, {"frame AA 03 24 00 01"}, true},
        {[](uint8_t* o) { return buildTrackingMessage(o, 0); }, {"frame AA 03 24 00 00"}, true},
        {[](uint8_t* o) { return buildMotorReverseMessage(o, 0x02, 0x05); },
         {"frame AA 05 32 00 C0 02 05"},
         true},
        {[&](uint8_t* o) { return buildEncoderFormatMessage(o, format); },
         {"frame AA 0A 18 01 01 0C 19 00 02 0C 19 00"},
         true},
        {[](uint8_t* o) { return buildReadEncodersMessage(o, 0); }, {"frame AA 02 7A 01"}, false},
        {[](uint8_t* o) { return buildReadEncodersMessage(o, 1); }, {"frame AA 02 7D 01"}, false},
        {[](uint8_t* o) { return buildReadEncodersMessage(o, 2); }, {"frame AA 02 7E 01"}, false},
        {[](uint8_t* o) { return buildReadEncodersMessage(o, 3); }, {}, false},
        {[](uint8_t* o) { return buildReadEncodersQuietMessage(o, 7); },
         {"frame AA 02 7A 01"},
         false},
        {[](uint8_t* o) { return buildReservedMessage(o, 1, 2); }, {}, true},
        {[](uint8_t* o) { return buildEncoderCalibrationMessage(o, 0x03, -2, 0x01000000); },
         {"frame AA 0B 7C 01 03 FE FF FF FF 00 00 00 01"},
         false},
        // The offsets typed as 4294967295 (or -1) and -2147483648.
        {[](uint8_t* o) { return buildEncoderCalibrationMessage(o, 0x00, -1, INT32_MIN); },
         {"frame AA 0B 7C 01 00 FF FF FF FF 00 00 00 80"},
         false},
        {[](uint8_t* o) { return buildPierSideMoveMessage(o, 0); }, {}, true},
        {[](uint8_t* o) { return buildPierSideMoveMessage(o, 5); }, {}, true},
        {[](uint8_t* o) { return buildMeridianFlipChoiceMessage(o, 0x0100); }, {}, true},
    };
    for (const Case& c : cases) {
        ReadyLink h;
        uint8_t message[kMessageCapacity];
        const size_t length = c.build(message);
        h.pipe(Bytes(message, message + length));
        EXPECT_EQ(h.take(), c.expected) << hex(message, length);
        EXPECT_EQ(h.idle(), c.idleAfter) << hex(message, length);
    }
}

TEST(Dispatch, StoreSettingsOnlyWhenIdle) {
    ReadyLink h;
    h.request(buildStoreSettingsMessage);
    h.request(buildStoreSettingsMessage);
    EXPECT_EQ(h.take(), (Lines{"frame AA 02 0D 01", "status 10"}));
    h.reply(replyFrame({0x0D}));
    EXPECT_EQ(h.take(), Lines{"status 17"});
    EXPECT_TRUE(h.idle());
}

TEST(Dispatch, QuietReadKeepsTheStateUntilAnotherRequestMovesIt) {
    ReadyLink h;
    h.request(buildReadEncodersQuietMessage, 5);
    h.reply(encoderReply(1, 2));
    h.request(buildStoreSettingsMessage);
    const uint8_t format[8] = {};
    h.request(buildEncoderFormatMessage, format);
    h.request(buildStoreSettingsMessage);
    EXPECT_EQ(h.take(), (Lines{"frame AA 02 7A 01", "status 10",
                               "frame AA 0A 18 01 00 00 00 00 00 00 00 00", "frame AA 02 0D 01"}));
}

TEST(Dispatch, CalibrationReportsOnReply) {
    ReadyLink h;
    h.request(buildEncoderCalibrationMessage, 0x02, -5, 77);
    h.take();
    h.reply(replyFrame({0x7C}));
    EXPECT_EQ(h.take(), Lines{"status 16"});
    EXPECT_TRUE(h.idle());
}

// An unknown read variant sends nothing, yet the link waits for a reply,
// which it then does not decode.
TEST(Dispatch, ReadWithAnUnknownSelectorSendsNothingAndWaits) {
    ReadyLink h;
    h.request(buildReadEncodersMessage, 3);
    EXPECT_EQ(h.take(), Lines{});
    EXPECT_FALSE(h.idle());
    h.reply(encoderReply(1, 2));
    EXPECT_EQ(h.take(), Lines{});
    EXPECT_TRUE(h.idle());
}

TEST(Dispatch, ReadEncodersDecodesOnlyThePlainRead) {
    struct Case {
        uint8_t raBits;
        uint32_t word;
        int32_t arcsec;
    };
    const Case cases[] = {
        {25, 16777216, 648000},
        {32, 4294967295u, 1295999},
        {0, 3, 3888000},
        {0, 0xFFFFFFFF, static_cast<int32_t>(0xFFFFFFFFull * 1296000 & 0xFFFFFFFF)},
        {64, 5, 6480000},  // exponent modulo 64
        {63, 0xFFFFFFFF, 0},
    };
    for (const Case& c : cases) {
        ControllerFigures f;
        f.format[2] = c.raBits;
        f.format[6] = 25;
        ReadyLink h(f);
        h.request(buildReadEncodersMessage, 0);
        h.reply(encoderReply(c.word, 1u << 23));
        EXPECT_EQ(h.take(), (Lines{"frame AA 02 7A 01", "positions"}));
        const EncoderPositions& p = h.listener.lastPositions;
        EXPECT_EQ(p.valid, 1);
        EXPECT_EQ(p.raRaw, c.word);
        EXPECT_EQ(p.raArcsec, c.arcsec) << int(c.raBits) << " " << c.word;
        EXPECT_EQ(p.decRaw, 1u << 23);
        EXPECT_EQ(p.decArcsec, 324000);
        EXPECT_TRUE(h.idle());
    }
    for (uint8_t selector : {1, 2}) {
        ReadyLink h;
        h.request(buildReadEncodersMessage, selector);
        h.reply(encoderReply(1, 1));
        EXPECT_EQ(h.take().size(), 1u);  // the frame, no reading
        EXPECT_TRUE(h.idle());
    }
}

// The format request's bytes come grouped per axis; each axis's bits per
// revolution scale its own word from the next reading on.
TEST(Dispatch, ReadingFollowsANewFormatAtOnce) {
    ReadyLink h;
    const uint8_t format[8] = {0x01, 12, 20, 0, 0x02, 12, 24, 0};
    h.request(buildEncoderFormatMessage, format);
    h.request(buildReadEncodersMessage, 0);
    h.reply(encoderReply(1u << 19, 1u << 22));
    EXPECT_EQ(h.listener.lastPositions.raArcsec, 648000);
    EXPECT_EQ(h.listener.lastPositions.decArcsec, 324000);
}

TEST(Dispatch, ShortRequestReadsMissingArgumentsAsZero) {
    ReadyLink h;
    // Fill the collector with a long message first.
    h.request(buildEncoderCalibrationMessage, 0xFF, -1, -1);
    h.take();
    h.pipe({0x82, 0x0E, 0x01});  // calibration with one argument byte
    EXPECT_EQ(h.take(), Lines{"frame AA 0B 7C 01 01 00 00 00 00 00 00 00 00"});
}

TEST(Dispatch, IgnoresEmptyAndUnknownRequests) {
    ReadyLink h;
    h.pipe({0x45, 0x80, 0x02});  // stray byte, then n = 0
    h.pipe({0x81, 0x00, 0x81, 0x01, 0x81, 0x15, 0x81, 0xFF});
    EXPECT_EQ(h.take(), Lines{});
    // Handed one directly, the dispatcher checks the same.
    Lines log;
    RecordingListener listener(log);
    RecordingTransport transport(log);
    FixedSkyClock clock;
    LinkContext link(listener, transport, clock);
    Positioner positioner(link);
    RequestDispatcher dispatcher(link, positioner);
    const uint8_t connect[] = {0x86, 0x02, 0, 0, 0, 0, 0};
    dispatcher.dispatch(connect, sizeof connect);
    const uint8_t empty[] = {0x80, 0x04};
    dispatcher.dispatch(empty, sizeof empty);
    EXPECT_EQ(log, Lines{});
}

TEST(MessageCollector, CutsTheStreamAsTheHeaderSays) {
    ReadyLink h;
    h.pipe({0xA0});
    h.request(buildStoreSettingsMessage);  // 81 completes the heartbeat as its filler
    EXPECT_EQ(h.take(), Lines{});
    h.pipe({0x04});  // ...and 04 is then a stray byte
    EXPECT_EQ(h.take(), Lines{});
    // Inside a message a byte with bit 7 set is data.
    h.pipe({0x82, 0x06, 0x84});
    EXPECT_EQ(h.take(), (Lines{"frame AA 03 21 00 00", "status 13"}));
    // A request arriving in bytes one at a time.
    for (uint8_t b : {0x82, 0x07, 0x01}) h.pipe({b});
    EXPECT_EQ(h.take(), Lines{"frame AA 03 24 00 01"});
}

TEST(MessageCollector, SerialDataIsHandedOnOnlyWhileOpen) {
    LinkHarness h;
    h.pipe({0xE3, 0x55, 0x02, 0x01});
    EXPECT_EQ(h.take(), Lines{});
    h.connect();
    h.take();
    h.pipe({0xE3, 0x55, 0x00, 0x77});  // an empty reply: not an identify reply
    EXPECT_EQ(h.take(), (Lines{"status 9", "close", "line closed"}));
}

TEST(SideOfPier, SelectorsSetThePierStateAndSendTheirFrames) {
    ControllerFigures f;
    f.raMicrostepResolution = 65536;
    f.decMicrostepResolution = 131072;
    struct Case {
        uint8_t selector;
        std::string pierSide;
        bool idleAfter;  // 2 and 4 wait for the axis positions
        std::string frame;
    };
    const Case cases[] = {
        {1, "east", true, "frame AA 0B 20 01 C0 00 C0 FF FF 00 80 00 00"},
        {3, "west", true, "frame AA 0B 20 01 C0 00 40 00 00 00 80 FF FF"},
        {2, "flipping", false, "frame AA 03 1F 01 C0"},
        {4, "flipping", false, "frame AA 03 1F 01 C0"},
    };
    for (const Case& c : cases) {
        ReadyLink h(f);
        h.request(buildPierSideMoveMessage, 3);  // start from the west side
        h.take();
        h.request(buildPierSideMoveMessage, c.selector);
        EXPECT_EQ(h.take(), Lines{c.frame});
        EXPECT_EQ(h.idle(), c.idleAfter) << int(c.selector);
        EXPECT_EQ(h.pierSide(), c.pierSide) << int(c.selector);
    }
}

TEST(SideOfPier, PositionReplyStartsTheHalfTurnMove) {
    ControllerFigures f;
    f.raMicrostepResolution = 1728000;  // half turn 864000
    for (const auto& [selector, raTarget, endSide] :
         {std::tuple<uint8_t, int32_t, const char*>{2, 100000 - 864000, "east"},
          {4, 100000 + 864000, "west"}}) {
        ReadyLink h(f);
        h.request(buildPierSideMoveMessage, selector);
        h.take();
        h.reply(positionsReply(100000, -432000));
        Bytes move{0xAA, 0x0B, 0x25, 0x01, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0};
        putWord(move, 5, static_cast<uint32_t>(raTarget));
        putWord(move, 9, 432000);
        EXPECT_EQ(h.take(), Lines{"frame " + hex(move)});  // no status

        // Acknowledge, poll, stopped: no correction pass for a half turn.
        h.reply(replyFrame({0x25}));
        h.tick(8);
        EXPECT_EQ(h.take(), Lines{"frame AA 02 1E 01"});
        h.reply(pollReply(0, 0));
        EXPECT_EQ(h.take(), Lines{"status 13"});
        EXPECT_TRUE(h.idle());
        EXPECT_EQ(h.pierSide(), endSide);
    }
}

TEST(SideOfPier, PositionArithmeticWrapsInsteadOfOverflowing) {
    ControllerFigures f;
    f.raMicrostepResolution = 0xFFFFFFFF;
    ReadyLink h(f);
    h.request(buildPierSideMoveMessage, 4);
    h.take();
    h.reply(positionsReply(INT32_MAX, INT32_MIN));
    // RA 0x7FFFFFFF + 0x7FFFFFFF wraps to 0xFFFFFFFE; Dec -INT32_MIN stays INT32_MIN.
    EXPECT_EQ(h.take(), Lines{"frame AA 0B 25 01 C0 FE FF FF FF 00 00 00 80"});
}

}  // namespace
}  // namespace zr8::test
