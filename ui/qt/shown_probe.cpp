// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/shown_probe.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zr8::ui {

namespace {

class ExitWhenShown : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* object, QEvent* event) override {
        if (!done_ && event->type() == QEvent::Expose && object->isWindowType()) {
            auto* window = static_cast<QWindow*>(object);
            if (window->isExposed()) {
                done_ = true;
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
                QMetaObject::invokeMethod(
                    qApp,
                    [] {
                        for (QWidget* widget : QApplication::topLevelWidgets())
                            if (widget->isVisible()) widget->close();
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    bool done_ = false;
};

}  // namespace

void installShownProbeIfAsked(QApplication& application) {
    const char* flag = std::getenv("ZR8_EXIT_WHEN_SHOWN");
    if (flag == nullptr || std::strcmp(flag, "1") != 0) return;
    // Owned by the application, so it lives exactly as long as the event loop.
    application.installEventFilter(new ExitWhenShown(&application));
}

}  // namespace zr8::ui
