// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/indi/indi_harness.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace zr8::indi_test {

namespace {

using namespace std::chrono;

int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(s);
    return ntohs(a.sin_port);
}

sim::SimConfig scaled(double timeScale) {
    sim::SimConfig config;
    config.timeScale = timeScale;
    return config;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::string hex(const Bytes& frame) {
    std::string text;
    char digits[4];
    for (size_t i = 0; i < frame.size(); ++i) {
        std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", frame[i]);
        text += digits;
    }
    return text;
}

IndiRig::IndiRig(sim::FaultConfig faults, double timeScale) : sim_(scaled(timeScale), faults) {
    std::string error;
    if (!sim_.start(&error)) std::fprintf(stderr, "simulator: %s\n", error.c_str());
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = (std::filesystem::temp_directory_path() /
            (std::string("zr8-indi-") + info->name() + "-" + std::to_string(::getpid())))
               .string();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    // The driver keeps its configuration here, not in the user's home.
    ::setenv("INDICONFIG", (dir_ + "/ZR8_config.xml").c_str(), 1);
    ::setenv("HOME", dir_.c_str(), 1);
    port_ = freePort();
    const std::string port = std::to_string(port_);
    // The local socket too is the rig's own: servers of parallel tests must not meet.
    const std::string socket = dir_ + "/indiserver";
    const char* argv[] = {INDISERVER_PATH, "-p",   port.c_str(), "-u", socket.c_str(), "-r", "3",
                          DRIVER_PATH,     nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string log = dir_ + "/indiserver.log";
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&server_, INDISERVER_PATH, &actions, nullptr, const_cast<char**>(argv),
                    environ) != 0)
        server_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    // The driver is up once its connection switch can be read.
    const auto until = steady_clock::now() + seconds(kDeadlineSeconds);
    while (get("ZR8.CONNECTION.CONNECT").empty() && steady_clock::now() < until)
        std::this_thread::sleep_for(milliseconds(100));
}

IndiRig::~IndiRig() {
    watchers_.clear();
    const pid_t driver = driverPid();
    if (server_ > 0) {
        ::kill(server_, SIGTERM);
        ::waitpid(server_, nullptr, 0);
    }
    // indiserver does not wait for its driver, which ends once its input
    // closes: wait for that before the device goes.
    const auto until = steady_clock::now() + seconds(kDeadlineSeconds);
    while (driver > 0 && ::kill(driver, 0) == 0 && steady_clock::now() < until)
        std::this_thread::sleep_for(milliseconds(20));
    sim_.stop();
    // A sanitizer's report from the driver reaches indiserver's log.
    const std::string log = serverLog();
    for (const char* report : {"ThreadSanitizer", "AddressSanitizer", "runtime error"})
        EXPECT_EQ(log.find(report), std::string::npos) << log;
    std::filesystem::remove_all(dir_);
}

Ran IndiRig::set(const std::string& spec, const char* typed) const {
    std::vector<std::string> args{"-p", std::to_string(port_), "-t", "10"};
    if (typed) args.push_back(typed);
    args.push_back(spec);
    return cli_test::run(INDI_SETPROP_PATH, args, seconds(kDeadlineSeconds));
}

std::string IndiRig::get(const std::string& name) const {
    const Ran ran =
        cli_test::run(INDI_GETPROP_PATH, {"-1", "-p", std::to_string(port_), "-t", "2", name},
                      seconds(kDeadlineSeconds));
    return ran.exitCode == 0 ? trimmed(ran.out) : "";
}

double IndiRig::number(const std::string& name) const { return std::atof(get(name).c_str()); }

bool IndiRig::await(const std::string& expression, int secondsToWait) const {
    const Ran ran = cli_test::run(
        INDI_EVAL_PATH,
        {"-p", std::to_string(port_), "-t", std::to_string(secondsToWait), "-w", expression},
        seconds(secondsToWait + 10));
    return ran.exitCode == 0;
}

cli_test::Child* IndiRig::watch(const std::string& expression, int secondsToWait) {
    watchers_.push_back(std::make_unique<cli_test::Child>(
        INDI_EVAL_PATH, std::vector<std::string>{"-p", std::to_string(port_), "-t",
                                                 std::to_string(secondsToWait), "-w", expression}));
    return watchers_.back().get();
}

bool IndiRig::connect(const char* baud) {
    set("ZR8.DEVICE_PORT.PORT=" + sim_.slavePath());
    set(std::string("ZR8.DEVICE_BAUD_RATE.") + baud + "=On");
    set("ZR8.CONNECTION.CONNECT=On");
    const bool connected = await("\"ZR8.CONNECTION._STATE\"==1 && \"ZR8.CONNECTION.CONNECT\"==1") &&
                           await("\"ZR8.EQUATORIAL_EOD_COORD._STATE\"==1");
    if (!connected) {
        ADD_FAILURE() << "port " << get("ZR8.DEVICE_PORT.PORT") << " (" << sim_.slavePath()
                      << "), connection " << get("ZR8.CONNECTION._STATE") << ", position "
                      << get("ZR8.EQUATORIAL_EOD_COORD._STATE") << ", "
                      << sim_.receivedFrames().size() << " frames received\n"
                      << serverLog();
    }
    return connected;
}

void IndiRig::mark() { mark_ = sim_.receivedFrames().size(); }

std::vector<Bytes> IndiRig::framesSinceMark(bool withReads) const {
    const std::vector<Bytes> all = sim_.receivedFrames();
    std::vector<Bytes> frames;
    for (size_t i = mark_; i < all.size(); ++i) {
        if (!withReads && all[i].size() > 2 && all[i][2] == 0x1F) continue;
        frames.push_back(all[i]);
    }
    return frames;
}

bool IndiRig::awaitFrame(uint8_t command, int secondsToWait) const {
    const auto until = steady_clock::now() + seconds(secondsToWait);
    for (;;) {
        for (const Bytes& f : framesSinceMark(true))
            if (f.size() > 2 && f[2] == command) return true;
        if (steady_clock::now() >= until) return false;
        sim_.waitForFrames(sim_.receivedFrames().size() + 1, milliseconds(200));
    }
}

pid_t IndiRig::driverPid() const {
    // The driver is indiserver's child.
    std::ifstream children("/proc/" + std::to_string(server_) + "/task/" + std::to_string(server_) +
                           "/children");
    pid_t pid = -1;
    if (children >> pid) return pid;
    return -1;
}

std::string IndiRig::serverLog() const {
    std::ifstream in(dir_ + "/indiserver.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace zr8::indi_test
