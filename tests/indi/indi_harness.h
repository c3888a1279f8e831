// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// indi_zr8_telescope under a real indiserver, driven by Debian's client
// tools (indi_setprop, indi_getprop, indi_eval) as any script would, against
// the simulated ZR8 on a pseudo-terminal whose received frames the tests
// check. Every wait is for a condition, with a deadline.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "sim/pty_server.h"

#include <memory>

#include "tests/cli/program_run.h"

namespace zr8::indi_test {

using Bytes = std::vector<uint8_t>;
using cli_test::Ran;

inline constexpr int kDeadlineSeconds = 30;

class IndiRig {
public:
    // The simulator runs `timeScale` times faster than real time.
    explicit IndiRig(sim::FaultConfig faults = {}, double timeScale = 20);
    ~IndiRig();
    IndiRig(const IndiRig&) = delete;
    IndiRig& operator=(const IndiRig&) = delete;

    // "ZR8.PROP.ELEMENT=value" as indi_setprop takes it; `typed` sends it
    // unchecked (-s, -n or -x), as a client that does not ask first would.
    Ran set(const std::string& spec, const char* typed = nullptr) const;
    // One value, or "" when there is none.
    std::string get(const std::string& name) const;
    double number(const std::string& name) const;
    // indi_eval -w: true once `expression` holds, false at the deadline.
    bool await(const std::string& expression, int seconds = kDeadlineSeconds) const;
    // Starts indi_eval -w in the background, for a state that may pass
    // quickly; finish() says whether it was seen.
    cli_test::Child* watch(const std::string& expression, int seconds = kDeadlineSeconds);

    // Sets the port and rate, connects, and waits for "Connection established.".
    bool connect(const char* baud = "115200");

    sim::PtyServer& sim() { return sim_; }
    // Frames the controller received since the last mark(), without the
    // position reads that every poll makes.
    void mark();
    std::vector<Bytes> framesSinceMark(bool withReads = false) const;
    bool awaitFrame(uint8_t command, int seconds = kDeadlineSeconds) const;
    pid_t driverPid() const;
    std::string serverLog() const;

private:
    sim::PtyServer sim_;
    std::string dir_;
    int port_ = 0;
    pid_t server_ = -1;
    size_t mark_ = 0;
    std::vector<std::unique_ptr<cli_test::Child>> watchers_;
};

std::string hex(const Bytes& frame);

}  // namespace zr8::indi_test
