// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for zr8-setup's start-up: an empty dialog, started and shown
// the way zr8-setup is (QApplication, a modal QDialog), and closed from
// outside as the program is.

#include <QApplication>
#include <QDialog>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("empty-dialog"));
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("empty dialog"));
    dialog.exec();
    return 0;
}
