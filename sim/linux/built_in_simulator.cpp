// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in simulator on a pseudo-terminal, the way zr8-sim serves one.
#include "sim/built_in_simulator.h"

#include <mutex>
#include <string>

#include "platform/port_catalogue.h"
#include "sim/pty_server.h"

namespace zr8::sim {

struct BuiltInSimulator::Impl {
    std::mutex lock;
    std::unique_ptr<PtyServer> server;

    bool start(std::string& devicePath, std::string& error) {
        std::lock_guard guard(lock);
        if (!server) {
            auto started = std::make_unique<PtyServer>();
            if (!started->start(&error)) return false;
            server = std::move(started);
        }
        devicePath = server->slavePath();
        return true;
    }
};

BuiltInSimulator::BuiltInSimulator() : impl_(std::make_unique<Impl>()) {}
BuiltInSimulator::~BuiltInSimulator() = default;

void BuiltInSimulator::offerIn(PortCatalogue& ports) {
    ports.addProvided(kBuiltInSimulatorName,
                      [impl = impl_.get()](std::string& path, std::string& error) {
                          return impl->start(path, error);
                      });
}

}  // namespace zr8::sim
