// SPDX-License-Identifier: GPL-3.0-or-later
// The main dialog's rules without a widget: what each click sends, what each
// notification shows, and when the controls are usable.

#include "ui/rules/main_dialog_presenter.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "app/app_model.h"
#include "fake_view.h"
#include "link/status_codes.h"
#include "tests/support/recording_link.h"
#include "ui/rules/control_ids.h"

namespace zr8::rules {
namespace {

using namespace main_ids;
using Calls = std::vector<std::string>;

MountConfig sampleMount() {
    MountConfig m;
    m.raGearRatio = 270;
    m.decGearRatio = 180;
    m.raMicrostepResolution = 1728000;
    m.decMicrostepResolution = 1152000;
    m.reverseMotor = kReverseDec;
    m.motorOption = 9;
    return m;
}

EncoderConfig sampleEncoder() {
    EncoderConfig e;
    e.raBitsPerRev = 32;
    e.decBitsPerRev = 40;
    e.reverseEncoder = kReverseRa;
    e.raOffset = -1;
    e.decOffset = INT32_MIN;
    return e;
}

class MainDialogRules : public testing::Test {
protected:
    MainDialogRules() {
        model.setLink(&link);
        model.setCallback(&presenter);
        presenter.onInit();
    }
    ~MainDialogRules() override { model.setCallback(nullptr); }

    // As the link reports it; the model publishes it and calls the rules.
    void configure(const MountConfig& m = sampleMount(), const EncoderConfig& e = sampleEncoder()) {
        model.onConfiguration(StatusConnected, 1, m, e);
        model.dispatch(NotifyConfiguration, StatusConnected);
    }
    void report(const ConnectionInfo& c) {
        model.onConnection(c);
        model.dispatch(NotifyConnection, 0);
    }
    bool allEnabled(bool enabled) const {
        for (int id : kControlList) {
            if (view.fields.isEnabled(id) != enabled) return false;
        }
        return true;
    }

