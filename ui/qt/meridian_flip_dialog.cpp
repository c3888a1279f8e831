// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/meridian_flip_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <tuple>

#include "ui/qt/dialog_keys.h"
#include "ui/qt/dialog_units.h"
#include "ui/rules/meridian_flip_form.h"

namespace zr8::ui {

MeridianFlipDialog::MeridianFlipDialog(int flipCase, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("MeridianFlipDialog"));
    setWindowTitle(QStringLiteral("Meridian flip before positioning"));
    setFont(dialogFont());
    const DialogUnits du(font());
    placeDialog(this, du, 32, 32, 192, 120);

    placeLabel(this, du, "Positioning with Meridian flip", Qt::AlignHCenter, 4, 4, 184, 10);
    placeLabel(this, du, "Present state:", Qt::AlignRight, 4, 18, 50, 10);
    placeLabel(this, du, "Target state:", Qt::AlignRight, 4, 32, 50, 10);
    placeLabel(this, du, "Optional:", Qt::AlignRight, 4, 46, 50, 10);
    // The edits take the focus first, as they do in the template, so Enter
    // lands on no button and does nothing.
    placeReadOnlyEdit(this, du, IdPresentState, 58, 17, 120, 12);
    placeReadOnlyEdit(this, du, IdTargetState, 58, 31, 120, 12);
    placeReadOnlyEdit(this, du, IdOptional, 58, 45, 120, 12);

    for (const auto& [id, text, y] :
         {std::tuple{IdWithFlip, "Positioning with Meridian flip", 60},
          std::tuple{IdWithoutFlip, "Positioning without Meridian flip", 80},
          std::tuple{IdCancelPositioning, "Cancel positioning", 100}}) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        placeControl(b, du, id, 4, y, 120, 16);
        connect(b, &QPushButton::clicked, this, [this, id = id] { answer(id); });
    }
    rules::showFlipCase(flipCase, controls_);
    clearDefaultButtons(this);
}

void MeridianFlipDialog::answer(int controlId) {
    if (const std::optional<FlipChoice> choice = rules::flipChoiceFor(controlId)) {
        choice_ = *choice;
        done(0);
    }
}

void MeridianFlipDialog::keyPressEvent(QKeyEvent* event) {
    // Enter outside a button must not answer the question.
    if (isEnterKey(event)) {
        clickFocusedButton(this);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);  // Escape rejects: the choice stays cancel
}

FlipChoice runMeridianFlipDialog(QWidget* owner, int flipCase) {
    MeridianFlipDialog dialog(flipCase, owner);
    dialog.exec();
    return dialog.choice();
}

}  // namespace zr8::ui
