// zr8-setup: configures the ZR8 mount controller. It takes no options; the
// toolkit's own arguments aside, the command line is ignored.

#include <QApplication>

#include <utility>

#include "ui/qt/shown_probe.h"
#include "ui/qt/start_up.h"

int main(int argc, char* argv[]) {
    // Listing the serial devices takes milliseconds; let it overlap the
    // toolkit's start.
    zr8::ui::DeviceListing devices = zr8::ui::startDeviceListing();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zr8-setup"));
    zr8::ui::installShownProbeIfAsked(application);
    return zr8::ui::runProgram(std::move(devices));
}
