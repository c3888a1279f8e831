// SPDX-License-Identifier: GPL-3.0-or-later
// zr8ctl as a script relies on it: one JSON document whatever happens, the
// schemas and the program agreeing, failures noticed at once and told
// truly, writes read back, and the command line's own mistakes named.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "zr8ctl_harness.h"

namespace zr8::cli_test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr uint8_t kWriteCommands[] = {0x18, 0x32, 0x7C, 0x0D};

sim::FaultConfig hangUpAfter(int frames) {
    sim::FaultConfig faults;
    faults.hangUpAfterFrames = frames;
    return faults;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> list;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) list.push_back(line);
    return list;
}

// --- One JSON document -------------------------------------------------------

TEST(Zr8ctlScript, ANameThatIsNotUtf8StillGivesOneDocument) {
    Scratch scratch;
    const std::string file = scratch.path("caf\xE9.json");
    const Ran ran = zr8ctl({"--json", "--port", "sim", "backup", file});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_TRUE(Json::accept(ran.out)) << ran.out;
    EXPECT_TRUE(fs::exists(file));
}

struct CutShortCase {
    const char* name;
    sim::FaultConfig faults;
    const char* kind;
    const char* text;  // on standard error
};

void PrintTo(const CutShortCase& c, std::ostream* os) { *os << c.name; }

sim::FaultConfig ignoring(uint8_t command) {
    sim::FaultConfig faults;
    faults.ignoredCommand = command;
    return faults;
}

const CutShortCase kCutShort[] = {
    {"ReadBackDiffers", ignoring(0x7C), "controller", "nothing stored"},
    // Format and its fence answered, then the line drops.
    {"LineLostAfterTheFormat", hangUpAfter(kConnectFrames + 2), "port",
     "written the encoder format; perhaps written the motor reverse bits; not written the "
     "calibration"},
};

class RestoreCutShort : public ::testing::TestWithParam<CutShortCase> {};

TEST_P(RestoreCutShort, IsOneDocumentSayingWhatWasWritten) {
    Scratch scratch;
    Simulator first(withState("", unusualSettings()));
    const std::string backup = scratch.path("first.json");
    ASSERT_EQ(zr8ctl(on(first, {"backup", backup})).exitCode, 0);
    Simulator second({}, GetParam().faults);
    const Ran ran = zr8ctl(on(second, {"--json", "restore", backup, "--store"}));
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_NE(ran.err.find(GetParam().text), std::string::npos) << ran.err;
    ASSERT_TRUE(Json::accept(ran.out)) << ran.out;
    const Json document = Json::parse(ran.out);
    EXPECT_EQ(document["error"]["kind"], GetParam().kind);
    EXPECT_TRUE(document["written"].contains("format"));
    EXPECT_EQ(schemaErrors("restore", ran.out), "");
}

INSTANTIATE_TEST_SUITE_P(Zr8ctlScript, RestoreCutShort, ::testing::ValuesIn(kCutShort),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Zr8ctlScript, WatchedReadingsAreLinesToTheLossNoticedAtOnce) {
    // The first reading answered, then the line drops.
    Simulator sim({}, hangUpAfter(kConnectFrames + 1));
    const Ran ran = run(ZR8CTL_PATH, on(sim, {"--json", "read", "--watch", "600"}), 30s);
    EXPECT_EQ(ran.exitCode, 1) << ran.err;
    const std::vector<std::string> all = lines(ran.out);
    ASSERT_EQ(all.size(), 2u) << ran.out;
    EXPECT_EQ(schemaErrors("read", all[0]), "");
    EXPECT_TRUE(std::regex_search(all[0], std::regex(R"(:[0-9]{2}\.[0-9]{3}Z)"))) << all[0];
    EXPECT_EQ(Json::parse(all[1])["error"]["kind"], "port");
}

TEST(Zr8ctlScript, OutputThatCannotBeWrittenFails) {
    for (const char* command : {"ports", "--help", "--port sim info"}) {
        const Ran ran =
            run("/bin/sh", {"-c", std::string(ZR8CTL_PATH) + " " + command + " >/dev/full"});
        EXPECT_EQ(ran.exitCode, 1) << command;
        EXPECT_NE(ran.err.find("zr8ctl: standard output: No space left"), std::string::npos)
            << ran.err;
    }
}

