// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Start-up measurements only (bench/startup): with ZR8_EXIT_WHEN_SHOWN=1 in
// the environment, the program writes "shown" to stdout when its first window
// is exposed and then closes its windows as the operator would. Without it,
// nothing is installed and nothing changes.

class QApplication;

namespace zr8::ui {

void installShownProbeIfAsked(QApplication& application);

}  // namespace zr8::ui
