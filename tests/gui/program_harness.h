// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Running the whole program in-process, as start-up does, and reaching its
// main dialog's controls by identifier.

#include <QLineEdit>
#include <QString>

#include <functional>

#include "ui/qt/dlg_main.h"
#include "ui/qt/start_up.h"

namespace zr8::ui::program_test {

// The program's visible main dialog, or null.
DlgMain* mainDialog();

template <typename T = QWidget>
T* control(DlgMain* d, int id) {
    return d->findChild<T*>(QStringLiteral("IDC_%1").arg(id), Qt::FindDirectChildrenOnly);
}

inline QString text(DlgMain* d, int id) { return control<QLineEdit>(d, id)->text(); }
inline bool enabled(DlgMain* d, int id) { return control(d, id)->isEnabled(); }
bool click(DlgMain* d, int id);

// Picks the built-in simulated controller in the port list, as the operator would.
void chooseSimulator(DlgMain* d);
// Connects to it and waits until the configuration is shown.
void connectToSimulator(DlgMain* d);

// Runs the program; `script` runs once its window is up, inside its loop.
// The window is closed afterwards if the script left it open. Returns the
// program's exit code.
int runWith(const std::function<void(DlgMain*)>& script, DeviceListing firstListing = {});

}  // namespace zr8::ui::program_test