    test::RecordingLink link;
    AppModel model;
    test::FakeView view;
    MainDialogPresenter presenter{view, link, model};
    test::FakeControls& fields = view.fields;
};

TEST_F(MainDialogRules, EveryControlSendsItsRequest) {
    configure();  // Dec motor reversed, motor option 9
    view.port = 5;
    fields.positions[IdSpeed] = 17;
    fields.checks[IdBaud115200] = true;
    fields.checks[IdRaReverseMotor] = true;  // as the click left it
    struct Case {
        int id;
        const char* sent;  // "": nothing
    };
    // Calibration as the configuration shows it: RA reversed, offsets as words.
    const Case cases[] = {
        {IdConnect, "connect 5 115200"},
        {IdDisconnect, "disconnect"},
        {IdUp, "manualMove 0 17"},
        {IdDown, "manualMove 1 17"},
        {IdRight, "manualMove 2 17"},
        {IdLeft, "manualMove 3 17"},
        {IdStop, "stopMotion 4"},
        {IdTrackOn, "setTracking 1"},
        {IdTrackOff, "setTracking 0"},
        {IdReadEncoders, "readEncoders 0"},
        {IdSaveSettings, "storeSettings"},
        {IdRaReverseMotor, "setMotorReverse 3 9"},
        {IdSetCalibration, "setEncoderCalibration 1 -1 -2147483648"},
        {IdAbout, ""},
    };
    for (const Case& c : cases) {
        link.calls.clear();
        EXPECT_TRUE(presenter.onCommand(c.id)) << c.id;
        EXPECT_EQ(link.calls, *c.sent ? Calls{c.sent} : Calls{}) << c.id;
    }
    EXPECT_EQ(view.aboutRuns, 1);
    EXPECT_FALSE(fields.isChecked(IdTrackOn));  // the last tracking request was "off"
    EXPECT_TRUE(fields.isChecked(IdTrackOff));
    // Ok, Cancel (Escape) and the display fields are not commands.
    link.calls.clear();
    for (int id : {1, 2, int{IdStatusLine}, int{IdRaOffset}, 999})
        EXPECT_FALSE(presenter.onCommand(id)) << id;
    EXPECT_EQ(link.calls, Calls{});
}

TEST_F(MainDialogRules, OffsetsTakeEitherSpellingOfAWordAndRefuseTheRest) {
    configure();
    struct Case {
        const char* typed;
        const char* sent;  // nullptr: refused
    };
    const Case cases[] = {
        {"4294967295", "-1"},          {"-1", "-1"},     {"-2147483648", "-2147483648"},
        {"2147483648", "-2147483648"}, {" +12 ", "12"},  {"4294967296", nullptr},
        {"-2147483649", nullptr},      {"12x", nullptr}, {"", nullptr},
    };
    for (int field : {IdRaOffset, IdDecOffset}) {
        for (const Case& c : cases) {
            fields.texts[IdRaOffset] = fields.texts[IdDecOffset] = "7";
            fields.texts[field] = c.typed;
            link.calls.clear();
            view.refusals.clear();
            presenter.onCommand(IdSetCalibration);
            if (c.sent != nullptr) {
                const std::string sent = c.sent;
                EXPECT_EQ(link.calls, Calls{"setEncoderCalibration 1 " +
                                            (field == IdRaOffset ? sent + " 7" : "7 " + sent)})
                    << c.typed;
                continue;
            }
            EXPECT_EQ(link.calls, Calls{}) << c.typed;
            ASSERT_EQ(view.refusals.size(), 1u) << c.typed;
            EXPECT_EQ(view.refusals[0].controlId, field);
            EXPECT_EQ(view.refusals[0].message,
                      std::string(field == IdRaOffset ? "RA" : "Dec") +
                          " encoder offset must be a whole number from -2147483648 to "
                          "4294967295.\nNothing has been sent.");
        }
    }
}

TEST_F(MainDialogRules, ConfigurationFillsTheFieldsAndEnablesTheControlsForGood) {
    EXPECT_TRUE(allEnabled(false));
    EXPECT_TRUE(fields.isChecked(IdTrackOff));
    EXPECT_FALSE(fields.isChecked(IdTrackOn));
    configure();
    EXPECT_TRUE(allEnabled(true));
    const std::map<int, std::string> shown = {
        {IdStatusLine, "Connection established."},
        {IdRaGearRatio, "270"},
        {IdDecGearRatio, "180"},
        {IdRaMicrosteps, "1728000"},
        {IdDecMicrosteps, "1152000"},
        {IdRaBitsPerRev, "32"},
        {IdRaCountsPerRev, "4294967296"},
        {IdDecBitsPerRev, "40"},
        {IdDecCountsPerRev, "1099511627776"},
        {IdRaOffset, "4294967295"},
        {IdDecOffset, "2147483648"},
    };
    EXPECT_EQ(fields.texts, shown);
    const std::map<int, bool> checked = {
        {IdTrackOn, false},        {IdTrackOff, true},         {IdRaReverseMotor, false},
        {IdDecReverseMotor, true}, {IdRaReverseEncoder, true}, {IdDecReverseEncoder, false},
    };
    EXPECT_EQ(fields.checks, checked);
    // Neither a closed nor a lost nor a failed connection disables anything.
    presenter.showStatus(StatusConnectionClosed);
    presenter.showStatus(StatusConnectionLost);
    report(ConnectionInfo{});
    EXPECT_TRUE(allEnabled(true));
    EXPECT_EQ(link.calls, Calls{});  // showing the boxes is not clicking them
}

TEST_F(MainDialogRules, FormatOkIsStoredInTheModelShownAndSent) {
    configure();
    view.formatAnswer = std::nullopt;  // Cancel
    presenter.onCommand(IdEncoderFormat);
    EXPECT_EQ(view.formatShown, model.encoderConfig());
    EXPECT_EQ(link.calls, Calls{});

    view.formatAnswer = WireFormat{3, 12, 64, 0, 2, 10, 63, 4};
    presenter.onCommand(IdEncoderFormat);
    EXPECT_EQ(formatInWireOrder(model.encoderConfig()), *view.formatAnswer);
    EXPECT_EQ(model.encoderConfig().raOffset, -1);  // only the format bytes change
    EXPECT_EQ(link.calls, Calls{"setEncoderFormat 3 12 64 0 2 10 63 4"});
    EXPECT_EQ(fields.text(IdRaBitsPerRev), "64");
    EXPECT_EQ(fields.text(IdRaCountsPerRev), "2^64");
    EXPECT_EQ(fields.text(IdDecCountsPerRev), "9223372036854775808");
}

TEST_F(MainDialogRules, StatusLineAndSecondFieldFollowTheConnection) {
    ConnectionInfo simulated;
    simulated.state = LineState::Open;
    simulated.simulated = true;
    simulated.baudRate = 9600;
    std::snprintf(simulated.device, sizeof simulated.device, "Simulated ZR8 (built in)");
    ConnectionInfo real;
    real.state = LineState::Open;
    real.baudRate = 115200;
    std::snprintf(real.device, sizeof real.device, "/dev/ttyUSB0");
    ConnectionInfo failed;
    failed.state = LineState::OpenFailed;
    std::snprintf(failed.device, sizeof failed.device, "/dev/ttyUSB1");
    std::snprintf(failed.reason, sizeof failed.reason, "Permission denied");
    std::snprintf(failed.remedy, sizeof failed.remedy, "Join the dialout group.");
    ConnectionInfo noRemedy = failed;
    std::snprintf(noRemedy.reason, sizeof noRemedy.reason, "Input/output error");
    noRemedy.remedy[0] = '\0';
    struct Case {
        ConnectionInfo connection;
        int32_t status;
        const char* line;
        const char* tip;
        const char* second;
    };
    const Case cases[] = {
        {simulated, StatusConnecting, "Connecting...", "", "Simulated ZR8 - not a real controller"},
        {ConnectionInfo{}, StatusConnectionLost, "Error: Connection to the device lost.", "", ""},
        {real, 0x10000 + StatusReady, "Ready", "", "/dev/ttyUSB0, 115200 baud"},
        {real, kStatusCodeCount, "Ready", "", "/dev/ttyUSB0, 115200 baud"},  // no text
        {failed, StatusCannotOpenPort, "Error: Cannot open port.",
         "/dev/ttyUSB1: Permission denied - Join the dialout group.", ""},
        {noRemedy, StatusCannotOpenPort, "Error: Cannot open port.",
         "/dev/ttyUSB1: Input/output error", ""},
        {ConnectionInfo{}, StatusOpeningPort, "Opening port, please wait...", "", ""},
    };
    for (const Case& c : cases) {
        report(c.connection);
        model.dispatch(NotifyStatus, c.status);
        EXPECT_EQ(fields.text(IdStatusLine), c.line) << c.status;
        EXPECT_EQ(fields.tip(IdStatusLine), c.tip) << c.status;
        EXPECT_EQ(fields.text(IdSecondStatus), c.second) << c.status;
    }
}

TEST_F(MainDialogRules, FlipQuestionSendsTheOperatorsChoice) {
    for (FlipChoice choice : {FlipChoiceWithFlip, FlipChoiceWithoutFlip, FlipChoiceCancel}) {
        view.flipAnswer = choice;
        link.calls.clear();
        model.dispatch(NotifyMeridianFlip, 3);
        EXPECT_EQ(link.calls, Calls{"meridianFlipChoice " + std::to_string(choice)});
    }
    view.flipAnswer = std::nullopt;  // closed with the program
    link.calls.clear();
    model.dispatch(NotifyMeridianFlip, 2);
    EXPECT_EQ(link.calls, Calls{});
    EXPECT_EQ(view.flipCases, (std::vector<int>{3, 3, 3, 2}));
}

}  // namespace
}  // namespace zr8::rules
