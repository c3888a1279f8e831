// zr8-setup: configures the ZR8 mount controller. It takes no options; the
// toolkit's own arguments aside, the command line is ignored.

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ui/start_up.h"

namespace {

// Start-up measurements only (bench/startup): with ZR8_EXIT_WHEN_SHOWN=1 the
// program writes "shown" to stdout when its window is first exposed and then
// closes that window as the operator would. Unset, nothing is installed.
class ExitWhenShown : public QObject {
public:
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

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zr8-setup"));
    ExitWhenShown exitWhenShown;
    const char* exitFlag = std::getenv("ZR8_EXIT_WHEN_SHOWN");
    if (exitFlag != nullptr && std::strcmp(exitFlag, "1") == 0) application.installEventFilter(&exitWhenShown);
    return zr8::ui::runProgram();
}
