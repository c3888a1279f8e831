#include "ui/meridian_flip_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialog_keys.h"
#include "ui/dialog_units.h"

namespace zr8::ui {

namespace {

constexpr const char* kEastLooksWest = "East side: Scope looks to west.";
constexpr const char* kWestLooksEast = "West side: Scope looks to east.";
constexpr const char* kFlipRecommended = "Meridian flip recommended.";
constexpr const char* kFlipNeeded = "Meridian flip needed.";

struct FlipTexts {
    const char* present;
    const char* target;
    const char* optional;
    bool withoutFlipAllowed;
};

FlipTexts textsFor(int flipCase) {
    switch (flipCase) {
        case 2: return {kWestLooksEast, kEastLooksWest, kFlipRecommended, true};
        case 3: return {kEastLooksWest, kWestLooksEast, kFlipRecommended, true};
        case 4: return {kWestLooksEast, kEastLooksWest, kFlipNeeded, false};
        case 5: return {kEastLooksWest, kWestLooksEast, kFlipNeeded, false};
        // The side of the pier is unknown: assume the usual side, insist on the flip.
        default: return {kEastLooksWest, kEastLooksWest, kFlipNeeded, false};
    }
}

}  // namespace

MeridianFlipDialog::MeridianFlipDialog(int flipCase, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("MeridianFlipDialog"));
    setWindowTitle(QStringLiteral("Meridian flip before positioning"));
    setFont(dialogFont());
    const DialogUnits du(font());
    placeDialog(this, du, 32, 32, 192, 120);

    const FlipTexts texts = textsFor(flipCase);
    placeLabel(this, du, "Positioning with Meridian flip", Qt::AlignHCenter, 4, 4, 184, 10);
    placeLabel(this, du, "Present state:", Qt::AlignRight, 4, 18, 50, 10);
    placeLabel(this, du, "Target state:", Qt::AlignRight, 4, 32, 50, 10);
    placeLabel(this, du, "Optional:", Qt::AlignRight, 4, 46, 50, 10);
    // The edits take the focus first, as they do in the template, so Enter
    // lands on no button and does nothing.
    placeReadOnlyEdit(this, du, IdPresentState, 58, 17, 120, 12, texts.present);
    placeReadOnlyEdit(this, du, IdTargetState, 58, 31, 120, 12, texts.target);
    placeReadOnlyEdit(this, du, IdOptional, 58, 45, 120, 12, texts.optional);

    auto button = [&](int id, const char* text, int y, int result) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        placeControl(b, du, id, 4, y, 120, 16);
        connect(b, &QPushButton::clicked, this, [this, result] { choose(result); });
        return b;
    };
    button(IdWithFlip, "Positioning with Meridian flip", 60, ChoiceWithFlip);
    QPushButton* without =
        button(IdWithoutFlip, "Positioning without Meridian flip", 80, ChoiceWithoutFlip);
    button(IdCancelPositioning, "Cancel positioning", 100, ChoiceCancel);
    without->setEnabled(texts.withoutFlipAllowed);
    clearDefaultButtons(this);
}

void MeridianFlipDialog::choose(int choice) {
    choice_ = choice;
    done(0);
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

int runMeridianFlipDialog(QWidget* owner, int flipCase) {
    MeridianFlipDialog dialog(flipCase, owner);
    dialog.exec();
    return dialog.choice();
}

}  // namespace zr8::ui
