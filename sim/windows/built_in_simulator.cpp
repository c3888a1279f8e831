// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in simulator inside the process: Windows has no pseudo-terminal
// to serve it on.
#include "sim/built_in_simulator.h"

#include <mutex>
#include <string>

#include "platform/port_catalogue.h"
#include "sim/in_process_line.h"

namespace zr8::sim {

struct BuiltInSimulator::Impl {
    std::mutex lock;
    std::shared_ptr<InProcessLine> line;

    std::shared_ptr<iByteStream> start(std::string& error) {
        std::lock_guard guard(lock);
        if (!line) {
            auto started = std::make_shared<InProcessLine>();
            if (!started->ok()) {
                error = started->error();
                return nullptr;
            }
            line = std::move(started);
        }
        line->attach();
        return line;
    }
};

BuiltInSimulator::BuiltInSimulator() : impl_(std::make_unique<Impl>()) {}
BuiltInSimulator::~BuiltInSimulator() = default;

void BuiltInSimulator::offerIn(PortCatalogue& ports) {
    ports.addProvidedStream(kBuiltInSimulatorName, [impl = impl_.get()](std::string& error) {
        return impl->start(error);
    });
}

}  // namespace zr8::sim
