// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>
#include <QString>
#include <QWidget>

namespace zr8::ui {

namespace {
// Rounds a * b / c to nearest, as the dialog manager does.
int mulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}
}  // namespace

QFont dialogFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(8);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width52 = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX_ = (width52 / 26 + 1) / 2;
    baseY_ = metrics.height();
    if (baseX_ < 1) baseX_ = 1;
    if (baseY_ < 1) baseY_ = 1;
}

int DialogUnits::toPixelsX(int units) const { return mulDiv(units, baseX_, 4); }
int DialogUnits::toPixelsY(int units) const { return mulDiv(units, baseY_, 8); }

QRect DialogUnits::rect(int x, int y, int width, int height) const {
    // Corners are mapped, not sizes, so neighbouring controls meet exactly.
    const int left = toPixelsX(x);
    const int top = toPixelsY(y);
    return QRect(left, top, toPixelsX(x + width) - left, toPixelsY(y + height) - top);
}

QSize DialogUnits::size(int width, int height) const {
    return QSize(toPixelsX(width), toPixelsY(height));
}

void placeDialog(QWidget* dialog, const DialogUnits& units, int x, int y, int width, int height) {
    dialog->setFixedSize(units.size(width, height));
    const QPoint offset(units.toPixelsX(x), units.toPixelsY(y));
    if (QWidget* owner = dialog->parentWidget()) {
        dialog->move(owner->mapToGlobal(offset));
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        dialog->move(screen->availableGeometry().topLeft() + offset);
    }
}

void markReadOnly(QWidget* edit) {
    if (auto* lineEdit = qobject_cast<QLineEdit*>(edit)) lineEdit->setReadOnly(true);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
}

QString controlName(int id) { return QStringLiteral("IDC_%1").arg(id); }

void placeControl(QWidget* widget, const DialogUnits& units, int id, int x, int y, int width,
                  int height) {
    widget->setObjectName(controlName(id));
    placeControl(widget, units, x, y, width, height);
}

void placeControl(QWidget* widget, const DialogUnits& units, int x, int y, int width, int height) {
    widget->setGeometry(units.rect(x, y, width, height));
}

QLabel* placeLabel(QWidget* parent, const DialogUnits& units, const char* text, Qt::Alignment align,
                   int x, int y, int width, int height) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setAlignment(align | Qt::AlignTop);
    placeControl(label, units, x, y, width, height);
    return label;
}

QLineEdit* placeReadOnlyEdit(QWidget* parent, const DialogUnits& units, int id, int x, int y,
                             int width, int height, const char* text) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), parent);
    markReadOnly(edit);
    edit->setCursorPosition(0);
    placeControl(edit, units, id, x, y, width, height);
    return edit;
}

}  // namespace zr8::ui
