// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for zr8-setup's start-up: an empty dialog, started, shown and
// closed the way zr8-setup is (QApplication, a modal QDialog, the same
// ZR8_EXIT_WHEN_SHOWN probe).

#include <QApplication>
#include <QDialog>

#include "ui/qt/shown_probe.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("empty-dialog"));
    zr8::ui::installShownProbeIfAsked(application);
    QDialog dialog;
    dialog.exec();
    return 0;
}
