// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialogs' keyboard rules. No push button is a default button, so none
// is drawn as one; Enter on a focused push button clicks it, as Space does,
// and what Enter does elsewhere is each dialog's own affair.

class QKeyEvent;
class QPushButton;
class QWidget;

namespace zr8::ui {

// Makes every push button of `dialog` neither default nor auto-default.
void clearDefaultButtons(QWidget* dialog);

bool isEnterKey(const QKeyEvent* event);

// Clicks the enabled push button of `dialog` that has the focus; false when
// the focus is elsewhere.
bool clickFocusedButton(QWidget* dialog);

}  // namespace zr8::ui
