#include "ui/qt/start_up.h"

#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "app/app_model.h"
#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/qt/dlg_main.h"

namespace zr8::ui {

DeviceListing startDeviceListing() {
    try {
        return std::async(std::launch::async, scanSerialDevices);
    } catch (const std::system_error&) {
        return {};  // runProgram lists the devices itself
    }
}

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

    auto heartbeat = std::make_unique<HeartBeat>();
    auto model = std::make_unique<AppModel>();
    // The link reports to the model, takes its sky time and its initial
    // encoder format from it.
    auto link = std::make_unique<CommControl>(*model, *model, model->encoderConfig(), ports);
    model->setLink(link.get());
    heartbeat->setListener(link.get());
    auto dialog = std::make_unique<DlgMain>(*link, *model, ports);
    model->setCallback(&dialog->callback());
    model->setSink(dialog.get());
    // Every receiver is in place before the first tick and the first notification.
    heartbeat->start();

    dialog->exec();

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

}  // namespace zr8::ui
