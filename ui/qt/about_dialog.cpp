// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/about_dialog.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "ui/qt/dialog_keys.h"
#include "ui/qt/dialog_units.h"
#include "ui/rules/dialog_texts.h"

namespace zr8::ui {

LinkLabel::LinkLabel(const QString& address, QWidget* parent) : QLabel(address, parent) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Link));
    setPalette(p);
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit activated();
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

// The second press of a double-click arrives as a double-click event: it
// must not open the address a second time.
void LinkLabel::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QString::fromLatin1(rules::kAboutCaption));
    setFont(dialogFont());
    const DialogUnits du(font());
    placeDialog(this, du, 32, 32, 192, 105);

    auto* heading = new QLabel(QString::fromLatin1(rules::kAboutHeading), this);
    QFont bold = font();
    bold.setPixelSize(16);
    bold.setBold(true);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeControl(heading, du, IdHeading, 8, 8, 180, 14);

    auto* purpose = new QLabel(QString::fromLatin1(rules::kAboutPurpose), this);
    purpose->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    purpose->setWordWrap(true);
    placeControl(purpose, du, IdPurpose, 8, 24, 180, 33);

    auto* credit = new QLabel(QString::fromLatin1(rules::kAboutCredit), this);
    credit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeControl(credit, du, IdCredit, 8, 58, 180, 10);

    auto* link = new LinkLabel(QString::fromLatin1(rules::kMakerWebAddress), this);
    placeControl(link, du, IdLink, 10, 70, 160, 10);
    connect(link, &LinkLabel::activated, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(rules::kMakerWebAddress))); });

    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    placeControl(exit, du, IdExit, 10, 85, 60, 16);
    connect(exit, &QPushButton::clicked, this, [this] { done(1); });
    clearDefaultButtons(this);
}

// Exit, Enter, Escape and the close command all end the box the same way.
void AboutDialog::closeEvent(QCloseEvent* event) {
    done(1);
    event->accept();
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        done(1);
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

int runAboutDialog(QWidget* owner) {
    AboutDialog dialog(owner);
    return dialog.exec();
}

}  // namespace zr8::ui