// --- The command line --------------------------------------------------------

struct UsageCase {
    std::vector<std::string> args;  // after --json
    const char* text;               // after "zr8ctl: "
};

const UsageCase kUsage[] = {
    {{"frobnicate"}, "unknown command frobnicate"},
    {{"info", "--frobnicate"}, "unknown option --frobnicate"},
    {{"move", "up"}, "direction: up not in {north,south,west,east}"},
    {{"--timeout", "nan", "info"}, "--timeout: nan is not a number of seconds"},
    {{"move", "west", "--for", "nan"}, "--for: nan is not a number of seconds"},
    {{"read", "--watch", "nan"}, "--watch: nan is not a number of seconds"},
};

TEST(Zr8ctlScript, CommandLineMistakesAreNamedAndADocument) {
    for (const UsageCase& c : kUsage) {
        std::vector<std::string> args{"--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Ran ran = zr8ctl(args);
        EXPECT_EQ(ran.exitCode, 2) << c.text;
        EXPECT_EQ(ran.err.rfind(std::string("zr8ctl: ") + c.text, 0), 0u) << ran.err;
        EXPECT_EQ(schemaErrors("error", ran.out), "") << c.text;
    }
}

TEST(Zr8ctlScript, VersionAndHelpAreClean) {
    EXPECT_EQ(zr8ctl({"--version"}).out, std::string("zr8ctl ") + ZR8_VERSION + "\n");
    for (const char* command : {"move", "tracking", "restore"}) {
        const std::string help = zr8ctl({command, "--help"}).out;
        EXPECT_TRUE(std::regex_search(help, std::regex(command)));
        EXPECT_FALSE(std::regex_search(help, std::regex("[\\x00-\\x09\\x0B-\\x1F]"))) << help;
    }
}

// --- Schemas and program agree ------------------------------------------------

struct AgreementCase {
    const char* name;
    void (*edit)(Json&);
    bool valid;
};

const AgreementCase kAgreement[] = {
    {"VersionWrittenAsFloat", [](Json& d) { d["formatVersion"] = 1.0; }, true},
    {"IntegerWrittenAsFloat", [](Json& d) { d["controller"]["ra"]["axisByte"] = 3.0; }, true},
    {"Motor2BeyondAByte", [](Json& d) { d["controller"]["dec"]["motor"]["motor2"] = 256; }, false},
    {"SpeedFactorBeyond16Bits", [](Json& d) { d["controller"]["ra"]["speedFactor"] = 65536; },
     false},
};

TEST(Zr8ctlScript, SchemaAndProgramTakeTheSameBackups) {
    Scratch scratch;
    for (const AgreementCase& c : kAgreement) {
        const std::string text = editedBackup(c.edit);
        EXPECT_EQ(schemaErrors("backup", text).empty(), c.valid) << c.name;
        const Ran ran = zr8ctl({"--port", "sim", "diff", scratch.write("backup.json", text)});
        EXPECT_EQ(ran.exitCode != 2, c.valid) << c.name << ": " << ran.err;
    }
}

TEST(Zr8ctlScript, PortsAndInfoNameTheSimulatorAlike) {
    const Ran ports = zr8ctl({"--json", "ports"});
    const Ran info = zr8ctl({"--json", "--port", "sim", "info"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(schemaErrors("info", info.out), "");
    Json port = Json::parse(info.out)["port"];
    port.erase("simulated");
    port.erase("baud");
    bool listed = false;
    const Json list = Json::parse(ports.out);
    for (Json entry : list["ports"]) {
        entry.erase("label");
        listed |= entry == port;
    }
    EXPECT_TRUE(listed) << ports.out << info.out;
}

// --- Writes that did not happen -----------------------------------------------

struct SetCase {
    const char* name;
    std::vector<std::string> args;
    uint8_t ignored;  // the command the controller answers but does not carry out
};

void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name; }

const SetCase kSets[] = {
    {"Format", {"format", "--ra-bits-per-rev", "20"}, 0x18},
    {"Calibration", {"calibration", "--dec-offset", "7"}, 0x7C},
    {"MotorReverse", {"motor-reverse", "--ra", "on"}, 0x32},
    {"Honoured", {"motor-reverse", "--ra", "on"}, 0},
};

class Setting : public ::testing::TestWithParam<SetCase> {};

TEST_P(Setting, IsReadBackBeforeItCounts) {
    Simulator sim({}, ignoring(GetParam().ignored));
    const Ran ran = zr8ctl(on(sim, GetParam().args));
    if (GetParam().ignored == 0) {
        EXPECT_EQ(ran.exitCode, 0) << ran.err;
        EXPECT_EQ(lines(ran.out).back(),
                  "Nothing of this survives a power cycle until `zr8ctl store`.");
    } else {
        EXPECT_EQ(ran.exitCode, 1);
        EXPECT_NE(ran.err.find("does not hold what was written"), std::string::npos) << ran.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Zr8ctlScript, Setting, ::testing::ValuesIn(kSets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Zr8ctlScript, ABackupOfAnotherControllerIsRestoredOnlyWhenSaidSo) {
    Scratch scratch;
    const std::string backup = scratch.path("other.json");
    ASSERT_EQ(zr8ctl({"--port", "sim", "backup", backup}).exitCode, 0);
    sim::SimConfig other;
    other.settings.ra.microstepResolution = 2764800;
    Simulator sim(other);
    Ran ran = zr8ctl(on(sim, {"restore", backup}));
    EXPECT_EQ(ran.exitCode, 2);
    EXPECT_NE(ran.err.find("a backup of another controller"), std::string::npos) << ran.err;
    for (const uint8_t write : kWriteCommands) EXPECT_FALSE(hasCommand(sim.frames(), write));
    ran = zr8ctl(on(sim, {"restore", backup, "--other-controller"}));
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
}

// --- At the telescope -----------------------------------------------------------

TEST(Zr8ctlScript, ATimeOutOfOneSecondBoundsEachAnswerNotTheConnect) {
    sim::FaultConfig slow;
    slow.replyDelayMs = 150;  // seven answers and the pauses: over two seconds
    Simulator sim({}, slow);
    const Ran ran = zr8ctl(on(sim, {"--timeout", "1", "read"}));
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
}

TEST(Zr8ctlScript, ALinkLostDuringATimedMoveIsNoticedAtOnce) {
    // The move and the reading after it answered, then the line drops.
    Simulator sim({}, hangUpAfter(kConnectFrames + 2));
    const Ran ran = run(ZR8CTL_PATH, on(sim, {"--json", "move", "west", "--for", "600"}), 30s);
    EXPECT_EQ(ran.exitCode, 1) << ran.err;
    EXPECT_NE(ran.err.find("Error: Connection to the device lost.\nzr8ctl: the stop could not "
                           "be sent: the mount may still be moving"),
              std::string::npos)
        << ran.err;
    EXPECT_EQ(Json::parse(ran.out)["error"]["mountStopped"], false);
    EXPECT_EQ(schemaErrors("error", ran.out), "");
}

TEST(Zr8ctlScript, TheTraceShowsEveryFrameBothWaysAsTheSimulatorDoes) {
    Scratch scratch;
    sim::FaultConfig noisy;
    noisy.noise = true;
    Simulator sim({}, noisy);
    const std::string trace = scratch.path("trace.txt");
    ASSERT_EQ(zr8ctl(on(sim, {"--trace", trace, "read"})).exitCode, 0);
    std::ifstream file(trace);
    const std::regex line(R"( *[0-9]+\.[0-9]{6} (in  |out |skip|closed)((?: [0-9A-F]{2})*))");
    std::vector<Bytes> sent;
    size_t replies = 0, skipped = 0;
    std::string last;
    for (std::string text; std::getline(file, text); last = text) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        Bytes bytes;
        std::istringstream hex(m[2]);
        for (unsigned b; hex >> std::hex >> b;) bytes.push_back(static_cast<uint8_t>(b));
        if (m[1] == "in  ") sent.push_back(bytes);
        if (m[1] == "out ") {
            ++replies;
            EXPECT_TRUE(bytes.size() >= 2 && bytes[0] == 0x55 && bytes.size() == 2u + bytes[1]);
        }
        skipped += m[1] == "skip";
    }
    EXPECT_EQ(sent, sim.frames());
    EXPECT_EQ(replies, sent.size());
    EXPECT_GT(skipped, 0u);
    EXPECT_NE(last.find("closed"), std::string::npos);
}

}  // namespace
}  // namespace zr8::cli_test
