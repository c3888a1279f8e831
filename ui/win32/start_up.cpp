// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/start_up.h"

#include <commctrl.h>

#include <memory>

#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/win32/dlg_main.h"
#include "ui/wiring/wired_program.h"

namespace zr8::win32 {

namespace {

class WiredDlgMain final : public ui::iWiredDialog {
public:
    WiredDlgMain(HINSTANCE instance, iZR6Control& link, AppModel& model, PortCatalogue& ports)
        : dialog_(instance, link, model, ports) {}
    iMainDlgCallback& callback() override { return dialog_.callback(); }
    iWMUserSender& sink() override { return dialog_; }
    void run() override { dialog_.run(); }

private:
    DlgMain dialog_;
};

}  // namespace

int runProgram(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    if (!::InitCommonControlsEx(&controls)) {
        ::MessageBoxA(nullptr, "Init Common Controls failed", "Error", MB_OK);
        return 0;
    }
    // Both outlive the link, which may hold the simulator's line open.
    sim::BuiltInSimulator simulator;
    PortCatalogue ports;
    simulator.offerIn(ports);
    return ui::runWired(ports, [instance, &ports](iZR6Control& link, AppModel& model) {
        return std::make_unique<WiredDlgMain>(instance, link, model, ports);
    });
}

}  // namespace zr8::win32
