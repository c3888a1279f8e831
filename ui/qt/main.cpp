// SPDX-License-Identifier: GPL-3.0-or-later
// zr8-setup: configures the ZR8 mount controller. It takes no options, and
// the command line is ignored: the toolkit does not see it either, so its own
// options (style, platform, reverse layout and the like) change nothing.

#include <QApplication>

#include <utility>

#include "ui/qt/start_up.h"

int main(int argc, char* argv[]) {
    // Listing the serial devices takes milliseconds; let it overlap the
    // toolkit's start.
    zr8::ui::DeviceListing devices = zr8::ui::startDeviceListing();
    static char programName[] = "zr8-setup";
    char* toolkitArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : programName, nullptr};
    int toolkitArgc = 1;  // the toolkit keeps a reference for the program's life
    QApplication application(toolkitArgc, toolkitArgv);
    QApplication::setApplicationName(QStringLiteral("zr8-setup"));
    return zr8::ui::runProgram(std::move(devices));
}
