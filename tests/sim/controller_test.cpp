// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/controller.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "sim/state_file.h"

namespace zr8::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

Bytes ask(Controller& c, const Bytes& frame, SimTime now = 0s) {
    ReplyFrame reply;
    if (!c.handleFrame(frame, now, reply)) return {};
    return Bytes(reply.view().begin(), reply.view().end());
}

struct ReplyCase {
    const char* name;
    Bytes frame;
    Bytes reply;  // empty: no reply
};

class ControllerReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ControllerReplyTest, AnswersByteForByte) {
    Controller c(SimConfig{});
    EXPECT_EQ(ask(c, GetParam().frame), GetParam().reply);
}

// The default configuration: identity "ZR8" 01; gear 270; 1728000 microsteps
// (00 1A 5E 00); base speed 1000 (E8 03); speed factor 1000; format 0,12,25,0.
INSTANTIATE_TEST_SUITE_P(
    Catalogue, ControllerReplyTest,
    ::testing::Values(
        ReplyCase{"identify", {0xAA, 0x01, 0x01}, {0x55, 0x05, 0x01, 0x5A, 0x52, 0x38, 0x01}},
        ReplyCase{"query03", {0xAA, 0x01, 0x03}, {0x55, 0x02, 0x03, 0x01}},
        ReplyCase{"query02", {0xAA, 0x01, 0x02}, {0x55, 0x05, 0x02, 0x02, 0x00, 0x01, 0x00}},
        ReplyCase{
            "axis_configuration",
            {0xAA, 0x01, 0x14},
            {0x55, 0x1C, 0x14, 0xC0,                                //
             0x80, 0x0E, 0x01, 0x00, 0x00, 0x00, 0x5E, 0x1A, 0x00,  // RA axis, gear, microsteps
             0xE8, 0x03, 0x00, 0x00,                                // RA base speed
             0x40, 0x0E, 0x01, 0x00, 0x00, 0x00, 0x5E, 0x1A, 0x00,  // Dec
             0xE8, 0x03, 0x00, 0x00}},
        ReplyCase{"encoder_format",
                  {0xAA, 0x01, 0x17},
                  {0x55, 0x09, 0x17, 0x00, 0x0C, 0x19, 0x00, 0x00, 0x0C, 0x19, 0x00}},
        ReplyCase{"encoder_calibration",
                  {0xAA, 0x01, 0x7B},
                  {0x55, 0x0A, 0x7B, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}},
        ReplyCase{
            "read_encoders", {0xAA, 0x02, 0x7A, 0x01}, {0x55, 0x09, 0x7A, 0, 0, 0, 0, 0, 0, 0, 0}},
        ReplyCase{"read_encoders_1",
                  {0xAA, 0x02, 0x7D, 0x01},
                  {0x55, 0x09, 0x7D, 0, 0, 0, 0, 0, 0, 0, 0}},
        ReplyCase{"read_encoders_2",
                  {0xAA, 0x02, 0x7E, 0x01},
                  {0x55, 0x09, 0x7E, 0, 0, 0, 0, 0, 0, 0, 0}},
        ReplyCase{"poll_motion", {0xAA, 0x02, 0x1E, 0x01}, {0x55, 0x04, 0x1E, 0x01, 0x00, 0x00}},
        ReplyCase{"read_axis_positions",
                  {0xAA, 0x03, 0x1F, 0x01, 0xC0},
                  {0x55, 0x0C, 0x1F, 0x01, 0xC0, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}},
        ReplyCase{"position_axes",
                  {0xAA, 0x0B, 0x25, 0x01, 0xC0, 1, 0, 0, 0, 2, 0, 0, 0},
                  {0x55, 0x02, 0x25, 0x00}},
        ReplyCase{"write_calibration",
                  {0xAA, 0x0B, 0x7C, 0x01, 0x03, 1, 0, 0, 0, 2, 0, 0, 0},
                  {0x55, 0x02, 0x7C, 0x00}},
        ReplyCase{"store_settings", {0xAA, 0x02, 0x0D, 0x01}, {0x55, 0x02, 0x0D, 0x00}},
        // Commands the link awaits nothing for are answered by silence.
        ReplyCase{"set_positions",
                  {0xAA, 0x0B, 0x20, 0x01, 0xC0, 0, 0xC0, 0xFF, 0xFF, 0, 0x80, 0, 0},
                  {}},
        ReplyCase{"stop", {0xAA, 0x03, 0x21, 0x00, 0xC0}, {}},
        ReplyCase{"manual_speed", {0xAA, 0x07, 0x23, 0x00, 0x40, 0x18, 0xFC, 0xFF, 0xFF}, {}},
        ReplyCase{"tracking", {0xAA, 0x03, 0x24, 0x00, 0x01}, {}},
        ReplyCase{"motor_reverse", {0xAA, 0x05, 0x32, 0x00, 0xC0, 0x03, 0x00}, {}},
        ReplyCase{"write_format",
                  {0xAA, 0x0A, 0x18, 0x01, 0x00, 0x0C, 0x19, 0x00, 0x00, 0x0C, 0x19, 0x00},
                  {}},
        // Frames no controller understands.
        ReplyCase{"unknown_command", {0xAA, 0x01, 0x42}, {}},
        ReplyCase{"identify_with_an_argument", {0xAA, 0x02, 0x01, 0x00}, {}},
        ReplyCase{"read_encoders_without_its_argument", {0xAA, 0x01, 0x7A}, {}},
        ReplyCase{"short_position_axes", {0xAA, 0x07, 0x25, 0x01, 0xC0, 1, 0, 0, 0}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Controller, MotorReplyCarriesBitsOptionAndBothBlocks) {
    SimConfig config;
    config.settings.reverseMotor = 0x02;
    config.settings.motorOption = 0x5A;
    config.settings.ra.speedFactor = 0x1234;
    config.settings.dec.speedFactor = 0x0102;
    config.settings.ra.motorBlock[26] = 0xEE;
    config.settings.dec.motorBlock[2] = 0x77;
    Controller c(config);
    const Bytes r = ask(c, {0xAA, 0x01, 0x15});
    ASSERT_EQ(r.size(), 60u);
    EXPECT_EQ(r[1], 58);
    EXPECT_EQ(r[2], 0x15);
    EXPECT_EQ(r[4], 0x02);
    EXPECT_EQ(r[5], 0x5A);
    EXPECT_EQ(r[6], 0x34);  // RA block offset 0..1: speed factor
    EXPECT_EQ(r[7], 0x12);
    EXPECT_EQ(r[32], 0xEE);  // RA block offset 26
    EXPECT_EQ(r[33], 0x02);  // Dec block offset 0..1
    EXPECT_EQ(r[34], 0x01);
    EXPECT_EQ(r[35], 0x77);  // Dec block offset 2
}

TEST(Controller, WritesShowInTheReadBacks) {
    Controller c(SimConfig{});
    ask(c, {0xAA, 0x0A, 0x18, 0x01, 0x03, 0x02, 0x14, 0x04, 0x01, 0x00, 0x11, 0x00});
    EXPECT_EQ(ask(c, {0xAA, 0x01, 0x17}),
              (Bytes{0x55, 0x09, 0x17, 0x03, 0x02, 0x14, 0x04, 0x01, 0x00, 0x11, 0x00}));
    ask(c, {0xAA, 0x0B, 0x7C, 0x01, 0x02, 0x18, 0xFC, 0xFF, 0xFF, 0x10, 0x00, 0x00, 0x00});
    EXPECT_EQ(ask(c, {0xAA, 0x01, 0x7B}),
              (Bytes{0x55, 0x0A, 0x7B, 0x02, 0x18, 0xFC, 0xFF, 0xFF, 0x10, 0x00, 0x00, 0x00}));
    // Only the axes in the mask change their reverse bit; the option is kept as sent.
    ask(c, {0xAA, 0x05, 0x32, 0x00, 0x40, 0x03, 0x07});
    const Bytes motor = ask(c, {0xAA, 0x01, 0x15});
    EXPECT_EQ(motor[4], 0x02);
    EXPECT_EQ(motor[5], 0x07);
}

// Each settings write, ignored as a fault: answered exactly as without the
// fault, yet the settings stay as they were.
TEST(Controller, AnIgnoredWriteIsAnsweredButChangesNothing) {
    const Bytes writes[] = {
        {0xAA, 0x02, 0x0D, 0x01},
        {0xAA, 0x0A, 0x18, 0x01, 0x03, 0x02, 0x14, 0x04, 0x01, 0x00, 0x11, 0x00},
        {0xAA, 0x05, 0x32, 0x00, 0xC0, 0x03, 0x07},
        {0xAA, 0x0B, 0x7C, 0x01, 0x02, 0x18, 0xFC, 0xFF, 0xFF, 0x10, 0x00, 0x00, 0x00},
    };
    for (const Bytes& write : writes) {
        Controller working(SimConfig{});
        Controller faulty(SimConfig{});
        faulty.ignoreCommand(write[2]);
        EXPECT_EQ(ask(faulty, write), ask(working, write)) << int(write[2]);
        EXPECT_EQ(faulty.settings(), SimConfig{}.settings) << int(write[2]);
        EXPECT_EQ(faulty.snapshot(0s).storeCount, 0u) << int(write[2]);
    }
    Controller c(SimConfig{});
    c.ignoreCommand(0x17);  // a query is not a write: not ignorable
    EXPECT_EQ(ask(c, {0xAA, 0x01, 0x17}).size(), 11u);
}

TEST(Controller, SlewShowsInPollAndPositions) {
    Controller c(SimConfig{});
    // RA to +0x10000 (65536 steps, about 3.3 s at 1000 x sidereal), Dec to -1.
    ask(c, {0xAA, 0x0B, 0x25, 0x01, 0xC0, 0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, 0s);
    EXPECT_EQ(ask(c, {0xAA, 0x02, 0x1E, 0x01}, 1s), (Bytes{0x55, 0x04, 0x1E, 0x01, 0x04, 0x00}));
    EXPECT_EQ(ask(c, {0xAA, 0x02, 0x1E, 0x01}, 4s), (Bytes{0x55, 0x04, 0x1E, 0x01, 0x00, 0x00}));
    EXPECT_EQ(ask(c, {0xAA, 0x03, 0x1F, 0x01, 0xC0}, 4s),
              (Bytes{0x55, 0x0C, 0x1F, 0x01, 0xC0, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0xFF,
                     0xFF}));
    ask(c, {0xAA, 0x07, 0x23, 0x00, 0x40, 0x18, 0xFC, 0xFF, 0xFF},
        4s);  // Dec south at the base speed
    EXPECT_EQ(ask(c, {0xAA, 0x02, 0x1E, 0x01}, 5s), (Bytes{0x55, 0x04, 0x1E, 0x01, 0x00, 0x03}));
    ask(c, {0xAA, 0x03, 0x21, 0x00, 0xC0}, 5s);
    EXPECT_EQ(ask(c, {0xAA, 0x02, 0x1E, 0x01}, 6s), (Bytes{0x55, 0x04, 0x1E, 0x01, 0x00, 0x00}));
    ask(c, {0xAA, 0x03, 0x24, 0x00, 0x01}, 6s);
    EXPECT_EQ(ask(c, {0xAA, 0x02, 0x1E, 0x01}, 7s), (Bytes{0x55, 0x04, 0x1E, 0x01, 0x01, 0x00}));
}

TEST(Controller, EncoderReadFollowsTheAxisAndTheCalibration) {
    SimConfig config;
    config.settings.reverseEncoder = 0x02;
    config.settings.decOffset = 5;
    Controller c(config);
    // A quarter turn on RA: 432000 microsteps = 2^23 counts at 25 bits.
    ask(c, {0xAA, 0x0B, 0x25, 0x01, 0x80, 0x80, 0x97, 0x06, 0x00, 0, 0, 0, 0}, 0s);
    EXPECT_EQ(ask(c, {0xAA, 0x02, 0x7A, 0x01}, 60s),
              (Bytes{0x55, 0x09, 0x7A, 0x00, 0x00, 0x80, 0x00, 0x05, 0x00, 0x00, 0x00}));
    EXPECT_EQ(c.snapshot(60s).ra.encoderWord, 1u << 23);
    // Twenty bits a turn: the same angle is 2^18.
    ask(c, {0xAA, 0x0A, 0x18, 0x01, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x14, 0x00}, 60s);
    EXPECT_EQ(ask(c, {0xAA, 0x02, 0x7A, 0x01}, 60s),
              (Bytes{0x55, 0x09, 0x7A, 0x00, 0x00, 0x04, 0x00, 0x05, 0x00, 0x00, 0x00}));
    // Setting the counters leaves the shaft and therefore the encoder alone.
    ask(c, {0xAA, 0x0B, 0x20, 0x01, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0}, 60s);
    EXPECT_EQ(c.snapshot(60s).ra.encoderWord, 1u << 18);
    EXPECT_EQ(c.snapshot(60s).ra.state.position, 0);
}

class StateFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path =
            (std::filesystem::temp_directory_path() /
             (std::string("zr8-sim-") + info->name() + "-" + std::to_string(::getpid()) + ".state"))
                .string();
        std::filesystem::remove(path);
    }
    void TearDown() override { std::filesystem::remove(path); }
    std::string path;
};

TEST_F(StateFileTest, StoredSettingsSurviveARestart) {
    SimConfig config;
    config.stateFile = path;
    {
        Controller c(config);
        ASSERT_TRUE(c.ok()) << c.error();
        ask(c, {0xAA, 0x0B, 0x7C, 0x01, 0x01, 0x10, 0x27, 0x00, 0x00, 0xF0, 0xD8, 0xFF, 0xFF});
        ask(c, {0xAA, 0x05, 0x32, 0x00, 0xC0, 0x02, 0x09});
        ask(c, {0xAA, 0x0A, 0x18, 0x01, 0x02, 0x0A, 0x12, 0x03, 0x01, 0x0B, 0x13, 0x04});
        EXPECT_EQ(ask(c, {0xAA, 0x02, 0x0D, 0x01}), (Bytes{0x55, 0x02, 0x0D, 0x00}));
        EXPECT_EQ(c.snapshot(0s).stored, c.settings());
        // Changed after the store: lost at the restart.
        ask(c, {0xAA, 0x0B, 0x7C, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    Controller again(config);
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_EQ(ask(again, {0xAA, 0x01, 0x7B}),
              (Bytes{0x55, 0x0A, 0x7B, 0x01, 0x10, 0x27, 0x00, 0x00, 0xF0, 0xD8, 0xFF, 0xFF}));
    EXPECT_EQ(ask(again, {0xAA, 0x01, 0x17}),
              (Bytes{0x55, 0x09, 0x17, 0x02, 0x0A, 0x12, 0x03, 0x01, 0x0B, 0x13, 0x04}));
    EXPECT_EQ(again.settings().reverseMotor, 0x02);
    EXPECT_EQ(again.settings().motorOption, 0x09);
    EXPECT_EQ(again.settings().ra.motorBlock, defaultSettings().ra.motorBlock);
}

TEST_F(StateFileTest, WithoutStoreNothingSurvives) {
    SimConfig config;
    config.stateFile = path;
    {
        Controller c(config);
        ask(c, {0xAA, 0x0B, 0x7C, 0x01, 0x01, 0x10, 0x27, 0x00, 0x00, 0, 0, 0, 0});
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    Controller again(config);
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(again.settings(), defaultSettings());
}

TEST_F(StateFileTest, AnUnreadableFileIsReportedNotUsed) {
    std::ofstream(path) << "ra.gearRatio 270\nra.bitsPerRev 300\n";
    SimConfig config;
    config.stateFile = path;
    Controller c(config);
    EXPECT_FALSE(c.ok());
    EXPECT_NE(c.error().find("line 2"), std::string::npos) << c.error();
    EXPECT_NE(c.error().find("ra.bitsPerRev"), std::string::npos) << c.error();
    EXPECT_EQ(c.settings(), defaultSettings());
}

TEST_F(StateFileTest, AFailedStoreIsAnsweredAndReported) {
    SimConfig config;
    config.stateFile = path + "/no/such/dir/state";
    Controller c(config);
    EXPECT_EQ(ask(c, {0xAA, 0x02, 0x0D, 0x01}), (Bytes{0x55, 0x02, 0x0D, 0x01}));
    EXPECT_FALSE(c.storeError().empty());
}

TEST(StateText, RoundTripsEveryField) {
    ControllerSettings s = defaultSettings();
    s.identityWord = 0xDEADBEEF;
    s.dec.gearRatio = 144;
    s.dec.motorBlock[13] = 0xAB;
    s.decOffset = INT32_MIN;
    s.raOffset = INT32_MAX;
    s.decFormat = {7, 1, 2, 3};
    ControllerSettings back{};
    std::string error;
    ASSERT_TRUE(parseState(formatState(s), back, &error)) << error;
    EXPECT_EQ(back, s);
}

struct BadText {
    const char* text;
    const char* message;
};

class StateTextErrorTest : public ::testing::TestWithParam<BadText> {};

TEST_P(StateTextErrorTest, SaysWhatIsWrongAndChangesNothing) {
    ControllerSettings s = defaultSettings();
    std::string error;
    EXPECT_FALSE(parseState(GetParam().text, s, &error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
    EXPECT_EQ(s, defaultSettings());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, StateTextErrorTest,
    ::testing::Values(BadText{"ra.gearRatio 1\nbogus 3\n", "line 2: unknown key \"bogus\""},
                      BadText{"reverseMotor\n", "has no value"},
                      BadText{"reverseMotor 1 2\n", "more than one value"},
                      BadText{"ra.speedFactor 65536\n", "0..65535"},
                      BadText{"ra.offset 2147483648\n", "signed 32-bit"},
                      BadText{"ra.gearRatio -1\n", "0..4294967295"},
                      BadText{"ra.motorBlock 00ff\n", "54 hexadecimal digits"}));

}  // namespace
}  // namespace zr8::sim
