// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Dialog geometry in dialog units, as the dialog templates give it. One
// horizontal unit is a quarter of the dialog font's average character width,
// one vertical unit an eighth of its height; the average width is taken the
// way the dialog manager of the templates' home system takes it, from the
// width of "A..Za..z".

#include <QFont>
#include <QRect>
#include <QSize>

class QLabel;
class QLineEdit;
class QWidget;

namespace zr8::ui {

// The dialogs' font: the desktop's general font at 8 points.
QFont dialogFont();

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int toPixelsX(int units) const;
    int toPixelsY(int units) const;
    QRect rect(int x, int y, int width, int height) const;
    QSize size(int width, int height) const;

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }

private:
    int baseX_;
    int baseY_;
};

// Gives `widget` its identifier as object name ("IDC_<id>") and its place.
void placeControl(QWidget* widget, const DialogUnits& units, int id, int x, int y, int width,
                  int height);
// The same for a control that nothing refers to by identifier.
void placeControl(QWidget* widget, const DialogUnits& units, int x, int y, int width, int height);

// A static text, top-aligned like the templates' labels, placed at (x, y).
QLabel* placeLabel(QWidget* parent, const DialogUnits& units, const char* text, Qt::Alignment align,
                   int x, int y, int width, int height);

// A read-only edit (see markReadOnly) showing `text` from its start, placed at (x, y).
QLineEdit* placeReadOnlyEdit(QWidget* parent, const DialogUnits& units, int id, int x, int y,
                             int width, int height, const char* text = "");

// Fixes a dialog's client size and places it at (x, y): relative to its
// owner's client area, or to the screen's work area when it has none.
void placeDialog(QWidget* dialog, const DialogUnits& units, int x, int y, int width, int height);

// A read-only edit shows the window's background, as such edits do in the
// templates' home system, so the operator can tell what is editable.
void markReadOnly(QWidget* edit);

// Object name of a control with identifier `id`.
QString controlName(int id);

}  // namespace zr8::ui
