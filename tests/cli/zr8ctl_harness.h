// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the zr8ctl tests share: the program run against simulated
// controllers on pseudo-terminals, scratch folders, backups to edit and the
// documented schemas to check output against.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "program_run.h"
#include "sim/pty_server.h"

namespace zr8::cli_test {

using Json = nlohmann::json;
using Bytes = std::vector<uint8_t>;

// Identify and the six configuration queries.
inline constexpr size_t kConnectFrames = 7;

bool hasCommand(const std::vector<Bytes>& frames, uint8_t command);

// A scratch folder of the test's own.
class Scratch {
public:
    explicit Scratch(const std::string& purpose = "files");
    ~Scratch();
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string write(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path dir_;
};

// A simulated controller on a pty, with the test's settings and faults.
class Simulator {
public:
    explicit Simulator(sim::SimConfig config = {}, sim::FaultConfig faults = {});
    std::string port() const { return server_.slavePath(); }
    sim::PtyServer& server() { return server_; }
    std::vector<Bytes> frames() const { return server_.receivedFrames(); }
    sim::ControllerSettings settings() const { return server_.snapshot().settings; }

private:
    sim::PtyServer server_;
};

Ran zr8ctl(const std::vector<std::string>& arguments);

// `arguments` after --port and the simulator's device.
std::vector<std::string> on(const Simulator& sim, std::vector<std::string> arguments);

// Checks `text` (one document, or one a line) against a documented shape;
// an empty result means valid.
std::string schemaErrors(const std::string& shape, const std::string& text, bool lines = false);

sim::SimConfig withState(const std::string& stateFile, sim::ControllerSettings settings);

// Settings unlike the simulator's defaults in everything restore writes.
sim::ControllerSettings unusualSettings();

// A valid backup of the default controller, changed by `edit`.
std::string editedBackup(void (*edit)(Json&));

}  // namespace zr8::cli_test
