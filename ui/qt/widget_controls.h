// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules' view of a Qt dialog's controls: each control is the direct
// child named after its identifier (controlName), and the rules' texts are
// UTF-8.

#include <QWidget>

#include "ui/rules/dialog_controls.h"

namespace zr8::ui {

class WidgetControls final : public rules::iDialogControls {
public:
    explicit WidgetControls(QWidget& dialog) : dialog_(dialog) {}

    void setText(int id, std::string_view text) override;
    void setChecked(int id, bool checked) override;
    void setEnabled(int id, bool enabled) override;
    void setToolTip(int id, std::string_view text) override;
    std::string text(int id) const override;
    bool isChecked(int id) const override;
    int position(int id) const override;

    QWidget* control(int id) const;

private:
    QWidget& dialog_;
};

// A refused value: the message over `dialog`, then the focus on the field
// with its text selected, so the operator can type over it.
void showRefusal(QWidget* dialog, const WidgetControls& controls, const rules::Refusal& refusal);

}  // namespace zr8::ui
