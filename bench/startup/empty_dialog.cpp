// The yardstick for zr8-setup's start-up: an empty dialog, started, shown and
// closed the way zr8-setup is (QApplication, a modal QDialog, the same
// ZR8_EXIT_WHEN_SHOWN behaviour).

#include <QApplication>
#include <QDialog>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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
    QApplication::setApplicationName(QStringLiteral("empty-dialog"));
    ExitWhenShown exitWhenShown;
    const char* exitFlag = std::getenv("ZR8_EXIT_WHEN_SHOWN");
    if (exitFlag != nullptr && std::strcmp(exitFlag, "1") == 0) application.installEventFilter(&exitWhenShown);
    QDialog dialog;
    dialog.exec();
    return 0;
}
