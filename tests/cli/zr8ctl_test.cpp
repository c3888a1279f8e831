// SPDX-License-Identifier: GPL-3.0-or-later
// zr8ctl as a process against simulated controllers on pseudo-terminals:
// every command, backup and restore between two controllers, the failures
// an operator meets, refused values and files, and Ctrl-C. JSON output is
// checked against the documented schemas.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/state_file.h"
#include "zr8ctl_harness.h"

namespace zr8::cli_test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// --- Every command ---------------------------------------------------------

struct CommandCase {
    const char* name;
    std::vector<std::string> args;  // after --port and --json
    const char* shape;              // of the --json output
    std::function<void(Simulator&, const Json&)> check;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

const CommandCase kCommands[] = {
    {"ports",
     {"ports"},
     "ports",
     [](Simulator&, const Json& out) {
         bool simulator = false;
         for (const Json& p : out["ports"]) simulator |= p["port"] == "sim";
         EXPECT_TRUE(simulator) << out.dump();
     }},
    {"info",
     {"info"},
     "info",
     [](Simulator& sim, const Json& out) {
         EXPECT_EQ(out["port"]["device"], sim.port());
         EXPECT_EQ(out["controller"]["ra"]["gearRatio"], sim.settings().ra.gearRatio);
         EXPECT_EQ(out["controller"]["ra"]["encoder"]["countsPerRev"], 33554432u);
     }},
    {"read",
     {"read"},
     "read",
     [](Simulator& sim, const Json& out) {
         EXPECT_EQ(out["ra"]["raw"], sim.server().snapshot().ra.encoderWord);
         EXPECT_EQ(out["dec"]["dms"], "+00:00:00");
     }},
    {"format",
     {"format", "--ra-bits-per-rev", "24", "--dec-gray", "on"},
     "set",
     [](Simulator& sim, const Json&) {
         EXPECT_EQ(sim.settings().raFormat, (sim::EncoderFormat{0, 12, 24, 0}));
         EXPECT_EQ(sim.settings().decFormat, (sim::EncoderFormat{2, 12, 25, 0}));
     }},
    {"calibration",
     {"calibration", "--ra-offset", "-1", "--dec-reverse", "on"},
     "set",
     [](Simulator& sim, const Json& out) {
         EXPECT_EQ(sim.settings().raOffset, -1);
         EXPECT_EQ(sim.settings().reverseEncoder, 0x02);
         EXPECT_EQ(out["status"], "Encoder calibration parameters updated.");
         EXPECT_EQ(out["written"]["calibration"]["ra"]["offset"], 4294967295u);
     }},
    {"motor_reverse",
     {"motor-reverse", "--dec", "on"},
     "set",
     [](Simulator& sim, const Json&) { EXPECT_EQ(sim.settings().reverseMotor, 0x02); }},
    {"tracking",
     {"tracking", "on"},
     "tracking",
     [](Simulator& sim, const Json&) { EXPECT_TRUE(sim.server().snapshot().tracking); }},
    {"move_for_a_time",
     {"move", "west", "--speed", "20", "--for", "0.3"},
     "move",
     [](Simulator& sim, const Json& out) {
         EXPECT_TRUE(hasCommand(sim.frames(), 0x23));
         EXPECT_TRUE(hasCommand(sim.frames(), 0x21));
         EXPECT_EQ(sim.server().snapshot().ra.state.status, sim::MotionStatus::Stopped);
         EXPECT_EQ(out["move"]["stopped"], true);
     }},
    {"move_until_stopped",
     {"move", "north", "--speed", "5"},
     "move",
     [](Simulator& sim, const Json& out) {
         EXPECT_NE(sim.server().snapshot().dec.state.status, sim::MotionStatus::Stopped);
         EXPECT_EQ(out["move"]["seconds"], nullptr);
         const Ran stopped = zr8ctl(on(sim, {"--json", "stop"}));
         EXPECT_EQ(stopped.exitCode, 0) << stopped.err;
         EXPECT_EQ(schemaErrors("stop", stopped.out), "");
         EXPECT_EQ(sim.server().snapshot().dec.state.status, sim::MotionStatus::Stopped);
     }},
    {"store",
     {"store"},
     "store",
     [](Simulator& sim, const Json& out) {
         EXPECT_EQ(sim.server().snapshot().storeCount, 1u);
         EXPECT_EQ(out["status"], "Parameters stored...");
     }},
};

class Command : public ::testing::TestWithParam<CommandCase> {};

TEST_P(Command, DoesWhatItSaysAndPrintsTheDocumentedShape) {
    Simulator sim;
    std::vector<std::string> args = on(sim, {"--json"});
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const Ran ran = zr8ctl(args);
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(schemaErrors(GetParam().shape, ran.out), "");
    GetParam().check(sim, Json::parse(ran.out));
}

INSTANTIATE_TEST_SUITE_P(Zr8ctl, Command, ::testing::ValuesIn(kCommands),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Zr8ctl, TheBuiltInSimulatorSaysItIsNotAController) {
    const Ran ran = zr8ctl({"--port", "sim", "info"});
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_NE(ran.out.find("Simulated ZR8 - not a real controller"), std::string::npos) << ran.out;
}

// --- Backup, diff, restore ---------------------------------------------------

TEST(Zr8ctl, ABackupRestoredIntoAnotherControllerLeavesNothingToDiffAndIsStored) {
    Scratch scratch;
    Simulator first(withState("", unusualSettings()));
    Simulator second(withState(scratch.path("second.state"), sim::defaultSettings()));
    const std::string backup = scratch.path("first.json");

    Ran ran = zr8ctl(on(first, {"backup", backup}));
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    std::ifstream file(backup);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(schemaErrors("backup", text), "");
    const Json document = Json::parse(text);
    EXPECT_EQ(document["toolVersion"], ZR8_VERSION);
    EXPECT_EQ(document["controller"]["ra"]["encoder"]["flags"], 6);

    ran = zr8ctl(on(second, {"--json", "diff", backup}));
    EXPECT_EQ(ran.exitCode, 3) << ran.err;
    EXPECT_EQ(schemaErrors("diff", ran.out), "");
    EXPECT_FALSE(Json::parse(ran.out)["identical"].get<bool>());

    ran = zr8ctl(on(second, {"--json", "restore", backup, "--store"}));
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(schemaErrors("restore", ran.out), "");
    EXPECT_TRUE(Json::parse(ran.out)["stored"].get<bool>());

    ran = zr8ctl(on(second, {"diff", backup}));
    EXPECT_EQ(ran.exitCode, 0) << ran.out << ran.err;
    EXPECT_EQ(ran.out, "No difference.\n");

    sim::ControllerSettings stored = sim::defaultSettings();
    std::string error;
    ASSERT_EQ(sim::loadState(scratch.path("second.state"), stored, &error), sim::StateLoad::Loaded)
        << error;
    EXPECT_EQ(stored, unusualSettings());
}

TEST(Zr8ctl, ARestoreThatDoesNotReadBackFailsAndStoresNothing) {
    Scratch scratch;
    Simulator first(withState("", unusualSettings()));
    sim::FaultConfig dropsCalibration;
    dropsCalibration.ignoredCommand = 0x7C;
    Simulator second(withState(scratch.path("second.state"), sim::defaultSettings()),
                     dropsCalibration);
    const std::string backup = scratch.path("first.json");
    ASSERT_EQ(zr8ctl(on(first, {"backup", backup})).exitCode, 0);

    const Ran ran = zr8ctl(on(second, {"restore", backup, "--store"}));
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_NE(ran.out.find("ra.encoder.offset: file 4294967291, controller 0"), std::string::npos)
        << ran.out;
    EXPECT_NE(ran.err.find("nothing stored"), std::string::npos) << ran.err;
    EXPECT_FALSE(hasCommand(second.frames(), 0x0D));
    EXPECT_FALSE(fs::exists(scratch.path("second.state")));
}

TEST(Zr8ctl, ADryRunShowsWhatWouldChangeAndWritesNothing) {
    Scratch scratch;
    Simulator first(withState("", unusualSettings()));
    const std::string backup = scratch.path("first.json");
    ASSERT_EQ(zr8ctl(on(first, {"backup", backup})).exitCode, 0);
    Simulator second;
    const Ran ran = zr8ctl(on(second, {"--json", "restore", backup, "--dry-run"}));
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(schemaErrors("restore", ran.out), "");
    EXPECT_FALSE(Json::parse(ran.out)["changes"]["identical"].get<bool>());
    for (const uint8_t write : {0x18, 0x32, 0x7C, 0x0D}) {
        EXPECT_FALSE(hasCommand(second.frames(), write)) << int{write};
    }
}

// --- What goes wrong -----------------------------------------------------------

struct FailureCase {
    const char* name;
    sim::FaultConfig faults;
    const char* port;  // instead of the simulator's
    std::vector<std::string> args;
    std::vector<const char*> texts;  // on standard error
    const char* kind;                // of the JSON error
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

sim::FaultConfig fault(void (*set)(sim::FaultConfig&)) {
    sim::FaultConfig f;
    set(f);
    return f;
}

const FailureCase kFailures[] = {
    {"PortCannotBeOpened",
     {},
     "/nonexistent/zr8",
     {"info"},
     {"Error: Cannot open port.",
      "/nonexistent/zr8: No such file or directory - check that the device is plugged in"},
     "port"},
    {"SilentController",
     fault([](auto& f) { f.silent = true; }),
     nullptr,
     {"--baud", "115200", "--timeout", "2", "info"},
     {"Error: Cannot connect to device.",
      "nothing answered at 115200 baud; if the controller runs at 9600, try --baud 9600"},
     "controller"},
    {"WrongDevice",
     fault([](auto& f) { f.wrongIdentify = true; }),
     nullptr,
     {"info"},
     {"Error: Not supported device"},
     "controller"},
    {"LineLostMidway",
     fault([](auto& f) { f.hangUpAfterFrames = kConnectFrames; }),
     nullptr,
     {"read"},
     {"Error: Connection to the device lost."},
     "port"},
};

class Failure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Failure, EndsWithOneAndSaysWhy) {
    Simulator sim({}, GetParam().faults);
    std::vector<std::string> args{"--json", "--port",
                                  GetParam().port ? GetParam().port : sim.port()};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const Ran ran = zr8ctl(args);
    EXPECT_EQ(ran.exitCode, 1);
    for (const char* text : GetParam().texts) {
        EXPECT_NE(ran.err.find(text), std::string::npos) << ran.err;
    }
    EXPECT_EQ(schemaErrors("error", ran.out), "");
    EXPECT_EQ(Json::parse(ran.out)["error"]["kind"], GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Zr8ctl, Failure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Refused before anything is sent ---------------------------------------

struct RefusalCase {
    const char* name;
    std::vector<std::string> args;      // "FILE" stands for the file below
    std::function<std::string()> file;  // its text, made when the case runs
    const char* text;                   // on standard error
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

std::function<std::string()> literal(const char* text) {
    return [text] { return std::string(text); };
}

std::function<std::string()> backupWith(void (*edit)(Json&)) {
    return [edit] { return editedBackup(edit); };
}

const RefusalCase kRefusals[] = {
    {"OffsetBeyondAWord",
     {"calibration", "--ra-offset", "4294967296"},
     literal(""),
     "RA encoder offset must be a whole number from -2147483648 to 4294967295."},
    {"OffsetNotWhole",
     {"calibration", "--dec-offset", "1.5"},
     literal(""),
     "Dec encoder offset must be a whole number"},
    {"FormatNumberBeyondAByte",
     {"format", "--ra-bits-per-rev", "256"},
     literal(""),
     "RA bits per one revolution must be a whole number from 0 to 255."},
    {"FormatNumberNegative",
     {"format", "--dec-leading-bits", "-1"},
     literal(""),
     "Dec leading bits must be a whole number from 0 to 255."},
    {"SpeedBeyondTheTrackbar",
     {"move", "west", "--speed", "32"},
     literal(""),
     "Speed step must be a whole number from 0 to 31."},
    {"NothingToSet", {"format"}, literal(""), "nothing to set"},
    {"NotOnOrOff", {"tracking", "maybe"}, literal(""), "maybe"},
    {"BaudRate", {"--baud", "4800", "info"}, literal(""), "4800"},
    {"NotJson", {"restore", "FILE"}, literal("{\"format\": "), "not valid JSON"},
    {"NotABackup",
     {"restore", "FILE"},
     literal("{\"format\": \"something\"}"),
     "not a zr8ctl backup"},
    {"OtherVersion",
     {"restore", "FILE"},
     backupWith([](Json& d) { d["formatVersion"] = 2; }),
     "formatVersion: version 2"},
    {"MissingField",
     {"restore", "FILE"},
     backupWith([](Json& d) { d["controller"]["dec"]["encoder"].erase("offset"); }),
     "controller.dec.encoder.offset: missing"},
    {"UnknownField",
     {"restore", "FILE"},
     backupWith([](Json& d) { d["controller"]["ra"]["colour"] = 1; }),
     "controller.ra.colour: not a field"},
    {"WrongType",
     {"restore", "FILE"},
     backupWith([](Json& d) { d["controller"]["ra"]["reverseMotor"] = 1; }),
     "controller.ra.reverseMotor: must be true or false"},
    {"OffsetOutOfRange",
     {"restore", "FILE"},
     backupWith([](Json& d) { d["controller"]["ra"]["encoder"]["offset"] = 4294967296; }),
     "controller.ra.encoder.offset: RA encoder offset must be a whole number"},
    {"ByteOutOfRange",
     {"diff", "FILE"},
     backupWith([](Json& d) { d["controller"]["motorOption"] = 256; }),
     "controller.motorOption: Motor option must be a whole number from 0 to 255."},
    {"DerivedDoesNotFollow",
     {"restore", "FILE"},
     backupWith([](Json& d) { d["controller"]["dec"]["encoder"]["countsPerRev"] = 5; }),
     "controller.dec.encoder.countsPerRev: 5 does not follow"},
    {"MissingFile",
     {"restore", "/nonexistent/backup.json"},
     literal(""),
     "No such file or directory"},
    {"RaBeyondADay", {"goto", "24:00:01", "10"}, literal(""), "RA 24:00:01 is outside 0 to 24 h"},
    {"DecBeyondThePole",
     {"goto", "5", "-90.5"},
     literal(""),
     "Dec -90.5 is outside -90 to +90 degrees"},
    {"MinutesOfSixty",
     {"sync", "05:60:00", "10"},
     literal(""),
     "minutes and seconds run from 0 to 59"},
    {"NotACoordinate", {"sync", "5h30m", "10"}, literal(""), "RA 5h30m: not a number of hours"},
    {"FlipPolicy", {"goto", "5", "10", "--flip", "never"}, literal(""), "never"},
};

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, EndsWithTwoAndSendsNothing) {
    Scratch scratch;
    Simulator sim;
    std::vector<std::string> args = on(sim, {});
    for (const std::string& a : GetParam().args) {
        args.push_back(a == "FILE" ? scratch.write("backup.json", GetParam().file()) : a);
    }
    const Ran ran = zr8ctl(args);
    EXPECT_EQ(ran.exitCode, 2);
    EXPECT_NE(ran.err.find(GetParam().text), std::string::npos) << ran.err;
    // Not even the port was opened, so no frame at all.
    EXPECT_TRUE(sim.frames().empty());
}

INSTANTIATE_TEST_SUITE_P(Zr8ctl, Refusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Zr8ctl, ABackupDoesNotReplaceAFileUnlessForced) {
    Scratch scratch;
    Simulator sim;
    const std::string backup = scratch.write("kept.json", "an older backup");
    Ran ran = zr8ctl(on(sim, {"backup", backup}));
    EXPECT_EQ(ran.exitCode, 2);
    EXPECT_TRUE(sim.frames().empty());
    ran = zr8ctl(on(sim, {"backup", backup, "--force"}));
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    std::ifstream file(backup);
    EXPECT_TRUE(Json::accept(file));
}

// --- Ctrl-C ----------------------------------------------------------------

struct InterruptCase {
    const char* name;
    std::vector<std::string> args;
    size_t framesBefore;  // interrupted once the controller has this many
    std::function<void(Simulator&, const Ran&)> check;
    std::vector<int> signals = {SIGINT};  // each later one once the exit stop waits
    int exitCode = 130;
    sim::FaultConfig faults = {};
};

void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }

void stopsTheMount(Simulator& sim, const Ran& ran) {
    const std::vector<Bytes> frames = sim.frames();
    ASSERT_GT(frames.size(), kConnectFrames + 2);
    EXPECT_EQ(frames[kConnectFrames + 2], (Bytes{0xAA, 0x03, 0x21, 0x00, 0xC0}));
    EXPECT_EQ(sim.server().snapshot().ra.state.status, sim::MotionStatus::Stopped);
    EXPECT_NE(ran.err.find("the mount is stopped"), std::string::npos) << ran.err;
}

// Reads nothing more after the move and its reading: the stop goes unanswered.
sim::FaultConfig stallsAfterTheMove() {
    sim::FaultConfig faults;
    faults.stallReadsAfterFrames = kConnectFrames + 2;
    return faults;
}

const std::vector<std::string> kLongMove = {"--timeout", "3600", "move", "east", "--for", "600"};

const InterruptCase kInterrupts[] = {
    // The move and the reading that follows it.
    {"ManualMoveIsStoppedFirst",
     {"move", "east", "--for", "60"},
     kConnectFrames + 2,
     stopsTheMount},
    {"WatchedReadingsEnd",
     {"--json", "read", "--watch", "0.05"},
     kConnectFrames + 3,
     [](Simulator&, const Ran& ran) { EXPECT_EQ(schemaErrors("read", ran.out, true), ""); }},
    {"TerminateEndsWith143", kLongMove, kConnectFrames + 2, stopsTheMount, {SIGTERM}, 143},
    {"HangUpEndsWith129", kLongMove, kConnectFrames + 2, stopsTheMount, {SIGHUP}, 129},
    {"AnUnansweredStopIsAwaitedBriefly",
     kLongMove,
     kConnectFrames + 2,
     [](Simulator&, const Ran& ran) {
         EXPECT_NE(ran.err.find("did not confirm the stop: the mount may still be moving"),
                   std::string::npos)
             << ran.err;
     },
     {SIGINT},
     130,
     stallsAfterTheMove()},
    {"ASecondInterruptEndsTheWait",
     kLongMove,
     kConnectFrames + 2,
     [](Simulator&, const Ran& ran) {
         EXPECT_NE(ran.err.find("the stop was not awaited"), std::string::npos) << ran.err;
     },
     {SIGINT, SIGINT},
     130,
     stallsAfterTheMove()},
};

class Interrupt : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(Interrupt, ShutsTheLinkDownAndEndsAsShellsExpect) {
    Simulator sim({}, GetParam().faults);
    Child child(ZR8CTL_PATH, on(sim, GetParam().args));
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(sim.server().waitForFrames(GetParam().framesBefore, 20s));
    for (size_t i = 0; i < GetParam().signals.size(); ++i) {
        if (i > 0) {
            ASSERT_TRUE(child.waitForError("interrupt again not to wait", 20s));
        }
        child.signal(GetParam().signals[i]);
    }
    // Well before the time-out: the exit stop is not held up by it.
    const Ran ran = child.finish(30s);
    EXPECT_EQ(ran.exitCode, GetParam().exitCode) << ran.err;
    EXPECT_NE(ran.err.find("the link is shut down"), std::string::npos) << ran.err;
    GetParam().check(sim, ran);
}

INSTANTIATE_TEST_SUITE_P(Zr8ctl, Interrupt, ::testing::ValuesIn(kInterrupts),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zr8::cli_test
