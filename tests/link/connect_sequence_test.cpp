// SPDX-License-Identifier: GPL-3.0-or-later
// The connect and disconnect procedures and the connect sequence, driven only
// by pipe bytes: requests, serial-data messages and heartbeats.

#include <gtest/gtest.h>

#include <cstring>

#include "link/status_codes.h"
#include "tests/link/link_harness.h"

namespace zr8::test {
namespace {

const Lines kOpened = {"status 1", "open 3 115200", "start reader",  "line open",
                       "status 2", "pause 500",     "frame AA 01 01"};

TEST(ConnectSequence, RunsFromIdentifyToConfigurationInOrder) {
    LinkHarness h;
    const ControllerFigures f;

    h.connect(3, 115200);
    EXPECT_EQ(h.take(), kOpened);
    EXPECT_FALSE(h.ready());

    h.reply(identifyReply(f));
    EXPECT_EQ(h.take(), Lines{});

    // Two ticks of delay before the first query, and replies meanwhile are
    // ignored.
    h.tick();
    h.reply(query03Reply(f));
    EXPECT_EQ(h.take(), Lines{});
    h.tick();
    EXPECT_EQ(h.take(), Lines{"frame AA 01 03"});

    const std::pair<Bytes, std::string> steps[] = {
        {query03Reply(f), "frame AA 01 02"}, {query02Reply(f), "frame AA 01 14"},
        {axisReply(f), "frame AA 01 15"},    {motorReply(f), "frame AA 01 17"},
        {formatReply(f), "frame AA 01 7B"},
    };
    for (const auto& [reply, next] : steps) {
        h.reply(reply);
        EXPECT_EQ(h.take(), Lines{next});
        EXPECT_FALSE(h.ready()) << next;
    }
    h.reply(calibrationReply(f));
    EXPECT_EQ(h.take(), Lines{"configuration 3 1"});
    EXPECT_TRUE(h.ready());
    EXPECT_TRUE(h.idle());
}

TEST(ConnectSequence, TellsTheListenerWhichLineOpened) {
    LinkHarness h;
    h.connect(3, 9600);
    const ConnectionInfo& line = h.listener.lastConnection;
    EXPECT_EQ(line.state, LineState::Open);
    EXPECT_STREQ(line.device, "/dev/ttyTEST3");
    EXPECT_EQ(line.baudRate, 9600u);
    h.request(buildDisconnectMessage);
    EXPECT_EQ(h.listener.lastConnection, ConnectionInfo{}) << "closed, and nothing left of it";
}

TEST(ConnectSequence, StoresEveryFieldAndDerivesTheAxisQuantities) {
    LinkHarness h;
    ControllerFigures f;
    f.raMicrostepResolution = 1728000;
    f.decMicrostepResolution = 2592000;
    f.raBaseSpeed = 1000;
    f.raSpeedFactor = 500;
    f.decBaseSpeed = 0x20000;
    f.decSpeedFactor = 0x8001;  // the product wraps in 32 bits
    f.format[2] = 25;
    f.format[6] = 70;  // exponent taken modulo 64
    h.connectAndConfigure(f);

    const MountConfig& m = h.listener.lastMount;
    const EncoderConfig& e = h.listener.lastEncoder;
    EXPECT_EQ(m.connectMarker, 7);
    EXPECT_EQ(m.identityWord, f.identityWord);
    EXPECT_EQ(m.reply2Word, f.reply2Word);
    EXPECT_EQ(m.reply3Byte, f.reply3Byte);
    EXPECT_EQ(m.reply3Spare, 0);
    EXPECT_EQ(m.raAxisByte, f.raAxisByte);
    EXPECT_EQ(m.decAxisByte, f.decAxisByte);
    EXPECT_EQ(m.raGearRatio, f.raGearRatio);
    EXPECT_EQ(m.decGearRatio, f.decGearRatio);
    EXPECT_EQ(m.raMicrostepResolution, 1728000u);
    EXPECT_EQ(m.decMicrostepResolution, 2592000u);
    EXPECT_EQ(m.raBaseSpeed, 1000u);
    EXPECT_EQ(m.decBaseSpeed, 0x20000u);
    EXPECT_EQ(m.raSpeedFactor, 500u);
    EXPECT_EQ(m.decSpeedFactor, 0x8001u);
    EXPECT_EQ(m.reverseMotor, f.reverseMotor);
    EXPECT_EQ(m.motorOption, f.motorOption);
    EXPECT_EQ(m.raMaxSpeed, 500000u);
    EXPECT_EQ(m.decMaxSpeed, 0x20000u);

    // Block bytes are offset + base; multi-byte fields little-endian.
    auto half = [](uint8_t base, int offset) {
        return static_cast<uint16_t>((base + offset) | (base + offset + 1) << 8);
    };
    auto byte = [](uint8_t base, int offset) { return static_cast<uint8_t>(base + offset); };
    const uint8_t r = kRaBlockBase, d = kDecBlockBase;
    EXPECT_EQ(m.raMotor2, byte(r, 2));
    EXPECT_EQ(m.raMotor3, half(r, 3));
    EXPECT_EQ(m.raMotor5, half(r, 5));
    EXPECT_EQ(m.raMotor7, half(r, 7));
    EXPECT_EQ(m.raMotor9, half(r, 9));
    EXPECT_EQ(m.raMotor11, byte(r, 11));
    EXPECT_EQ(m.raMotor12, byte(r, 12));
    EXPECT_EQ(m.raMotor13, byte(r, 13));
    EXPECT_EQ(m.raMotor14, byte(r, 14));
    EXPECT_EQ(m.raMotor15, byte(r, 15));
    EXPECT_EQ(m.raMotor16, byte(r, 16));
    EXPECT_EQ(m.raMotor17, byte(r, 17));
    EXPECT_EQ(m.raMotor18, half(r, 18));
    EXPECT_EQ(m.raMotor20, half(r, 20));
    EXPECT_EQ(m.raMotor22, byte(r, 22));
    EXPECT_EQ(m.raMotor23, 0x5A595857u);  // offsets 23..26 of the RA block
    EXPECT_EQ(m.decMotor2, byte(d, 2));
    EXPECT_EQ(m.decMotor3, half(d, 3));
    EXPECT_EQ(m.decMotor9, half(d, 9));
    EXPECT_EQ(m.decMotor11, byte(d, 11));
    EXPECT_EQ(m.decMotor17, byte(d, 17));
    EXPECT_EQ(m.decMotor20, half(d, 20));
    EXPECT_EQ(m.decMotor22, byte(d, 22));
    EXPECT_EQ(m.decMotor23, 0x9A999897u);

    EXPECT_EQ(e.raFlags, 0x01);
    EXPECT_EQ(e.raLeadingBits, 12);
    EXPECT_EQ(e.raBitsPerRev, 25);
    EXPECT_EQ(e.raBitsForRevs, 0);
    EXPECT_EQ(e.decFlags, 0x02);
    EXPECT_EQ(e.decLeadingBits, 12);
    EXPECT_EQ(e.decBitsPerRev, 70);
    EXPECT_EQ(e.raCountsPerRev, uint64_t{1} << 25);
    EXPECT_EQ(e.decCountsPerRev, uint64_t{1} << 6);
    EXPECT_EQ(e.reverseEncoder, f.reverseEncoder);
    EXPECT_EQ(e.raOffset, -1234);
    EXPECT_EQ(e.decOffset, 56789);

    // Steps per hour of each axis, as a slew uses them: 72000 on RA,
    // 108000 on Dec. East side, one hour west of the meridian, Dec 45.
    h.clock.hours = 10.0L;
    h.request(buildGotoMessage, 9 * 54000, 45 * 3600);
    Bytes move{0xAA, 0x0B, 0x25, 0x01, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0};
    putWord(move, 5, static_cast<uint32_t>(-5 * 72000));
    putWord(move, 9, 45 * 108000 / 15);
    EXPECT_EQ(h.take(), (Lines{"frame " + hex(move), "status 15"}));
}

TEST(ConnectSequence, WrongIdentifyIsRejectedAndThePortClosed) {
    const Bytes rejected[] = {
        replyFrame({}),                     // 55 00
        replyFrame({0x01, 1, 2, 3}),        // too short
        replyFrame({0x01, 1, 2, 3, 4, 5}),  // too long
        replyFrame({0x02, 1, 2, 3, 4}),     // wrong command
    };
    for (const Bytes& reply : rejected) {
        LinkHarness h;
        h.connect();
        h.take();
        h.reply(reply);
        EXPECT_EQ(h.take(), (Lines{"status 9", "close", "line closed"})) << hex(reply);
        EXPECT_FALSE(h.ready());
        h.tick(50);
        EXPECT_EQ(h.take(), Lines{}) << "closed: heartbeats are ignored";
    }
}

TEST(ConnectSequence, RejectionIsNotHiddenByALaterReplyInTheSameChunk) {
    LinkHarness h;
    h.connect();
    h.take();
    Bytes chunk = replyFrame({0x02});
    const Bytes second = replyFrame({0x03, 0x00});
    chunk.insert(chunk.end(), second.begin(), second.end());
    h.reply(chunk);
    EXPECT_EQ(h.take(), (Lines{"status 9", "close", "line closed"}));
}

TEST(ConnectSequence, ReadinessIsNotHiddenByALaterReplyInTheSameChunk) {
    LinkHarness h;
    const ControllerFigures f;
    h.connect();
    h.reply(identifyReply(f));
    h.tick(2);
    for (auto reply : {query03Reply, query02Reply, axisReply, motorReply, formatReply}) {
        h.reply(reply(f));
    }
    Bytes chunk = calibrationReply(f);
    const Bytes stray = replyFrame({0x7B});
    chunk.insert(chunk.end(), stray.begin(), stray.end());
    h.reply(chunk);
    EXPECT_TRUE(h.ready());
}

TEST(ConnectSequence, TimesOutOnTheFortiethTickInEveryEarlyState) {
    const ControllerFigures f;
    // How far the controller gets before it falls silent.
    const std::vector<Bytes> progress[] = {
        {},
        {query03Reply(f)},
        {query03Reply(f), query02Reply(f)},
        {query03Reply(f), query02Reply(f), axisReply(f)},
        {query03Reply(f), query02Reply(f), axisReply(f), motorReply(f)},
        {query03Reply(f), query02Reply(f), axisReply(f), motorReply(f), formatReply(f)},
    };
    for (size_t step = 0; step < std::size(progress); ++step) {
        LinkHarness h;
        h.connect();
        int ticks = 0;
        if (step > 0) {
            h.reply(identifyReply(f));
            h.tick(2);
            ticks = 2;
            for (const Bytes& r : progress[step]) h.reply(r);
        }
        h.take();
        h.tick(39 - ticks);
        EXPECT_EQ(h.take(), Lines{}) << "step " << step;
        h.tick();
        EXPECT_EQ(h.take(), (Lines{"status 7", "close", "line closed"})) << "step " << step;
        h.tick(50);
        EXPECT_EQ(h.take(), Lines{});  // heartbeats are ignored while closed
    }
}

TEST(ConnectSequence, TimesOutInTheDelayAfterALateIdentify) {
    LinkHarness h;
    h.connect();
    h.tick(39);
    h.reply(identifyReply({}));
    h.take();
    h.tick();
    EXPECT_EQ(h.take(), (Lines{"status 7", "close", "line closed"}));
}

TEST(ConnectSequence, SequenceCompletedInTimeIsNotTimedOutLater) {
    LinkHarness h;
    h.connectAndConfigure();
    h.request(buildStoreSettingsMessage);
    h.tick(100);
    EXPECT_EQ(h.take(), Lines{"frame AA 02 0D 01"});
    EXPECT_TRUE(h.ready());
}

TEST(ConnectProcedure, ConnectWhileOpenReportsAlreadyConnected) {
    LinkHarness h;
    h.connect();
    h.take();
    h.connect();
    EXPECT_EQ(h.take(), Lines{"status 11"});
    // The sequence under way goes on.
    h.reply(identifyReply({}));
    h.tick(2);
    EXPECT_EQ(h.take(), Lines{"frame AA 01 03"});
}

TEST(ConnectProcedure, PortThatCannotOpenReportsSixAndStaysClosed) {
    LinkHarness h;
    h.transport.openSucceeds = false;
    h.pipe({0x86, 0x02, 0x00, 0x00, 0xC2, 0x01, 0x00});
    EXPECT_EQ(h.take(), (Lines{"status 1", "open 0 115200", "line failed", "status 6"}));
    EXPECT_STREQ(h.listener.lastConnection.reason, "No such file");
    h.tick(50);
    h.request(buildDisconnectMessage);
    EXPECT_EQ(h.take(), Lines{"status 12"});
}

TEST(ConnectProcedure, DisconnectClosesOrReportsNotConnected) {
    LinkHarness h;
    h.request(buildDisconnectMessage);
    EXPECT_EQ(h.take(), Lines{"status 12"});
    h.connectAndConfigure();
    h.request(buildDisconnectMessage);
    EXPECT_EQ(h.take(), (Lines{"close", "line closed", "status 4"}));
    EXPECT_FALSE(h.ready());
    h.request(buildDisconnectMessage);
    EXPECT_EQ(h.take(), Lines{"status 12"});
}

TEST(ConnectProcedure, DisconnectDuringTheSequenceCloses) {
    LinkHarness h;
    h.connect();
    h.take();
    h.request(buildDisconnectMessage);
    EXPECT_EQ(h.take(), (Lines{"close", "line closed", "status 4"}));
}

TEST(ConnectProcedure, ReconnectStartsTheSequenceAfresh) {
    LinkHarness h;
    h.connectAndConfigure();
    h.request(buildReadEncodersQuietMessage, 0);
    h.request(buildDisconnectMessage);
    h.reply(identifyReply({}));  // late bytes after the close are dropped
    h.take();
    h.connectAndConfigure();
    EXPECT_TRUE(h.ready());
    EXPECT_TRUE(h.idle()) << "the quiet read of the last connection is forgotten";
}

TEST(ConnectProcedure, PartialReplyBeforeAReconnectDoesNotLeakIntoIt) {
    LinkHarness h;
    h.connect();
    h.reply({0x55, 0x05, 0x01});  // identify reply cut off by a disconnect
    h.request(buildDisconnectMessage);
    h.take();
    h.connect();
    h.take();
    h.reply(identifyReply({}));
    h.tick(2);
    EXPECT_EQ(h.take(), Lines{"frame AA 01 03"});
}

TEST(ConnectProcedure, RequestsBeforeReadyAreRefused) {
    LinkHarness h;
    h.request(buildStopMessage, 4);
    h.connect();
    h.take();
    h.request(buildStoreSettingsMessage);
    h.request(buildReadEncodersMessage, 0);
    h.pipe({0x83, 0x02, 0x01, 0x02});  // connect with a short body
    EXPECT_EQ(h.take(), (Lines{"status 12", "status 12", "status 12"}));
    // Still waiting for the identify reply.
    h.reply(identifyReply({}));
    h.tick(2);
    EXPECT_EQ(h.take(), Lines{"frame AA 01 03"});
}

TEST(PortLoss, ControlMessageClosesAnOpenPortWithStatus18) {
    LinkHarness h;
    h.connectAndConfigure();
    h.pipe({0xC2, 0x01, 0x01});  // the first opening's notice
    EXPECT_EQ(h.take(), (Lines{"close", "line closed", "status 18"}));
    EXPECT_FALSE(h.ready());
    // A second notice for the same loss finds the port closed.
    h.pipe({0xC2, 0x01, 0x01});
    EXPECT_EQ(h.take(), Lines{});
}

TEST(PortLoss, ANoticeFromAnEarlierOpeningLeavesTheNewPortAlone) {
    LinkHarness h;
    h.connectAndConfigure();
    h.request(buildDisconnectMessage);
    h.connectAndConfigure();
    h.take();
    // The first reader's notice, still in the pipe behind the reconnect.
    h.pipe({0xC2, 0x01, 0x01});
    EXPECT_EQ(h.take(), Lines{});
    EXPECT_TRUE(h.ready());
    h.pipe({0xC2, 0x01, 0x02});
    EXPECT_EQ(h.take(), (Lines{"close", "line closed", "status 18"}));
}

TEST(PortLoss, OtherControlMessagesAreIgnored) {
    LinkHarness h;
    h.connectAndConfigure();
    h.pipe({0xC0, 0x01, 0xC1, 0x02, 0xC2, 0x00, 0x01});
    EXPECT_EQ(h.take(), Lines{});
    EXPECT_TRUE(h.ready());
}

TEST(Teardown, CloseQuietlyClosesAnOpenPortWithoutTellingAnyone) {
    LinkHarness h;
    h.engine.closeQuietly();
    EXPECT_EQ(h.take(), Lines{});
    h.connectAndConfigure();
    h.engine.closeQuietly();
    EXPECT_EQ(h.take(), Lines{"close"});
    EXPECT_FALSE(h.ready());
}

}  // namespace
}  // namespace zr8::test
