// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/widget_controls.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "ui/qt/dialog_units.h"

namespace zr8::ui {

namespace {
QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

QWidget* WidgetControls::control(int id) const {
    return dialog_.findChild<QWidget*>(controlName(id), Qt::FindDirectChildrenOnly);
}

void WidgetControls::setText(int id, std::string_view text) {
    QWidget* w = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(fromUtf8(text));
        edit->setCursorPosition(0);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(fromUtf8(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(fromUtf8(text));
    }
}

void WidgetControls::setChecked(int id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(control(id))) button->setChecked(checked);
}

void WidgetControls::setEnabled(int id, bool enabled) {
    if (QWidget* w = control(id)) w->setEnabled(enabled);
}

void WidgetControls::setToolTip(int id, std::string_view text) {
    if (QWidget* w = control(id)) w->setToolTip(fromUtf8(text));
}

std::string WidgetControls::text(int id) const {
    if (auto* edit = qobject_cast<QLineEdit*>(control(id))) return edit->text().toStdString();
    return {};
}

bool WidgetControls::isChecked(int id) const {
    QWidget* w = control(id);
    if (auto* box = qobject_cast<QCheckBox*>(w)) return box->checkState() == Qt::Checked;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->isChecked();
    return false;
}

int WidgetControls::position(int id) const {
    if (auto* slider = qobject_cast<QAbstractSlider*>(control(id))) return slider->value();
    return 0;
}

void showRefusal(QWidget* dialog, const WidgetControls& controls, const rules::Refusal& refusal) {
    QMessageBox::warning(dialog, dialog->windowTitle(), QString::fromStdString(refusal.message));
    if (auto* edit = qobject_cast<QLineEdit*>(controls.control(refusal.controlId))) {
        edit->setFocus();
        edit->selectAll();
    }
}

}  // namespace zr8::ui
