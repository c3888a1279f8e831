// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/main_dialog_presenter.h"

#include <algorithm>

#include "app/app_model.h"
#include "link/status_codes.h"
#include "link/zr6_control.h"
#include "ui/rules/main_dialog_commands.h"
#include "ui/rules/main_dialog_fields.h"
#include "ui/rules/typed_values.h"

namespace zr8::rules {

using namespace main_ids;

MainDialogPresenter::MainDialogPresenter(iMainDialogView& view, iZR6Control& link, AppModel& model)
    : view_(view), link_(link), model_(model) {}

void MainDialogPresenter::onInit() {
    controls().setChecked(IdTrackOn, false);
    controls().setChecked(IdTrackOff, true);
    enableControls(false);
}

void MainDialogPresenter::enableControls(bool enable) {
    for (int id : kControlList) controls().setEnabled(id, enable);
}

bool MainDialogPresenter::onCommand(int controlId) {
    const ControlCommand* command = commandFor(controlId);
    if (command == nullptr) return false;
    if (!command->request) {
        view_.runAbout();
        return true;
    }
    switch (*command->request) {
    case LinkRequest::Connect:
        model_.connect(view_.selectedPortNumber(),
                       controls().isChecked(IdBaud115200) ? 115200 : 9600);
        break;
    case LinkRequest::Disconnect:
        link_.disconnect();
        break;
    case LinkRequest::StoreSettings:
        link_.storeSettings();
        break;
    case LinkRequest::ManualMove:
        link_.manualMove(command->fixed, static_cast<uint8_t>(controls().position(IdSpeed)));
        break;
    case LinkRequest::Stop:
        link_.stopMotion(command->fixed);
        break;
    case LinkRequest::Tracking:
        setTracking(command->fixed);
        break;
    case LinkRequest::MotorReverse:
        sendMotorReverse();
        break;
    case LinkRequest::EncoderFormat:
        editFormat();
        break;
    case LinkRequest::ReadEncoders:
        link_.readEncoders(command->fixed);
        break;
    case LinkRequest::EncoderCalibration:
        sendCalibration();
        break;
    default:
        return false;
    }
    return true;
}

// The two buttons do not toggle themselves: they show the last request,
// not what the controller confirmed.
void MainDialogPresenter::setTracking(uint8_t on) {
    controls().setChecked(IdTrackOn, on == kTrackingOn);
    controls().setChecked(IdTrackOff, on != kTrackingOn);
    link_.setTracking(on);
}

// Reverse bits from the RA and the Dec box of one row.
uint8_t MainDialogPresenter::reverseBits(int raBox, int decBox) {
    return static_cast<uint8_t>((controls().isChecked(raBox) ? kReverseRa : 0) |
                                (controls().isChecked(decBox) ? kReverseDec : 0));
}

void MainDialogPresenter::sendMotorReverse() {
    link_.setMotorReverse(reverseBits(IdRaReverseMotor, IdDecReverseMotor),
                          model_.mountConfig().motorOption);
}

void MainDialogPresenter::sendCalibration() {
    Refusal refusal;
    const std::optional<int64_t> ra =
        readTyped(kRaOffsetField, controls().text(IdRaOffset), kNothingSent, refusal);
    const std::optional<int64_t> dec =
        ra ? readTyped(kDecOffsetField, controls().text(IdDecOffset), kNothingSent, refusal)
           : std::nullopt;
    if (!ra || !dec) {
        view_.refuse(refusal);
        return;
    }
    link_.setEncoderCalibration(reverseBits(IdRaReverseEncoder, IdDecReverseEncoder), wordOf(*ra),
                                wordOf(*dec));
}

void MainDialogPresenter::editFormat() {
    const std::optional<WireFormat> format = view_.runFormatDialog(model_.encoderConfig());
    if (!format) return;
    EncoderConfig edited = model_.encoderConfig();
    storeWireFormat(edited, format->data());
    model_.storeFormatBytes(edited);
    showResolution(edited.raBitsPerRev, edited.decBitsPerRev, controls());
    uint8_t bytes[8];
    std::copy(format->begin(), format->end(), bytes);
    link_.setEncoderFormat(bytes);
}

void MainDialogPresenter::showStatus(int32_t statusCode) {
    const char* text = statusLineText(statusCode);
    if (text == nullptr) return;
    controls().setText(IdStatusLine, text);
    // Why a port would not open, and what to do about it.
    const bool openFailed = static_cast<uint16_t>(statusCode) == StatusCannotOpenPort;
    controls().setToolTip(IdStatusLine, openFailed ? openFailureText(model_.connection()) : "");
}

void MainDialogPresenter::showConfiguration(int32_t statusCode, int32_t /*extra*/) {
    enableControls(true);
    showStatus(statusCode);
    showConfigurationFields(model_.mountConfig(), model_.encoderConfig(), controls());
}

void MainDialogPresenter::askMeridianFlip(int32_t flipCase) {
    // Every answer is sent, cancel included; none when the program is ending.
    if (const std::optional<FlipChoice> choice = view_.runFlipDialog(flipCase)) {
        link_.meridianFlipChoice(*choice);
    }
}

void MainDialogPresenter::showPositions(const EncoderPositions& positions) {
    showPositionFields(positions, controls());
}

void MainDialogPresenter::showConnection(const ConnectionInfo& connection) {
    controls().setText(IdSecondStatus, connectionText(connection));
}

}  // namespace zr8::rules
