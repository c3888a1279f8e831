// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/encoder_model.h"

#include <gtest/gtest.h>

namespace zr8::sim {
namespace {

constexpr uint32_t kRes = 1728000;  // microsteps per turn

// What the link makes of a word: counts scaled to arcseconds by bits per turn.
uint32_t linkArcsec(uint32_t word, uint8_t bitsPerRev) {
    return static_cast<uint32_t>((uint64_t{word} * 1296000u) >> (bitsPerRev % 64));
}

struct AngleCase {
    const char* name;
    double turns;  // shaft angle
    EncoderFormat format;
    bool reverse;
    int32_t offset;
    uint32_t word;
    uint32_t arcsec;  // as the link shows it
};

class EncoderWordTest : public ::testing::TestWithParam<AngleCase> {};

TEST_P(EncoderWordTest, FollowsTheShaftThroughFormatAndCalibration) {
    const AngleCase& c = GetParam();
    const int64_t counts = encoderCounts(c.turns * kRes, kRes, c.format.bitsPerRev);
    const uint32_t word = encoderWord(counts, c.format, c.reverse, c.offset);
    EXPECT_EQ(word, c.word);
    EXPECT_EQ(linkArcsec(word, c.format.bitsPerRev), c.arcsec);
}

constexpr EncoderFormat k25{0, 12, 25, 0};
constexpr EncoderFormat k20Revs4{0, 0, 20, 4};
constexpr EncoderFormat k32{0, 0, 32, 0};

INSTANTIATE_TEST_SUITE_P(
    KnownAngles, EncoderWordTest,
    ::testing::Values(
        AngleCase{"zero", 0.0, k25, false, 0, 0, 0},
        AngleCase{"quarter_turn", 0.25, k25, false, 0, 1u << 23, 324000},
        AngleCase{"half_turn", 0.5, k25, false, 0, 1u << 24, 648000},
        AngleCase{"one_arcsecond_short_of_a_turn", 1.0 - 1.0 / 1296000, k25, false, 0, 33554406,
                  1295998},
        AngleCase{"full_turn_wraps", 1.0, k25, false, 0, 0, 0},
        AngleCase{"negative_angle_wraps_to_the_top", -0.25, k25, false, 0, 3u << 23, 972000},
        AngleCase{"reversed_encoder_counts_down", 0.25, k25, true, 0, 3u << 23, 972000},
        AngleCase{"offset_is_added_in_counts", 0.25, k25, false, 1000, (1u << 23) + 1000, 324038},
        AngleCase{"offset_wraps_within_the_turn", 0.0, k25, false, -1, (1u << 25) - 1, 1295999},
        AngleCase{"reverse_then_offset", 0.5, k25, true, 1 << 23, 3u << 23, 972000},
        AngleCase{"turns_above_the_angle_bits", 1.5, k20Revs4, false, 0, 3u << 19, 1944000},
        AngleCase{"turn_bits_wrap_too", 16.25, k20Revs4, false, 0, 1u << 18, 324000},
        AngleCase{"thirty_two_bits", 0.5, k32, false, 0, 1u << 31, 648000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncoderCounts, ZeroResolutionGivesZero) { EXPECT_EQ(encoderCounts(12345.0, 0, 25), 0); }

TEST(EncoderCounts, RoundsTowardMinusInfinity) {
    // 1 microstep of 1728000 is 19.4 counts at 25 bits.
    EXPECT_EQ(encoderCounts(1.0, kRes, 25), 19);
    EXPECT_EQ(encoderCounts(-1.0, kRes, 25), -20);
}

struct SerialCase {
    const char* name;
    int64_t counts;
    EncoderFormat format;
    uint64_t data;
};

class EncoderSerialDataTest : public ::testing::TestWithParam<SerialCase> {};

TEST_P(EncoderSerialDataTest, EncodesAsTheFlagsSay) {
    const SerialCase& c = GetParam();
    EXPECT_EQ(encoderSerialData(c.counts, c.format), c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EncoderSerialDataTest,
    ::testing::Values(SerialCase{"plain_binary", 0b1011, {0, 4, 8, 0}, 0b1011},
                      SerialCase{"gray", 0b1011, {2, 4, 8, 0}, 0b1110},
                      SerialCase{"inverted_over_all_bits", 0b1011, {1, 4, 8, 0}, 0xFF4},
                      SerialCase{"gray_then_inverted", 0b1011, {3, 4, 8, 0}, 0xFF1},
                      SerialCase{"cut_to_data_bits", 0x1FF, {0, 0, 8, 0}, 0xFF}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zr8::sim
