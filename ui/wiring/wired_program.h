// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Start-up's wiring and teardown, the same for every front end: the
// heartbeat, the model and the link are made and connected, the front end's
// main dialog is made over them and run until the operator closes it, and
// everything is taken down in an order that lets no thread call into an
// object that is already gone.
//
// Threads: the caller's, which is the user-interface thread.

#include <functional>
#include <memory>

#include "app/main_dlg_callback.h"
#include "app/wm_user_sender.h"

namespace zr8 {
class AppModel;
class iZR6Control;
class PortCatalogue;
}  // namespace zr8

namespace zr8::ui {

// The main dialog as start-up sees it.
class iWiredDialog {
public:
    // What the model calls back, and what it posts its notifications to.
    virtual iMainDlgCallback& callback() = 0;
    virtual iWMUserSender& sink() = 0;
    // Runs the dialog until the close command ends it.
    virtual void run() = 0;
    virtual ~iWiredDialog() = default;
};

// Makes the main dialog over the running link and the model, which outlive it.
using DialogMaker =
    std::function<std::unique_ptr<iWiredDialog>(iZR6Control& link, AppModel& model)>;

// Wires, runs and takes down the program over `ports`, which must outlive
// the call; returns the exit code, which is always 0.
int runWired(PortCatalogue& ports, const DialogMaker& makeDialog);

}  // namespace zr8::ui
