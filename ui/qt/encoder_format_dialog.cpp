// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/encoder_format_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "ui/qt/dialog_keys.h"
#include "ui/qt/dialog_units.h"
#include "ui/rules/encoder_format_form.h"

namespace zr8::ui {

EncoderFormatDialog::EncoderFormatDialog(const EncoderConfig& initial, QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("EncoderFormatDialog"));
    setWindowTitle(QStringLiteral("Encoder setup"));
    setFont(dialogFont());
    const DialogUnits du(font());
    placeDialog(this, du, 32, 32, 248, 142);

    buildAxis("RA", 0, IdRaInvert);
    buildAxis("Dec", 122, IdDecInvert);

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    placeControl(ok, du, IdOk, 10, 122, 60, 16);
    connect(ok, &QPushButton::clicked, this, &EncoderFormatDialog::onOk);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    placeControl(cancel, du, IdCancel, 80, 122, 60, 16);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    clearDefaultButtons(this);

    rules::showEncoderFormat(initial, controls_);
}

void EncoderFormatDialog::buildAxis(const char* title, int left, int firstId) {
    const DialogUnits du(font());
    auto* group = new QGroupBox(QString::fromLatin1(title), this);
    placeControl(group, du, left + 4, 4, 118, 115);
    placeControl(new QCheckBox(QStringLiteral("Invert data"), this), du, firstId, left + 16, 15, 80,
                 12);
    placeControl(new QCheckBox(QStringLiteral("Gray format"), this), du, firstId + 1, left + 16, 28,
                 80, 12);
    placeLabel(this, du, "Bits per one revolution:", Qt::AlignRight, left + 8, 56, 80, 12);
    placeLabel(this, du, "Bits for revolutions:", Qt::AlignRight, left + 8, 71, 80, 12);
    placeLabel(this, du, "Leading bits:", Qt::AlignRight, left + 8, 86, 80, 12);
    placeControl(new QLineEdit(this), du, firstId + 3, left + 90, 55, 24, 12);
    placeControl(new QLineEdit(this), du, firstId + 4, left + 90, 70, 24, 12);
    placeControl(new QLineEdit(this), du, firstId + 5, left + 90, 85, 24, 12);
}

// Enter means Ok unless a button has the focus; Escape cancels.
void EncoderFormatDialog::keyPressEvent(QKeyEvent* event) {
    if (isEnterKey(event)) {
        if (!clickFocusedButton(this)) onOk();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void EncoderFormatDialog::onOk() {
    rules::Refusal refusal;
    std::optional<WireFormat> format = rules::readEncoderFormat(controls_, refusal);
    if (!format) {
        showRefusal(this, controls_, refusal);  // the dialog stays open
        return;
    }
    result_ = format;
    done(1);
}

std::optional<WireFormat> runEncoderFormatDialog(QWidget* owner, const EncoderConfig& current) {
    EncoderFormatDialog dialog(current, owner);
    dialog.exec();
    return dialog.result();
}

}  // namespace zr8::ui
