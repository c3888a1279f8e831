#pragma once
// The main dialog: the program's only top-level window.
//
// Threads. Everything here runs on the user-interface thread except
// postUserMessage, which the model calls from the link's threads: it only
// queues an event for this object. The event is handed to the model's
// dispatch on the user-interface thread, which calls back one of the
// iMainDlgCallback operations. Secondary dialogs run modally over this one;
// their event loops keep delivering those events, so the status line and the
// positions keep updating while they are open.
//
// Every operator action aimed at the controller is one call on the link;
// nothing here waits for an answer.

#include <QDialog>
#include <QPushButton>

#include <array>

#include "app/main_dlg_callback.h"
#include "app/wm_user_sender.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSlider;

namespace zr8 {
class AppModel;
class iZR6Control;
class PortCatalogue;
}  // namespace zr8

namespace zr8::ui {

// A push-like check box that does not toggle itself: its state is whatever
// the dialog last set.
class LatchButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void nextCheckState() override {}
};

// The port list; it looks for newly attached devices each time it opens.
class PortListBox;

class DlgMain : public QDialog, public iMainDlgCallback, public iWMUserSender {
    Q_OBJECT
public:
    enum ControlId : int {
        IdAbout = 100,
        IdPortList = 110,
        IdBaud115200 = 111,
        IdConnect = 112,
        IdDisconnect = 113,
        IdStatusLine = 114,
        IdSecondStatus = 115,
        IdStop = 140,
        IdUp = 141,
        IdDown = 142,
        IdLeft = 143,
        IdRight = 144,
        IdSpeed = 145,
        IdEncoderFormat = 200,
        IdReadEncoders = 201,
        IdSetCalibration = 207,
        IdRaGearRatio = 300,
        IdRaMicrosteps = 301,
        IdRaReverseMotor = 302,
        IdRaBitsPerRev = 303,
        IdRaCountsPerRev = 304,
        IdRaReverseEncoder = 305,
        IdRaOffset = 306,
        IdDecGearRatio = 400,
        IdDecMicrosteps = 401,
        IdDecReverseMotor = 402,
        IdDecBitsPerRev = 403,
        IdDecCountsPerRev = 404,
        IdDecReverseEncoder = 405,
        IdDecOffset = 406,
        IdRaRaw = 503,
        IdRaArcsec = 504,
        IdRaDms = 505,
        IdDecRaw = 603,
        IdDecArcsec = 604,
        IdDecDms = 605,
        IdTrackOn = 810,
        IdTrackOff = 811,
        IdSaveSettings = 824,
    };

    // The controls that stay disabled until the first configuration arrives.
    static constexpr std::array<int, 18> kControlList = {
        IdStop,          IdUp,           IdDown,           IdLeft,           IdRight,
        IdSpeed,         IdRaReverseMotor, IdDecReverseMotor, IdRaReverseEncoder,
        IdDecReverseEncoder, IdRaOffset, IdDecOffset,      IdEncoderFormat,  IdReadEncoders,
        IdSetCalibration, IdTrackOn,     IdTrackOff,       IdSaveSettings,
    };

    static constexpr int kSpeedMax = 31;
    static constexpr int kSpeedStart = 10;

    // `link`, `model` and `ports` belong to start-up and outlive the dialog.
    DlgMain(iZR6Control& link, AppModel& model, PortCatalogue& ports, QWidget* parent = nullptr);
    ~DlgMain() override;

    // iMainDlgCallback
    void showStatus(int32_t statusCode) override;
    void showConfiguration(int32_t statusCode, int32_t extra) override;
    void askMeridianFlip(int32_t flipCase) override;
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void showPositions(const EncoderPositions& positions) override;

    // iWMUserSender: any thread.
    bool postUserMessage(int32_t code, int32_t argument) override;

protected:
    bool event(QEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Ends the dialog with 1 whatever is open over it: the secondary dialogs
    // are closed unanswered and nothing is sent to the link.
    void end();

    void buildControls();
    void buildAxisGroup(const char* title, int shift, int firstId);
    void fillPortList(int selectNumber);
    void onPortActivated(int index);
    void enableControls(bool enable);

    void onConnect();
    void onEncoderFormat();
    void onSetCalibration();
    void sendMotorReverse();
    void setTracking(bool on);
    void move(uint8_t direction);

    QWidget* control(int id) const;
    QCheckBox* checkBox(int id) const;
    QLineEdit* edit(int id) const;
    bool isChecked(int id) const;
    void setNumber(int id, const QString& text);

    iZR6Control& link_;
    AppModel& model_;
    PortCatalogue& ports_;

    PortListBox* portList_ = nullptr;
    QCheckBox* baud115200_ = nullptr;
    QLineEdit* statusLine_ = nullptr;
    QSlider* speed_ = nullptr;
    LatchButton* trackOn_ = nullptr;
    LatchButton* trackOff_ = nullptr;
    int selectedPort_ = 0;  // catalogue number of the last device chosen in the list
    bool ending_ = false;
};

}  // namespace zr8::ui
