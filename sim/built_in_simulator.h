// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated controller a front end offers beside the real ports, so the
// whole program can be tried without a ZR8. It starts on the first connect
// to it and then serves every later connection until the object goes. Where
// the system has pseudo-terminals it serves one (the catalogue opens it like
// any device); elsewhere it serves the line inside the process.
//
// Threads: offerIn on the owner's thread; the catalogue starts it on the
// link's worker.

#include <memory>

namespace zr8 {
class PortCatalogue;
}

namespace zr8::sim {

// The name under which front ends list it.
inline constexpr const char* kBuiltInSimulatorName = "Simulated ZR8 (built in)";

class BuiltInSimulator {
public:
    BuiltInSimulator();
    ~BuiltInSimulator();
    BuiltInSimulator(const BuiltInSimulator&) = delete;
    BuiltInSimulator& operator=(const BuiltInSimulator&) = delete;

    // Lists the simulator in `ports` under kBuiltInSimulatorName. This
    // object must outlive every link that may connect to it.
    void offerIn(PortCatalogue& ports);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zr8::sim
