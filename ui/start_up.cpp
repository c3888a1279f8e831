#include "ui/start_up.h"

#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "app/app_model.h"
#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "platform/port_catalogue.h"
#include "sim/pty_server.h"
#include "ui/dlg_main.h"

namespace zr8::ui {

namespace {

// The built-in simulated controller, started on a pseudo-terminal the first
// time the operator connects to it. The catalogue calls start() on the
// link's worker thread.
class BuiltInSimulator {
public:
    bool start(std::string& devicePath, std::string& error) {
        std::lock_guard<std::mutex> guard(lock_);
        if (!started_) {
            if (!server_.start(&error)) return false;
            started_ = true;
        }
        devicePath = server_.slavePath();
        return true;
    }

private:
    std::mutex lock_;
    bool started_ = false;
    sim::PtyServer server_;
};

}  // namespace

DeviceListing startDeviceListing() {
    try {
        return std::async(std::launch::async, scanSerialDevices);
    } catch (const std::system_error&) {
        return {};  // runProgram lists the devices itself
    }
}

int runProgram(DeviceListing firstListing) {
    // Both outlive the link, which may hold the simulator's terminal open.
    BuiltInSimulator simulator;
    // The catalogue lists once as it is made, on this thread; only that first
    // listing may come from ahead.
    auto first = std::make_shared<DeviceListing>(std::move(firstListing));
    PortCatalogue ports([first] {
        if (first->valid()) return first->get();
        return scanSerialDevices();
    });
    ports.setSimulator([&simulator](std::string& devicePath, std::string& error) {
        return simulator.start(devicePath, error);
    });

    auto heartbeat = std::make_unique<HeartBeat>();
    auto model = std::make_unique<AppModel>();
    // The link reports to the model, takes its sky time and its initial
    // encoder format from it.
    auto link = std::make_unique<CommControl>(*model, *model, model->encoderConfig(), ports);
    model->setLink(link.get());
    heartbeat->setListener(link.get());
    auto dialog = std::make_unique<DlgMain>(*link, *model, ports);
    model->setCallback(dialog.get());
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
