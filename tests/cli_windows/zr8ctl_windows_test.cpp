// SPDX-License-Identifier: GPL-3.0-or-later
// zr8ctl.exe as a process under Wine against zr8-sim on Wine's COM ports
// (scripts/wine-sims), checked in the frames the simulators log: every
// command with the port named as Windows users write it, the failures an
// operator meets, a refusal that sends nothing, Ctrl-C through
// GenerateConsoleCtrlEvent during a move and a watch, file names beyond the
// ANSI code page, and the backup the Linux zr8ctl made, restored.
#include <gtest/gtest.h>
#include <windows.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "mount/site_clock.h"
#include "mount/sky_axes.h"
#include "process_run.h"
#include "tests/e2e_windows/sim_ports.h"

namespace zr8::cli_test {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using test::Bytes;
using test::SimPorts;
using test::SimTrace;
namespace fs = std::filesystem;

constexpr size_t kConnectFrames = 7;

std::wstring zr8ctlPath() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    // build/tests/cli_windows/this.exe -> build/ui/cli/zr8ctl.exe
    for (int up = 0; up < 3; ++up) path = path.substr(0, path.find_last_of(L"\\/"));
    return path + L"\\ui\\cli\\zr8ctl.exe";
}

Ran zr8ctl(const std::vector<std::string>& arguments) { return run(zr8ctlPath(), arguments); }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> list;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) list.push_back(line);
    return list;
}

bool sent(const std::vector<Bytes>& frames, const Bytes& frame) {
    return std::find(frames.begin(), frames.end(), frame) != frames.end();
}

size_t countCommand(const std::vector<Bytes>& frames, uint8_t command) {
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(), [&](const Bytes& f) {
        return f.size() > 2 && f[2] == command;
    }));
}

std::string raEastOfMeridian(double d) {
    const long double lst =
        mount::siderealTimeAt(std::chrono::system_clock::now(), mount::kDefaultLongitude);
    return std::to_string(mount::normalizedHours(lst + d));
}

class Zr8ctlWindows : public ::testing::Test {
protected:
    void SetUp() override {
        if (sims.port("zr8ctl").empty()) GTEST_SKIP() << "no simulated controllers (ZR8_WINE_SIMS)";
    }
    std::string port(const char* role) const {
        const std::string found = sims.port(role);
        if (found.empty()) ADD_FAILURE() << "no simulated controller in the role " << role;
        return found;
    }

    const SimPorts sims;
};

// --- Every command ------------------------------------------------------------

struct CommandCase {
    const char* name;
    std::string (*portAs)(const std::string& com);  // "COM13" as typed
    std::vector<std::string> args;                  // after --json and --port
    std::function<void(const Json&, const std::vector<Bytes>&)> check;
};

std::string asNumber(const std::string& com) { return com.substr(3); }
std::string asLower(const std::string& com) { return "com" + com.substr(3) + ":"; }
std::string asDevice(const std::string& com) { return "\\\\.\\" + com; }
std::string asIs(const std::string& com) { return com; }

const CommandCase kCommands[] = {
    {"info",
     asNumber,
     {"info"},
     [](const Json& out, const std::vector<Bytes>&) {
         EXPECT_EQ(out["port"]["device"].get<std::string>().rfind("COM", 0), 0u) << out.dump();
         EXPECT_EQ(out["controller"]["ra"]["gearRatio"], 270);
     }},
    {"read",
     asLower,
     {"read"},
     [](const Json& out, const std::vector<Bytes>& frames) {
         EXPECT_TRUE(std::regex_match(out["dec"]["dms"].get<std::string>(),
                                      std::regex("[+-][0-9]{2,3}:[0-9]{2}:[0-9]{2}")))
             << out.dump();
         EXPECT_TRUE(sent(frames, {0xAA, 0x02, 0x7A, 0x01}));
     }},
    {"format",
     asDevice,
     {"format", "--ra-bits-per-rev", "24"},
     [](const Json& out, const std::vector<Bytes>&) {
         EXPECT_TRUE(out["readBack"]["identical"].get<bool>()) << out.dump();
     }},
    {"calibration",
     asIs,
     {"calibration", "--ra-offset", "-1"},
     [](const Json& out, const std::vector<Bytes>&) {
         EXPECT_EQ(out["written"]["calibration"]["ra"]["offset"], 4294967295u);
         EXPECT_TRUE(out["readBack"]["identical"].get<bool>()) << out.dump();
     }},
    {"motor_reverse",
     asIs,
     {"motor-reverse", "--dec", "on"},
     [](const Json& out, const std::vector<Bytes>&) {
         EXPECT_TRUE(out["readBack"]["identical"].get<bool>()) << out.dump();
     }},
    {"tracking",
     asIs,
     {"tracking", "on"},
     [](const Json&, const std::vector<Bytes>& frames) {
         EXPECT_TRUE(sent(frames, {0xAA, 0x03, 0x24, 0x00, 0x01}));
     }},
    {"move",
     asIs,
     {"move", "west", "--speed", "20", "--for", "0.3"},
     [](const Json& out, const std::vector<Bytes>& frames) {
         EXPECT_EQ(out["move"]["stopped"], true);
         EXPECT_EQ(countCommand(frames, 0x23), 1u);
         EXPECT_TRUE(sent(frames, {0xAA, 0x03, 0x21, 0x00, 0xC0}));
     }},
    {"store",
     asIs,
     {"store"},
     [](const Json& out, const std::vector<Bytes>&) {
         EXPECT_EQ(out["status"], "Parameters stored...");
     }},
    {"sync",
     asIs,
     {"sync", "5", "-10:30:00"},
     [](const Json& out, const std::vector<Bytes>& frames) {
         EXPECT_NEAR(out["position"]["dec"]["degrees"].get<double>(), -10.5, 1e-3);
         EXPECT_EQ(countCommand(frames, 0x20), 1u);
     }},
    {"goto",
     asIs,
     {"goto", raEastOfMeridian(-1), "20"},
     [](const Json& out, const std::vector<Bytes>& frames) {
         EXPECT_EQ(out["status"], "Ready");
         EXPECT_NEAR(out["position"]["dec"]["degrees"].get<double>(), 20, 1e-3);
         EXPECT_EQ(countCommand(frames, 0x25), 2u) << "the move and its correction pass";
     }},
};

