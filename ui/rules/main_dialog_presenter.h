// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main dialog's rules over a view (iMainDialogView): what each
// notification shows, when the controls are enabled, and what each click
// sends (main_dialog_commands.h). The front end builds the controls, hands
// every click to onCommand and every notification reaches this object
// through the model, as its iMainDlgCallback.
//
// Enabling: the controls of kControlList are disabled from onInit until the
// first configuration arrives, and enabled from then on for good; nothing
// (disconnect, a lost port, an error) disables them again, and the link
// answers what it cannot serve with a status.
//
// Threads: user-interface thread only. The link's operations only queue a
// request; nothing here waits for an answer.

#include <cstdint>

#include "app/main_dlg_callback.h"
#include "ui/rules/main_dialog_view.h"

namespace zr8 {
class AppModel;
class iZR6Control;
}  // namespace zr8

namespace zr8::rules {

class MainDialogPresenter final : public iMainDlgCallback {
public:
    // All three belong to the caller and outlive the presenter. Nothing is
    // asked of the view until onInit.
    MainDialogPresenter(iMainDialogView& view, iZR6Control& link, AppModel& model);

    // Once the controls exist: the starting states of the controls.
    void onInit();

    // A click on `controlId`. False for a control that sends nothing and is
    // not handled (Ok and Cancel included, so Escape does not close).
    bool onCommand(int controlId);

    // iMainDlgCallback
    void showStatus(int32_t statusCode) override;
    void showConfiguration(int32_t statusCode, int32_t extra) override;
    void askMeridianFlip(int32_t flipCase) override;
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void showPositions(const EncoderPositions& positions) override;
    void showConnection(const ConnectionInfo& connection) override;

private:
    iDialogControls& controls() { return view_.controls(); }
    void enableControls(bool enable);
    uint8_t reverseBits(int raBox, int decBox);
    void setTracking(uint8_t on);
    void sendMotorReverse();
    void sendCalibration();
    void editFormat();

    iMainDialogView& view_;
    iZR6Control& link_;
    AppModel& model_;
};

}  // namespace zr8::rules
