// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui_harness.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace zr8::gui_test {

namespace {
int answered = 0;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(5);
    }
    return true;
}

void onNextModal(std::function<void(QWidget*)> act, QWidget* except) {
    auto* timer = new QTimer(qApp);
    auto deadline = std::make_shared<QDeadlineTimer>(5000);
    QPointer<QWidget> seenBefore = QApplication::activeModalWidget();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool fresh = modal != nullptr && modal != except && modal != seenBefore.data();
        // Active, not just visible: only then has the window system given
        // it the focus that the operator's keys would go to.
        if (fresh && modal->isVisible() && modal->isActiveWindow()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
            ++answered;
            return;
        }
        if (deadline->hasExpired()) {
            timer->stop();
            timer->deleteLater();
            if (auto* dialog = qobject_cast<QDialog*>(modal);
                dialog != nullptr && modal != except) {
                dialog->reject();
            }
        }
    });
    timer->start();
}

int answeredModals() { return answered; }

bool clickChild(QWidget* parent, const QString& name) {
    auto* widget = parent->findChild<QWidget*>(name);
    if (widget == nullptr || !widget->isVisible()) return false;
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    return true;
}

}  // namespace zr8::gui_test
