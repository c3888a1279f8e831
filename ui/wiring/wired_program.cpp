// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/wiring/wired_program.h"

#include "app/app_model.h"
#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "platform/port_catalogue.h"

namespace zr8::ui {

int runWired(PortCatalogue& ports, const DialogMaker& makeDialog) {
    auto heartbeat = std::make_unique<HeartBeat>();
    auto model = std::make_unique<AppModel>();
    // The link reports to the model, takes its sky time and its initial
    // encoder format from it.
    auto link = std::make_unique<CommControl>(*model, *model, model->encoderConfig(), ports);
    model->setLink(link.get());
    heartbeat->setListener(link.get());
    std::unique_ptr<iWiredDialog> dialog = makeDialog(*link, *model);
    model->setCallback(&dialog->callback());
    model->setSink(&dialog->sink());
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

}  // namespace zr8::ui