TEST_F(Zr8ctlWindows, EveryCommandDoesWhatItSays) {
    const std::string com = port("zr8ctl");
    for (const CommandCase& c : kCommands) {
        SimTrace trace(sims.logOf(com));
        std::vector<std::string> args{"--json", "--port", c.portAs(com)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Ran ran = zr8ctl(args);
        ASSERT_EQ(ran.exitCode, 0) << c.name << ": " << ran.err;
        ASSERT_TRUE(Json::accept(ran.out)) << c.name << ": " << ran.out;
        // The last reading's answer is logged by the time zr8ctl ends.
        c.check(Json::parse(ran.out), trace.framesReceived());
    }
}

TEST_F(Zr8ctlWindows, PortsListTheBuiltInSimulatorWhichAnswers) {
    Ran ran = zr8ctl({"--json", "ports"});
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    bool simulator = false;
    const Json listed = Json::parse(ran.out);
    for (const Json& p : listed["ports"]) simulator |= p["port"] == "sim";
    EXPECT_TRUE(simulator) << ran.out;
    ran = zr8ctl({"--port", "sim", "info"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_NE(ran.out.find("Simulated ZR8 - not a real controller"), std::string::npos);
}

// --- What goes wrong ------------------------------------------------------------

struct FailureCase {
    const char* role;  // nullptr: a port nobody has
    std::vector<std::string> args;
    const char* text;  // on standard error
    const char* kind;
};

TEST_F(Zr8ctlWindows, FailuresEndWithOneAndSayWhy) {
    const FailureCase cases[] = {
        {nullptr, {"info"}, "COM21: ", "port"},
        {"silent", {"--timeout", "1", "info"}, "Error: Cannot connect to device.", "controller"},
        {"wrong-device", {"info"}, "Error: Not supported device", "controller"},
    };
    for (const FailureCase& c : cases) {
        std::vector<std::string> args{"--json", "--port", c.role ? port(c.role) : "21"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Ran ran = zr8ctl(args);
        EXPECT_EQ(ran.exitCode, 1) << c.text;
        EXPECT_NE(ran.err.find(c.text), std::string::npos) << ran.err;
        ASSERT_TRUE(Json::accept(ran.out)) << ran.out;
        EXPECT_EQ(Json::parse(ran.out)["error"]["kind"], c.kind) << c.text;
    }
}

// This simulator hangs up after the connect and one reading, and is gone
// after that: one test per start of the simulators.
TEST_F(Zr8ctlWindows, AWatchNoticesTheLostLineAtOnce) {
    const Ran ran = zr8ctl({"--json", "--port", port("zr8ctl-lost"), "read", "--watch", "600"});
    EXPECT_EQ(ran.exitCode, 1) << ran.err;
    const std::vector<std::string> all = lines(ran.out);
    ASSERT_EQ(all.size(), 2u) << ran.out;
    EXPECT_TRUE(Json::parse(all[0]).contains("ra"));
    EXPECT_EQ(Json::parse(all[1])["error"]["kind"], "port");
}

TEST_F(Zr8ctlWindows, AWrongCoordinateIsRefusedBeforeThePortIsOpened) {
    const std::string com = port("zr8ctl");
    SimTrace trace(sims.logOf(com));
    const Ran ran = zr8ctl({"--port", com, "goto", "24:00:01", "10"});
    EXPECT_EQ(ran.exitCode, 2);
    EXPECT_NE(ran.err.find("RA 24:00:01 is outside 0 to 24 h"), std::string::npos) << ran.err;
    EXPECT_TRUE(trace.framesReceived().empty());
}

// --- Ctrl-C -----------------------------------------------------------------------

struct InterruptCase {
    const char* name;
    std::vector<std::string> args;
    size_t framesBefore;  // after the connect
};

TEST_F(Zr8ctlWindows, CtrlCStopsAMoveFirstAndEndsAWatch) {
    static const bool console = ownConsole();
    ASSERT_TRUE(console) << "no console of our own to send Ctrl-C on";
    const InterruptCase cases[] = {
        {"move", {"move", "east", "--for", "60"}, 2},  // the move and its reading
        {"watch", {"--json", "read", "--watch", "0.2"}, 2},
    };
    const std::string com = port("zr8ctl");
    for (const InterruptCase& c : cases) {
        SimTrace trace(sims.logOf(com));
        std::vector<std::string> args{"--port", com};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Child child(zr8ctlPath(), args);
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(trace.waitForFrames(kConnectFrames + c.framesBefore)) << c.name;
        ASSERT_TRUE(sendCtrlC());
        const Ran ran = child.finish(30s);
        EXPECT_EQ(ran.exitCode, 130) << c.name << ": " << ran.err;
        EXPECT_NE(ran.err.find("the link is shut down"), std::string::npos) << ran.err;
        if (std::string(c.name) == "move") {
            EXPECT_NE(ran.err.find("the mount is stopped"), std::string::npos) << ran.err;
            const std::vector<Bytes> frames = trace.framesReceived();
            ASSERT_GT(frames.size(), kConnectFrames + 2);
            EXPECT_EQ(frames[kConnectFrames + 2], (Bytes{0xAA, 0x03, 0x21, 0x00, 0xC0}));
        } else {
            for (const std::string& line : lines(ran.out)) {
                EXPECT_TRUE(Json::accept(line)) << line;
            }
        }
    }
}

// --- Files --------------------------------------------------------------------------

// A folder of the test's own, named beyond the ANSI code page.
class Scratch {
public:
    Scratch() {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        dir_ = fs::path(temp) /
               fs::path(L"zr8ctl-Z\u00e4bel-\u20ac-" + std::to_wstring(::GetCurrentProcessId()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~Scratch() { fs::remove_all(dir_); }
    fs::path path(const std::wstring& name) const { return dir_ / name; }

private:
    fs::path dir_;
};

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TEST_F(Zr8ctlWindows, FilesNamedBeyondTheCodePageAreWrittenOnceAndRead) {
    const std::string com = port("zr8ctl");
    Scratch scratch;
    const fs::path backup = scratch.path(L"Sicherung \u00fc \u65e5.json");
    const fs::path trace = scratch.path(L"Spur \u00f6.txt");
    Ran ran = zr8ctl({"--json", "--port", com, "--trace", utf8(trace), "backup", utf8(backup)});
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    // The name comes back in UTF-8 whatever the code page.
    EXPECT_EQ(Json::parse(ran.out)["backup"]["file"], utf8(backup));
    EXPECT_TRUE(fs::is_regular_file(backup));
    std::ifstream traced(trace);
    std::string first;
    std::getline(traced, first);
    EXPECT_NE(first.find("in   AA 01 01"), std::string::npos) << first;

    ran = zr8ctl({"--port", com, "diff", utf8(backup)});
    EXPECT_EQ(ran.exitCode, 0) << ran.out << ran.err;
    ran = zr8ctl({"--port", com, "backup", utf8(backup)});
    EXPECT_EQ(ran.exitCode, 2);
    EXPECT_NE(ran.err.find("exists; --force replaces it"), std::string::npos) << ran.err;
    ran = zr8ctl({"--port", com, "backup", utf8(backup), "--force"});
    EXPECT_EQ(ran.exitCode, 0) << ran.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path(L"")), fs::directory_iterator()), 2)
        << "the backup and the trace, and no temporary file left";
}

// The cli_windows.linux_backup test had the Linux zr8ctl back up the
// simulator on COM8, unlike this one in microstep resolution.
TEST_F(Zr8ctlWindows, ABackupTheLinuxToolMadeIsRestored) {
    const char* folder = std::getenv("ZR8_WINE_SIMS");
    ASSERT_NE(folder, nullptr);
    const std::string backup = std::string(folder) + "\\linux-backup.json";
    ASSERT_TRUE(fs::exists(backup)) << backup << ": cli_windows.linux_backup did not run";
    const std::string com = port("zr8ctl-restore");
    Ran ran = zr8ctl({"--json", "--port", com, "restore", backup, "--other-controller"});
    ASSERT_EQ(ran.exitCode, 0) << ran.err;
    const Json restored = Json::parse(ran.out);
    EXPECT_TRUE(restored["readBack"]["identical"].get<bool>()) << ran.out;
    EXPECT_EQ(restored["written"]["format"]["ra"]["bitsPerRev"], 24);
    ran = zr8ctl({"--json", "--port", com, "diff", backup});
    EXPECT_EQ(ran.exitCode, 3) << ran.err;
    const Json differences = Json::parse(ran.out)["differences"];
    EXPECT_FALSE(differences.empty());
    for (const Json& d : differences) EXPECT_FALSE(d["writable"].get<bool>()) << d.dump();
}

}  // namespace
}  // namespace zr8::cli_test
