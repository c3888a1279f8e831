// SPDX-License-Identifier: GPL-3.0-or-later
// Reply assembly: framing, resynchronisation, and that the slicing of the
// serial stream never changes what is decoded.

#include <gtest/gtest.h>

#include "link/reply_assembler.h"
#include "tests/link/link_harness.h"

namespace zr8::test {
namespace {

// Every frame the assembler completes, as hex, fed in pieces of `slice`.
Lines assemble(const Bytes& stream, size_t slice) {
    ReplyAssembler assembler;
    Lines frames;
    for (size_t at = 0; at < stream.size(); at += slice) {
        const size_t count = std::min(slice, stream.size() - at);
        size_t done = 0;
        while (done < count) {
            bool completed = false;
            done += assembler.feed(stream.data() + at + done, count - done, completed);
            if (completed) frames.push_back(hex(assembler.frame(), assembler.length()));
        }
    }
    return frames;
}

TEST(ReplyAssembler, FramesByLengthWhateverTheSlicing) {
    Bytes stream{0x00, 0x13, 0xAA};                                // noise before a start byte
    const Bytes payload55 = replyFrame({0x7A, 0x55, 0x55, 0x02});  // 55 inside a payload
    stream.insert(stream.end(), payload55.begin(), payload55.end());
    stream.insert(stream.end(), {0x55, 0x00});  // an empty reply
    stream.insert(stream.end(), {0x12, 0x55, 0x01, 0x0D});
    Bytes big = blankReply(0x15, 255);
    for (size_t i = 3; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i);
    stream.insert(stream.end(), big.begin(), big.end());

    const Lines expected = {"55 04 7A 55 55 02", "55 00", "55 01 0D", hex(big)};
    for (size_t slice = 1; slice <= stream.size(); ++slice) {
        ASSERT_EQ(assemble(stream, slice), expected) << "slice " << slice;
    }
}

TEST(ReplyAssembler, ShortFrameReadsAsZeroPastItsEnd) {
    ReplyAssembler assembler;
    bool completed = false;
    Bytes longFrame = blankReply(0x15, 60);
    for (size_t i = 2; i < longFrame.size(); ++i) longFrame[i] = 0xEE;
    assembler.feed(longFrame.data(), longFrame.size(), completed);
    ASSERT_TRUE(completed);
    const Bytes shortFrame = replyFrame({0x7A, 0x01});
    assembler.feed(shortFrame.data(), shortFrame.size(), completed);
    ASSERT_TRUE(completed);
    ASSERT_EQ(assembler.length(), 4u);
    for (size_t i = 4; i < ReplyAssembler::kDecodeWindow; ++i) {
        EXPECT_EQ(assembler.frame()[i], 0) << i;
    }
}

// A ready link that has read the encoders once with large words.
struct ReadingLink : LinkHarness {
    ReadingLink() {
        connectAndConfigure();
        request(buildReadEncodersMessage, 0);
        reply(encoderReply(0xFFFFFFFF, 0xFFFFFFFF));
        request(buildReadEncodersMessage, 0);
        log.clear();
    }
};

TEST(ReplyDecoding, ReadingIsTheSameWhereverTheStreamIsSplit) {
    Bytes stream{0x01, 0x02};  // leftovers before the reply
    const Bytes reply = encoderReply(0x00C0FFEE, 0x55555555);
    stream.insert(stream.end(), reply.begin(), reply.end());

    ReadingLink whole;
    whole.reply(stream);
    const EncoderPositions expected = whole.listener.lastPositions;
    ASSERT_EQ(expected.raRaw, 0x00C0FFEEu);
    ASSERT_EQ(expected.decRaw, 0x55555555u);

    for (size_t split = 1; split < stream.size(); ++split) {
        ReadingLink h;
        h.reply(Bytes(stream.begin(), stream.begin() + static_cast<long>(split)));
        h.reply(Bytes(stream.begin() + static_cast<long>(split), stream.end()));
        EXPECT_EQ(h.take(), Lines{"positions"}) << split;
        EXPECT_EQ(h.listener.lastPositions, expected) << split;
    }
    ReadingLink byteByByte;
    for (uint8_t b : stream) byteByByte.reply({b});
    EXPECT_EQ(byteByByte.listener.lastPositions, expected);
}

TEST(ReplyDecoding, WholeConnectSequenceInOneChunk) {
    const ControllerFigures f;
    LinkHarness stepwise;
    stepwise.connectAndConfigure(f);

    LinkHarness h;
    h.connect();
    h.reply(identifyReply(f));
    h.tick(2);
    Bytes chunk;
    for (auto reply :
         {query03Reply, query02Reply, axisReply, motorReply, formatReply, calibrationReply}) {
        const Bytes r = reply(f);
        chunk.insert(chunk.end(), r.begin(), r.end());
    }
    h.take();
    h.reply(chunk);
    EXPECT_EQ(h.take(), (Lines{"frame AA 01 02", "frame AA 01 14", "frame AA 01 15",
                               "frame AA 01 17", "frame AA 01 7B", "configuration 3 1"}));
    EXPECT_TRUE(h.ready());
    EXPECT_EQ(h.listener.lastMount, stepwise.listener.lastMount);
    EXPECT_EQ(h.listener.lastEncoder, stepwise.listener.lastEncoder);
}

TEST(ReplyDecoding, ManyReadingsInOneChunkPublishEach) {
    ReadingLink h;
    Bytes chunk = encoderReply(1u << 24, 0);
    // The next replies arrive while no read is outstanding and are ignored.
    for (int i = 0; i < 5; ++i) {
        const Bytes r = encoderReply(static_cast<uint32_t>(i), 0);
        chunk.insert(chunk.end(), r.begin(), r.end());
    }
    h.reply(chunk);
    EXPECT_EQ(h.take(), Lines{"positions"});
    EXPECT_EQ(h.listener.lastPositions.raRaw, 1u << 24);
    EXPECT_EQ(h.listener.lastPositions.raArcsec, 648000);
}

TEST(ReplyDecoding, ShortReadingDoesNotReuseAnEarlierFramesBytes) {
    ReadingLink h;
    h.reply(replyFrame({0x7A, 0x01, 0x02}));
    EXPECT_EQ(h.take(), Lines{"positions"});
    EXPECT_EQ(h.listener.lastPositions.raRaw, 0x0201u);
    EXPECT_EQ(h.listener.lastPositions.decRaw, 0u);
}

// A reply whose tail never comes must not be completed by the next reply's
// bytes: that would publish a reading made of two frames.
TEST(ReplyDecoding, ReplyCutShortOnTheLineIsDroppedAfterAPause) {
    const Bytes full = encoderReply(0x00C0FFEE, 0x01020304);
    const Bytes cut(full.begin(), full.begin() + 6);
    {
        ReadingLink h;  // a pause shorter than the gap keeps the frame
        h.reply(cut);
        h.tick(kReplyGapTicks - 1);
        h.reply(Bytes(full.begin() + 6, full.end()));
        EXPECT_EQ(h.take(), Lines{"positions"});
        EXPECT_EQ(h.listener.lastPositions.raRaw, 0x00C0FFEEu);
    }
    for (const int32_t ticks : {0, 1}) {  // a request in the middle of a reply keeps it
        ReadingLink h;
        h.reply(cut);
        h.tick(ticks);
        h.request(buildReadEncodersMessage, 0);
        h.reply(Bytes(full.begin() + 6, full.end()));
        EXPECT_EQ(h.take(), (Lines{"frame AA 02 7A 01", "positions"}));
        EXPECT_EQ(h.listener.lastPositions.raRaw, 0x00C0FFEEu) << ticks;
    }
    for (const int32_t ticks :
         {kReplyGapTicks - 1, kReplyGapTicks}) {  // asked again after a pause, or a long pause
        ReadingLink h;
        h.reply(cut);
        h.tick(ticks);
        h.request(buildReadEncodersMessage, 0);
        h.reply(encoderReply(7, 8));
        EXPECT_EQ(h.take(), (Lines{"frame AA 02 7A 01", "positions"}));
        EXPECT_EQ(h.listener.lastPositions.raRaw, 7u) << ticks;
        EXPECT_EQ(h.listener.lastPositions.decRaw, 8u) << ticks;
    }
}

TEST(ReplyDecoding, ShortPollReplyIsNotTakenForAMovingAxis) {
    LinkHarness h;
    h.clock.hours = 10.0L;
    h.connectAndConfigure();
    h.request(buildGotoMessage, 9 * 54000, 0);
    h.reply(replyFrame({0x25, 0x09, 0x09, 0x09, 0x09}));  // acknowledgement with high bytes
    h.tick(8);
    h.take();
    h.reply(replyFrame({0x1E}));
    const Lines lines = h.take();  // stopped: the correction pass goes out
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 14), "frame AA 0B 25");
}

