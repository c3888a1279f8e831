// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/dialog_keys.h"

#include <QKeyEvent>
#include <QPushButton>

namespace zr8::ui {

void clearDefaultButtons(QWidget* dialog) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

bool isEnterKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

bool clickFocusedButton(QWidget* dialog) {
    auto* button = qobject_cast<QPushButton*>(dialog->focusWidget());
    if (button == nullptr || !button->isEnabled()) return false;
    button->click();
    return true;
}

}  // namespace zr8::ui
