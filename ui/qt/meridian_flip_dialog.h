#pragma once
// The operator's answer to the link's meridian flip question: flip, do not
// flip, or cancel the positioning.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace zr8::ui {

enum MeridianFlipChoice : int {
    ChoiceCancel = 0,
    ChoiceWithoutFlip = 1,
    ChoiceWithFlip = 2,
};

class MeridianFlipDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        IdPresentState = 200,
        IdTargetState = 201,
        IdOptional = 202,
        IdCancelPositioning = 210,
        IdWithFlip = 211,
        IdWithoutFlip = 212,
    };

    MeridianFlipDialog(int flipCase, QWidget* owner);

    int choice() const { return choice_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void choose(int choice);

    int choice_ = ChoiceCancel;
};

// Runs the dialog modally over `owner` and returns the choice; closing the
// window or Escape counts as cancel.
int runMeridianFlipDialog(QWidget* owner, int flipCase);

}  // namespace zr8::ui
