// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/start_up.h"

#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "app/app_model.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/qt/dlg_main.h"
#include "ui/wiring/wired_program.h"

namespace zr8::ui {

DeviceListing startDeviceListing() {
    try {
        return std::async(std::launch::async, scanSerialDevices);
    } catch (const std::system_error&) {
        return {};  // runProgram lists the devices itself
    }
}

namespace {

class WiredDlgMain final : public iWiredDialog {
public:
    WiredDlgMain(iZR6Control& link, AppModel& model, PortCatalogue& ports)
        : dialog_(link, model, ports) {}
    iMainDlgCallback& callback() override { return dialog_.callback(); }
    iWMUserSender& sink() override { return dialog_; }
    void run() override { dialog_.exec(); }

private:
    DlgMain dialog_;
};

}  // namespace

int runProgram(DeviceListing firstListing) {
    // Both outlive the link, which may hold the simulator's terminal open.
    sim::BuiltInSimulator simulator;
    // The catalogue lists once as it is made, on this thread; only that first
    // listing may come from ahead.
    auto first = std::make_shared<DeviceListing>(std::move(firstListing));
    PortCatalogue ports([first] {
        if (first->valid()) return first->get();
        return scanSerialDevices();
    });
    simulator.offerIn(ports);

    return runWired(ports, [&ports](iZR6Control& link, AppModel& model) {
        return std::make_unique<WiredDlgMain>(link, model, ports);
    });
}

}  // namespace zr8::ui
