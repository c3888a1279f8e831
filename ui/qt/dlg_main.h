// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main dialog in Qt: the program's only top-level window. It builds the
// controls and hands clicks and notifications to the rules
// (rules::MainDialogPresenter), which decide what is shown and sent.
//
// Threads. Everything here runs on the user-interface thread except
// postUserMessage, which the model calls from the link's threads: it only
// queues an event for this object. The event is handed to the model's
// dispatch on the user-interface thread, which calls back the presenter.
// Secondary dialogs run modally over this one; their event loops keep
// delivering those events, so the status line and the positions keep
// updating while they are open.

#include <QDialog>
#include <QPushButton>

#include <memory>

#include "app/wm_user_sender.h"
#include "ui/rules/control_ids.h"

namespace zr8 {
class AppModel;
class iMainDlgCallback;
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

class DlgMain : public QDialog, public iWMUserSender {
    Q_OBJECT
public:
    using enum rules::main_ids::MainControl;
    static constexpr const auto& kControlList = rules::main_ids::kControlList;

    // `link`, `model` and `ports` belong to start-up and outlive the dialog.
    DlgMain(iZR6Control& link, AppModel& model, PortCatalogue& ports, QWidget* parent = nullptr);
    ~DlgMain() override;

    // What the model calls back: the dialog's rules.
    iMainDlgCallback& callback();

    // iWMUserSender: any thread.
    bool postUserMessage(int32_t code, int32_t argument) override;

protected:
    bool event(QEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class View;  // what the rules see of this dialog, and the rules themselves

    // Ends the dialog with 1 whatever is open over it: the secondary dialogs
    // are closed unanswered and nothing is sent to the link.
    void end();

    void buildControls();
    void buildAxisGroup(const char* title, int shift, int firstId);
    void showPortList();
    void onPortActivated(int index);

    AppModel& model_;
    PortListBox* portBox_ = nullptr;
    std::unique_ptr<View> view_;
    bool ending_ = false;
};

}  // namespace zr8::ui
