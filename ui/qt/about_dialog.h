// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The About box in Qt: what the tool is, a credit line and the maker's web
// address as a link that opens in the desktop's browser. Its texts are the
// rules' (rules/dialog_texts.h).

#include <QDialog>
#include <QLabel>

#include "ui/rules/control_ids.h"

namespace zr8::ui {

// A label that behaves like a link: underlined, in the palette's link
// colour, with the hand cursor; one press opens the address once.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& address, QWidget* parent);

signals:
    void activated();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    using enum rules::about_ids::AboutControl;

    explicit AboutDialog(QWidget* owner);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Runs the box modally over `owner`; the result is always 1.
int runAboutDialog(QWidget* owner);

}  // namespace zr8::ui
