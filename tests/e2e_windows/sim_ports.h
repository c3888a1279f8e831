// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated controllers a Wine test run serves on COM ports
// (scripts/wine-sims): ZR8_WINE_SIMS names their folder, where the file
// "ports" gives each port's role ("traced COM9") and sim-comN.log each
// simulator's output, its trace where it has one. Without them (on Windows
// itself) every role is empty and the tests that need one are skipped.

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/link_conversation.h"
#include "tests/support/recording_listener.h"

namespace zr8::test {

class SimPorts {
public:
    SimPorts() {
        const char* folder = std::getenv("ZR8_WINE_SIMS");
        if (folder == nullptr) return;
        folder_ = folder;
        std::ifstream list(folder_ + "/ports");
        std::string role, port;
        while (list >> role >> port) ports_[role] = port;
    }
    // "COM9", or empty when there is no simulator in that role.
    std::string port(const std::string& role) const {
        const auto found = ports_.find(role);
        return found != ports_.end() ? found->second : std::string();
    }
    std::string logOf(std::string port) const {
        for (char& c : port) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return folder_ + "/sim-" + port + ".log";
    }

private:
    std::string folder_;
    std::map<std::string, std::string> ports_;
};

// What a simulator with --trace logs from now on: one line per event,
// "  0.618929 in   AA 01 01" (seconds, then in, out, skip, hang-up or
// closed, then the bytes).
class SimTrace {
public:
    struct Event {
        std::string kind;
        Bytes bytes;
    };

    explicit SimTrace(std::string path) : path_(std::move(path)) {
        std::ifstream log(path_, std::ios::binary | std::ios::ate);
        start_ = log ? static_cast<std::streamoff>(log.tellg()) : 0;
    }

    std::vector<Event> events() const {
        std::vector<Event> found;
        std::ifstream log(path_, std::ios::binary);
        log.seekg(start_);
        std::string line;
        // A line still being written has no newline yet: left for later.
        while (std::getline(log, line) && !log.eof()) {
            std::istringstream fields(line);
            double seconds = 0;
            Event event;
            if (!(fields >> seconds >> event.kind)) continue;
            unsigned byte = 0;
            while (fields >> std::hex >> byte) event.bytes.push_back(static_cast<uint8_t>(byte));
            found.push_back(std::move(event));
        }
        return found;
    }

    // The frames the simulator received, in order.
    std::vector<Bytes> framesReceived() const {
        std::vector<Bytes> frames;
        for (const Event& event : events()) {
            if (event.kind == "in") frames.push_back(event.bytes);
        }
        return frames;
    }

    // The log is written by another process: looked at every few
    // milliseconds until `count` frames are in, or the deadline passes.
    bool waitForFrames(size_t count) const {
        const auto until = std::chrono::steady_clock::now() + kDeadline;
        while (framesReceived().size() < count) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    std::string path_;
    std::streamoff start_ = 0;
};

}  // namespace zr8::test
