#pragma once
// Editing how the two encoders deliver their data. The dialog works on a copy
// of the model's published encoder configuration; Ok checks every number and
// hands the eight format bytes back to the model in one go, Cancel leaves the
// model alone. It sends nothing to the controller itself.

#include <QDialog>

#include "link/records.h"

class QCheckBox;
class QLineEdit;

namespace zr8 {
class AppModel;
}

namespace zr8::ui {

class EncoderFormatDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId : int {
        IdRaInvert = 100,
        IdRaGray = 101,
        IdRaBitsPerRev = 103,
        IdRaBitsForRevs = 104,
        IdRaLeadingBits = 105,
        IdDecInvert = 110,
        IdDecGray = 111,
        IdDecBitsPerRev = 113,
        IdDecBitsForRevs = 114,
        IdDecLeadingBits = 115,
        IdOk = 1,
        IdCancel = 2,
    };

    EncoderFormatDialog(const EncoderConfig& initial, QWidget* owner);

    // The edited record; meaningful after the dialog ended with 1.
    const EncoderConfig& edited() const { return edited_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct AxisControls {
        QCheckBox* invert;
        QCheckBox* gray;
        QLineEdit* bitsPerRev;
        QLineEdit* bitsForRevs;
        QLineEdit* leadingBits;
    };

    AxisControls buildAxis(const char* title, int left, int firstId);
    void onOk();

    EncoderConfig edited_;
    AxisControls ra_{};
    AxisControls dec_{};
};

// Runs the dialog over the model's published encoder configuration. After Ok
// the model holds the new format bytes and the result is 1; after Cancel,
// Escape or closing the result is 0 and the model is unchanged.
int runEncoderFormatDialog(QWidget* owner, AppModel& model);

}  // namespace zr8::ui
