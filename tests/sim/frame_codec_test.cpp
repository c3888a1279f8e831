// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/frame_codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace zr8::sim {
namespace {

using Bytes = std::vector<uint8_t>;

struct DecodeCase {
    const char* name;
    Bytes input;
    std::vector<Bytes> frames;
    uint64_t skipped;
};

class FrameDecoderTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(FrameDecoderTest, FindsTheFramesAndSkipsTheRest) {
    const DecodeCase& c = GetParam();
    FrameDecoder decoder;
    std::vector<Bytes> frames;
    for (uint8_t b : c.input) {
        if (decoder.feed(b) == FrameDecoder::Result::Frame) {
            const auto f = decoder.frame();
            frames.emplace_back(f.begin(), f.end());
        }
    }
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(decoder.skippedBytes(), c.skipped);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, FrameDecoderTest,
    ::testing::Values(
        DecodeCase{"identify", {0xAA, 0x01, 0x01}, {{0xAA, 0x01, 0x01}}, 0},
        DecodeCase{"two_in_one_chunk",
                   {0xAA, 0x02, 0x7A, 0x01, 0xAA, 0x03, 0x21, 0x00, 0xC0},
                   {{0xAA, 0x02, 0x7A, 0x01}, {0xAA, 0x03, 0x21, 0x00, 0xC0}},
                   0},
        DecodeCase{"noise_before", {0x00, 0x55, 0x13, 0xAA, 0x01, 0x03}, {{0xAA, 0x01, 0x03}}, 3},
        DecodeCase{"start_byte_inside_arguments",
                   {0xAA, 0x07, 0x23, 0x00, 0x80, 0xAA, 0xAA, 0x00, 0x00},
                   {{0xAA, 0x07, 0x23, 0x00, 0x80, 0xAA, 0xAA, 0x00, 0x00}},
                   0},
        DecodeCase{"longest_frame",
                   {0xAA, 0x0B, 0x25, 0x01, 0xC0, 1, 2, 3, 4, 5, 6, 7, 8},
                   {{0xAA, 0x0B, 0x25, 0x01, 0xC0, 1, 2, 3, 4, 5, 6, 7, 8}},
                   0},
        DecodeCase{
            "zero_length_is_no_frame", {0xAA, 0x00, 0xAA, 0x01, 0x01}, {{0xAA, 0x01, 0x01}}, 2},
        DecodeCase{"oversized_length_does_not_swallow_the_next_frame",
                   {0xAA, 0xF0, 0xAA, 0x01, 0x14},
                   {{0xAA, 0x01, 0x14}},
                   2},
        DecodeCase{"doubled_start_byte", {0xAA, 0xAA, 0x01, 0x01}, {{0xAA, 0x01, 0x01}}, 1},
        DecodeCase{"largest_accepted_length",
                   [] {
                       Bytes b{0xAA, 32};
                       b.resize(34, 0x42);
                       return b;
                   }(),
                   {[] {
                       Bytes b{0xAA, 32};
                       b.resize(34, 0x42);
                       return b;
                   }()},
                   0},
        DecodeCase{"a_reply_is_not_a_command", {0x55, 0x02, 0x0D, 0x00}, {}, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameDecoder, ResetDropsAPartialFrameAndResynchronises) {
    FrameDecoder decoder;
    for (uint8_t b : {0xAA, 0x0B, 0x25, 0x01})
        EXPECT_EQ(decoder.feed(b), FrameDecoder::Result::Pending);
    EXPECT_TRUE(decoder.inFrame());
    decoder.reset();
    EXPECT_EQ(decoder.lastSkipped().size(), 4u);
    EXPECT_EQ(decoder.skippedBytes(), 4u);
    EXPECT_FALSE(decoder.inFrame());
    FrameDecoder::Result last{};
    for (uint8_t b : {0xAA, 0x01, 0x01}) last = decoder.feed(b);
    EXPECT_EQ(last, FrameDecoder::Result::Frame);
}

TEST(FrameDecoder, ReportsWhichBytesItSkipped) {
    FrameDecoder decoder;
    EXPECT_EQ(decoder.feed(0x13), FrameDecoder::Result::Skipped);
    ASSERT_EQ(decoder.lastSkipped().size(), 1u);
    EXPECT_EQ(decoder.lastSkipped()[0], 0x13);
    decoder.feed(0xAA);
    EXPECT_EQ(decoder.feed(0x00), FrameDecoder::Result::Skipped);
    ASSERT_EQ(decoder.lastSkipped().size(), 2u);
    EXPECT_EQ(decoder.lastSkipped()[0], 0xAA);
    EXPECT_EQ(decoder.lastSkipped()[1], 0x00);
}

TEST(ReplyEncoding, FramesThePayload) {
    ReplyFrame reply;
    const uint8_t payload[] = {0x01, 0x5A, 0x52, 0x38, 0x01};
    encodeReply(payload, reply);
    EXPECT_EQ(Bytes(reply.view().begin(), reply.view().end()),
              (Bytes{0x55, 0x05, 0x01, 0x5A, 0x52, 0x38, 0x01}));

    encodeReply({}, reply);
    EXPECT_EQ(Bytes(reply.view().begin(), reply.view().end()), (Bytes{0x55, 0x00}));
}

TEST(ReplyEncoding, WordsAreLittleEndian) {
    uint8_t out[4];
    writeU32(out, 0xFFFFFC18u);  // -1000
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x18, 0xFC, 0xFF, 0xFF}));
    EXPECT_EQ(readU32(out, 0), 0xFFFFFC18u);
    const uint8_t shortBuffer[] = {0x01, 0x02};
    EXPECT_EQ(readU32(shortBuffer, 0), 0x0201u);  // never reads past the end
}

}  // namespace
}  // namespace zr8::sim
