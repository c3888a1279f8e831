#pragma once
// The simulated controller a front end offers beside the real ports, so the
// whole program can be tried without a ZR8. It starts on first use and then
// serves every later connection until the object goes.
//
// Threads: start() may be called from any thread (the link's worker does).

#include <memory>
#include <mutex>
#include <string>

namespace zr8::sim {

class PtyServer;

// The name under which front ends list it.
inline constexpr const char* kBuiltInSimulatorName = "Simulated ZR8 (built in)";

class BuiltInSimulator {
public:
    BuiltInSimulator();
    ~BuiltInSimulator();
    BuiltInSimulator(const BuiltInSimulator&) = delete;
    BuiltInSimulator& operator=(const BuiltInSimulator&) = delete;

    // Starts the simulator if needed and gives the device to open, or false
    // and the reason.
    bool start(std::string& devicePath, std::string& error);

private:
    std::mutex lock_;
    std::unique_ptr<PtyServer> server_;
};

}  // namespace zr8::sim
