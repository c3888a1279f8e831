// SPDX-License-Identifier: GPL-3.0-or-later
#include "zr8ctl_harness.h"

#include <unistd.h>

#include <fstream>

namespace zr8::cli_test {

namespace fs = std::filesystem;

bool hasCommand(const std::vector<Bytes>& frames, uint8_t command) {
    for (const Bytes& f : frames) {
        if (f.size() > 2 && f[2] == command) return true;
    }
    return false;
}

Scratch::Scratch(const std::string& purpose) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name =
        std::string("zr8ctl-") + info->test_suite_name() + "-" + info->name() + "-" + purpose;
    for (char& c : name) {
        if (c == '/') c = '-';
    }
    dir_ = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

Scratch::~Scratch() { fs::remove_all(dir_); }

std::string Scratch::write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name)) << text;
    return path(name);
}

Simulator::Simulator(sim::SimConfig config, sim::FaultConfig faults)
    : server_(std::move(config), faults) {
    std::string error;
    EXPECT_TRUE(server_.start(&error)) << error;
}

Ran zr8ctl(const std::vector<std::string>& arguments) { return run(ZR8CTL_PATH, arguments); }

std::vector<std::string> on(const Simulator& sim, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--port", sim.port()});
    return arguments;
}

std::string schemaErrors(const std::string& shape, const std::string& text, bool lines) {
    Scratch scratch("schema");
    const std::string file = scratch.write("document.json", text);
    std::vector<std::string> args{ZR8_VALIDATOR, ZR8_DOCS_DIR, shape, file};
    if (lines) args.push_back("--lines");
    const Ran ran = run(ZR8_PYTHON, args);
    return ran.exitCode == 0 ? ""
                             : ran.out + ran.err + "(exit " + std::to_string(ran.exitCode) + ")";
}

sim::SimConfig withState(const std::string& stateFile, sim::ControllerSettings settings) {
    sim::SimConfig config;
    config.settings = settings;
    config.stateFile = stateFile;
    return config;
}

sim::ControllerSettings unusualSettings() {
    sim::ControllerSettings s = sim::defaultSettings();
    s.raFormat = {0x06, 10, 24, 1};  // bit 2, which no dialog shows, too
    s.decFormat = {0x01, 8, 22, 0};
    s.reverseEncoder = 0x01;
    s.raOffset = -5;
    s.decOffset = 1234;
    s.reverseMotor = 0x03;
    s.motorOption = 5;
    return s;
}

std::string editedBackup(void (*edit)(Json&)) {
    static const std::string original = [] {
        const Ran ran = zr8ctl({"--port", "sim", "backup", "-"});
        EXPECT_EQ(ran.exitCode, 0) << ran.err;
        return ran.out;
    }();
    Json document = Json::parse(original);
    edit(document);
    return document.dump(2);
}

}  // namespace zr8::cli_test