TEST(ReplyDecoding, ShortConfigurationRepliesLeaveZeros) {
    ControllerFigures f;
    LinkHarness h;
    h.connect();
    h.reply(identifyReply(f));
    h.tick(2);
    h.reply(query03Reply(f));
    h.reply(query02Reply(f));
    h.reply(replyFrame({0x14, 0x00, 0x07}));  // axis reply cut short
    h.reply(replyFrame({0x15}));
    h.reply(replyFrame({0x17}));
    h.reply(replyFrame({0x7B}));
    ASSERT_TRUE(h.ready());
    const MountConfig& m = h.listener.lastMount;
    EXPECT_EQ(m.raAxisByte, 7);
    EXPECT_EQ(m.raGearRatio, 0u);
    EXPECT_EQ(m.raMicrostepResolution, 0u);
    EXPECT_EQ(m.decBaseSpeed, 0u);
    EXPECT_EQ(m.raMotor23, 0u);
    EXPECT_EQ(h.listener.lastEncoder.raBitsPerRev, 0);
    EXPECT_EQ(h.listener.lastEncoder.raCountsPerRev, 1u);
}

TEST(ReplyDecoding, RepliesNobodyAwaitsAreIgnored) {
    LinkHarness h;
    h.connectAndConfigure();
    h.reply(calibrationReply({}));
    h.reply(identifyReply({}));
    h.reply({0x55, 0x00});
    EXPECT_EQ(h.take(), Lines{});
    EXPECT_TRUE(h.idle());
}

}  // namespace
}  // namespace zr8::test
