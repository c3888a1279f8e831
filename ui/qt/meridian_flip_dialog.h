// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The meridian flip dialog in Qt: layout and widgets. Its texts, enabling
// and the choice of each button are the rules' (rules/meridian_flip_form.h).

#include <QDialog>

#include "link/wire.h"
#include "ui/qt/widget_controls.h"
#include "ui/rules/control_ids.h"

namespace zr8::ui {

class MeridianFlipDialog : public QDialog {
    Q_OBJECT
public:
    using enum rules::flip_ids::FlipControl;

    MeridianFlipDialog(int flipCase, QWidget* owner);

    FlipChoice choice() const { return choice_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void answer(int controlId);

    WidgetControls controls_{*this};
    FlipChoice choice_ = FlipChoiceCancel;
};

// Runs the dialog modally over `owner` and returns the choice; closing the
// window or Escape counts as cancel.
FlipChoice runMeridianFlipDialog(QWidget* owner, int flipCase);

}  // namespace zr8::ui
