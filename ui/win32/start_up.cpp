#include "ui/win32/start_up.h"

#include <commctrl.h>

#include <memory>

#include "app/app_model.h"
#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/win32/dlg_main.h"
#include "ui/win32/shown_probe.h"

namespace zr8::win32 {

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

    auto heartbeat = std::make_unique<HeartBeat>();
    auto model = std::make_unique<AppModel>();
    // The link reports to the model, takes its sky time and its initial
    // encoder format from it.
    auto link = std::make_unique<CommControl>(*model, *model, model->encoderConfig(), ports);
    model->setLink(link.get());
    heartbeat->setListener(link.get());
    auto dialog = std::make_unique<DlgMain>(instance, *link, *model, ports);
    model->setCallback(&dialog->callback());
    model->setSink(dialog.get());
    if (shownProbeAsked()) {
        dialog->onFirstShown([&dialog] { reportShown(dialog->window()); });
    }
    // Every receiver is in place before the first tick and the first notification.
    heartbeat->start();

    dialog->run();

    model->setCallback(nullptr);
    heartbeat->clearListener();  // no tick in progress or to come
    link->shutdown();            // no link thread calls the model any more
    model->setSink(nullptr);
    dialog.reset();
    link.reset();
    model.reset();
    heartbeat->stop();
    heartbeat.reset();
    return 0;
}

}  // namespace zr8::win32
