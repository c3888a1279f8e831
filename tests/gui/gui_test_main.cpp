// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog tests need a QApplication; without a display they run on the
// offscreen platform.

#include <QApplication>

#include <gtest/gtest.h>

// Read by the thread sanitizer, when it is built in. The distribution's Qt is
// built without it, so Qt's own pooled threads (image and font work) look
// racy; our threads and the link's are still checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n";
}

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
