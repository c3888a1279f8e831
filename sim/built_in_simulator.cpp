#include "sim/built_in_simulator.h"

#include "sim/pty_server.h"

namespace zr8::sim {

BuiltInSimulator::BuiltInSimulator() = default;
BuiltInSimulator::~BuiltInSimulator() = default;

bool BuiltInSimulator::start(std::string& devicePath, std::string& error) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!server_) {
        auto server = std::make_unique<PtyServer>();
        if (!server->start(&error)) return false;
        server_ = std::move(server);
    }
    devicePath = server_->slavePath();
    return true;
}

}  // namespace zr8::sim
