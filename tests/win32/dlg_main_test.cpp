// SPDX-License-Identifier: GPL-3.0-or-later
// The native dialogs, made from their templates and driven by control
// identifier, over a link that records what they ask for.

#include "ui/win32/dlg_main.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app_model.h"
#include "platform/port_catalogue.h"
#include "tests/support/recording_link.h"
#include "ui/rules/control_ids.h"
#include "ui/rules/dialog_texts.h"
#include "ui/rules/main_dialog_fields.h"
#include "ui/rules/port_list.h"
#include "ui/win32/about_dialog.h"
#include "ui/win32/dialog_items.h"
#include "win32_harness.h"

namespace zr8::win32 {
namespace {

using namespace rules::main_ids;
using namespace win32test;
using Calls = std::vector<std::string>;

const char* kFormatCaption = "Encoder setup";
const char* kFlipCaption = "Meridian flip before positioning";

MountConfig configuredMount() {
    MountConfig m;
    m.raGearRatio = 270;
    m.decGearRatio = 180;
    m.raMicrostepResolution = 1728000;
    m.decMicrostepResolution = 1152000;
    m.reverseMotor = 2;  // Dec reversed
    m.motorOption = 9;
    return m;
}

EncoderConfig configuredEncoder() {
    EncoderConfig e;
    e.raFlags = 0xFF;  // bits the dialog does not show among them
    e.raLeadingBits = e.decLeadingBits = 12;
    e.raBitsPerRev = 25;
    e.decBitsPerRev = 40;
    e.raCountsPerRev = 1ull << 25;
    e.decCountsPerRev = 1ull << 40;
    e.reverseEncoder = 1;  // RA reversed
    e.raOffset = -1;       // shows as the unsigned word the controller means
    e.decOffset = 123456;
    return e;
}

class MainDialog : public ::testing::Test {
protected:
    MainDialog() {
        ports.addProvided("Simulated ZR8 (built in)", [](std::string&, std::string& error) {
            error = "not in this test";
            return false;
        });
        model.setLink(&link);
        dialog = std::make_unique<DlgMain>(::GetModuleHandleW(nullptr), link, model, ports);
        model.setCallback(&dialog->callback());
        model.setSink(dialog.get());
        window = dialog->create();
    }
    ~MainDialog() override {
        forgetDialogActions();
        model.setSink(nullptr);
        model.setCallback(nullptr);
        dialog.reset();
    }

    bool pump(const std::function<bool()>& done) { return pumpUntil(done, 5000, window); }

    void configure() {
        model.onConfiguration(3, 1, configuredMount(), configuredEncoder());
        ASSERT_TRUE(pump([&] { return enabled(window, IdStop); }));
    }

    int rowOf(const std::string& label) {
        return static_cast<int>(
            ::SendDlgItemMessageW(window, IdPortList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(wide(label).c_str())));
    }
    // As the operator's choice from the list does it.
    void choosePort(int row) {
        ::SendDlgItemMessageW(window, IdPortList, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IdPortList, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, IdPortList)));
    }

    test::RecordingLink link;
    AppModel model;
    PortCatalogue ports{[] {
        return std::vector<DetectedDevice>{
            DetectedDevice{.path = "COM3", .description = "USB Serial Port (COM3)"}};
    }};
    std::unique_ptr<DlgMain> dialog;
    HWND window = nullptr;
};

TEST_F(MainDialog, FreshStart) {
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), rules::mainDialogCaption());
    EXPECT_EQ(text(window, IdStatusLine), "");
    EXPECT_EQ(text(window, IdSecondStatus), "");
    EXPECT_FALSE(checked(window, IdBaud115200));
    EXPECT_EQ(::SendDlgItemMessageW(window, IdSpeed, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(::SendDlgItemMessageW(window, IdSpeed, TBM_GETRANGEMAX, 0, 0), 31);
    EXPECT_EQ(::SendDlgItemMessageW(window, IdSpeed, TBM_GETPOS, 0, 0), 10);
    EXPECT_FALSE(checked(window, IdTrackOn));
    EXPECT_TRUE(checked(window, IdTrackOff));
    for (int id : kControlList) EXPECT_FALSE(enabled(window, id)) << id;
    for (int id : {IdPortList, IdBaud115200, IdConnect, IdDisconnect, IdAbout, IdStatusLine}) {
        EXPECT_TRUE(enabled(window, id)) << id;
    }
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(window, IdPortList));
    // The device first, the simulator, then the way to type a name.
    EXPECT_EQ(text(window, IdPortList), "COM3 - USB Serial Port (COM3)");
    EXPECT_EQ(rowOf(rules::kOtherDeviceLabel), 2);
}

// The template as built: each control's kind and place in dialog units.
TEST_F(MainDialog, ControlsHaveTheirKindsAndRectangles) {
    struct Case {
        int id;
        const wchar_t* kind;
        int x, y, width, height;
    };
    const Case cases[] = {
        {IdPortList, L"ComboBox", 38, 5, 60, 0},  // the closed box's height is its own
        {IdBaud115200, L"Button", 105, 6, 80, 12},
        {IdConnect, L"Button", 200, 5, 50, 13},
        {IdStatusLine, L"Edit", 4, 20, 306, 12},
        {IdSecondStatus, L"Edit", 312, 20, 140, 12},
        {IdUp, L"Button", 40, 45, 23, 14},
        {IdLeft, L"Button", 23, 60, 16, 19},
        {IdSpeed, L"msctls_trackbar32", 6, 102, 92, 12},
        {IdTrackOff, L"Button", 52, 180, 42, 15},
        {IdSaveSettings, L"Button", 8, 200, 86, 25},
        {IdDecOffset, L"Edit", 338, 125, 86, 12},
        {IdDecDms, L"Edit", 336, 205, 70, 12},
    };
    for (const Case& c : cases) {
        HWND control = ::GetDlgItem(window, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        wchar_t kind[32] = {};
        ::GetClassNameW(control, kind, 32);
        EXPECT_EQ(std::wstring(kind), c.kind) << c.id;
        // Place and size are each mapped from units, as the dialog manager does.
        RECT expected{c.x, c.y, c.width, c.height};
        ::MapDialogRect(window, &expected);
        RECT actual;
        ::GetWindowRect(control, &actual);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left) << c.id;
        EXPECT_EQ(actual.top, expected.top) << c.id;
        EXPECT_EQ(actual.right - actual.left, expected.right) << c.id;
        if (c.height != 0) {
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom) << c.id;
        }
    }
    RECT client;
    ::GetClientRect(window, &client);
    RECT size{0, 0, 456, 236};
    ::MapDialogRect(window, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_NE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    // The tracking buttons are push-like boxes that do not check themselves.
    EXPECT_EQ(::GetWindowLongPtrW(::GetDlgItem(window, IdTrackOn), GWL_STYLE) &
                  (BS_TYPEMASK | BS_PUSHLIKE),
              BS_CHECKBOX | BS_PUSHLIKE);
}

TEST_F(MainDialog, ArrowBitmapsPointTheirWay) {
    // Black pixels in two rows (or columns) across each triangle: it is
    // narrow where it points.
    struct Case {
        int id;
        bool alongRows;
        bool pointsToStart;
    };
    for (const Case& c : {Case{IdUp, true, true}, Case{IdDown, true, false},
                          Case{IdLeft, false, true}, Case{IdRight, false, false}}) {
        auto bitmap = reinterpret_cast<HBITMAP>(
            ::SendDlgItemMessageW(window, c.id, BM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(bitmap, nullptr) << c.id;
        BITMAP info{};
        ::GetObjectW(bitmap, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, 16);
        EXPECT_EQ(info.bmHeight, 16);
        // Read as colours, whatever the bitmap's own format.
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = 16;
        format.bmiHeader.biHeight = -16;  // top row first
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        uint32_t pixels[16 * 16] = {};
        HDC dc = ::GetDC(nullptr);
        ASSERT_EQ(::GetDIBits(dc, bitmap, 0, 16, pixels, &format, DIB_RGB_COLORS), 16);
        ::ReleaseDC(nullptr, dc);
        auto black = [&](int column, int row) {
            return (pixels[row * 16 + column] & 0xFFFFFF) == 0;
        };
        int atStart = 0, atEnd = 0;  // black pixels 5 from the start and from the end
        for (int i = 0; i < 16; ++i) {
            atStart += c.alongRows ? black(i, 5) : black(5, i);
            atEnd += c.alongRows ? black(i, 10) : black(10, i);
        }
        EXPECT_GT(atStart + atEnd, 0) << c.id;
        EXPECT_EQ(atStart < atEnd, c.pointsToStart) << c.id;
    }
}

TEST_F(MainDialog, EveryCommandSendsItsRequest) {
    configure();
    ::SendDlgItemMessageW(window, IdSpeed, TBM_SETPOS, TRUE, 17);
    struct Case {
        int id;
        Calls sent;
    };
    const Case cases[] = {
        {IdUp, {"manualMove 0 17"}},
        {IdDown, {"manualMove 1 17"}},
        {IdRight, {"manualMove 2 17"}},
        {IdLeft, {"manualMove 3 17"}},
        {IdStop, {"stopMotion 4"}},
        {IdTrackOn, {"setTracking 1"}},
        {IdTrackOff, {"setTracking 0"}},
        {IdReadEncoders, {"readEncoders 0"}},
        {IdSaveSettings, {"storeSettings"}},
        {IdDisconnect, {"disconnect"}},
        // Reverse motor: Dec starts checked (bit 1); the option byte goes back unchanged.
        {IdRaReverseMotor, {"setMotorReverse 3 9"}},
        {IdDecReverseMotor, {"setMotorReverse 1 9"}},
        // Calibration as shown: RA reversed, offset 4294967295 (-1) and 123456.
        {IdSetCalibration, {"setEncoderCalibration 1 -1 123456"}},
    };
    for (const Case& c : cases) {
        link.calls.clear();
        click(window, c.id);
        EXPECT_EQ(link.calls, c.sent) << c.id;
    }
    // Tracking shows the last request, not a toggle.
    EXPECT_FALSE(checked(window, IdTrackOn));
    EXPECT_TRUE(checked(window, IdTrackOff));
    click(window, IdTrackOn);
    click(window, IdTrackOn);
    EXPECT_TRUE(checked(window, IdTrackOn));
    EXPECT_FALSE(checked(window, IdTrackOff));
}

TEST_F(MainDialog, ConnectSendsTheChosenPortAndBaudRate) {
    click(window, IdConnect);
    click(window, IdBaud115200);
    choosePort(rowOf("Simulated ZR8 (built in)"));
    click(window, IdConnect);
    const uint8_t com3 = ports.entries()[0].number;
    const uint8_t simulator = ports.entries()[1].number;
    EXPECT_EQ(link.calls, (Calls{"connect " + std::to_string(com3) + " 9600",
                                 "connect " + std::to_string(simulator) + " 115200"}));
}

TEST_F(MainDialog, OtherDeviceAsksForAPortNameThatJoinsTheList) {
    whenDialogOpens(rules::kDevicePathTitle, [](HWND prompt) {
        EXPECT_EQ(text(prompt, 1001), "COM");
        // Typing a whole name replaces the start.
        for (char c : std::string("COM7")) {
            ::SendDlgItemMessageW(prompt, 1001, WM_CHAR, static_cast<WPARAM>(c), 1);
        }
        EXPECT_EQ(text(prompt, 1001), "COM7");
        click(prompt, IDOK);
    });
    choosePort(rowOf(rules::kOtherDeviceLabel));
    EXPECT_EQ(pendingDialogActions(), 0u);
    EXPECT_EQ(text(window, IdPortList), "COM7");
    // Cancelled, or nothing typed after "COM": the choice stays.
    whenDialogOpens(rules::kDevicePathTitle, [](HWND prompt) { click(prompt, IDCANCEL); });
    choosePort(rowOf(rules::kOtherDeviceLabel));
    whenDialogOpens(rules::kDevicePathTitle, [](HWND prompt) { click(prompt, IDOK); });
    choosePort(rowOf(rules::kOtherDeviceLabel));
    EXPECT_EQ(text(window, IdPortList), "COM7");
    link.calls.clear();
    click(window, IdConnect);
    uint8_t com7 = 0;
    for (const PortEntry& entry : ports.entries()) {
        if (entry.devicePath == "COM7") com7 = entry.number;
    }
    EXPECT_EQ(link.calls, Calls{"connect " + std::to_string(com7) + " 9600"});
}

TEST_F(MainDialog, ConfigurationFillsTheFieldsAndEnablesTheControlsForGood) {
    configure();
    const std::pair<int, const char*> shown[] = {
        {IdRaGearRatio, "270"},      {IdDecGearRatio, "180"},
        {IdRaMicrosteps, "1728000"}, {IdDecMicrosteps, "1152000"},
        {IdRaBitsPerRev, "25"},      {IdRaCountsPerRev, "33554432"},
        {IdDecBitsPerRev, "40"},     {IdDecCountsPerRev, "1099511627776"},
        {IdRaOffset, "4294967295"},  {IdDecOffset, "123456"},
    };
    for (const auto& [id, value] : shown) EXPECT_EQ(text(window, id), value) << id;
    EXPECT_FALSE(checked(window, IdRaReverseMotor));
    EXPECT_TRUE(checked(window, IdDecReverseMotor));
    EXPECT_TRUE(checked(window, IdRaReverseEncoder));
    EXPECT_FALSE(checked(window, IdDecReverseEncoder));
    EXPECT_EQ(text(window, IdStatusLine), "Connection established.");
    EXPECT_EQ(link.calls, Calls{});  // setting a box is not a click
    model.onStatus(4);
    model.onStatus(18);
    ASSERT_TRUE(pump(
        [&] { return text(window, IdStatusLine) == "Error: Connection to the device lost."; }));
    for (int id : kControlList) EXPECT_TRUE(enabled(window, id)) << id;
}

TEST_F(MainDialog, StatusLineAndSecondFieldShowWhatTheLinkReports) {
    model.onStatus(1);
    ASSERT_TRUE(pump([&] { return text(window, IdStatusLine) == "Opening port, please wait..."; }));
    model.onStatus(20);  // no text: the line stays
    model.onStatus(2);
    ASSERT_TRUE(pump([&] { return text(window, IdStatusLine) == "Connecting..."; }));
    ConnectionInfo line;
    line.state = LineState::Open;
    line.simulated = true;
    model.onConnection(line);
    ASSERT_TRUE(
        pump([&] { return text(window, IdSecondStatus) == rules::kSimulatedControllerText; }));
    line.simulated = false;
    line.baudRate = 115200;
    std::snprintf(line.device, sizeof line.device, "COM5");
    model.onConnection(line);
    ASSERT_TRUE(pump([&] { return text(window, IdSecondStatus) == "COM5, 115200 baud"; }));
    model.onConnection(ConnectionInfo{});
    ASSERT_TRUE(pump([&] { return text(window, IdSecondStatus).empty(); }));
}

TEST_F(MainDialog, APortThatCannotBeOpenedSaysWhyInTheStatusLinesTooltip) {
    ConnectionInfo failed;
    failed.state = LineState::OpenFailed;
    failed.failure = PortErrorCode::Busy;
    std::snprintf(failed.device, sizeof failed.device, "COM3");
    std::snprintf(failed.reason, sizeof failed.reason, "Access is denied.");
    std::snprintf(failed.remedy, sizeof failed.remedy, "close the program that uses the port");
    model.onConnection(failed);
    model.onStatus(6);
    ASSERT_TRUE(pump([&] { return text(window, IdStatusLine) == "Error: Cannot open port."; }));
    // The status line's tool among the tooltips of the dialog.
    std::wstring tip;
    for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
        wchar_t kind[32] = {};
        ::GetClassNameW(w, kind, 32);
        if (std::wstring(kind) != TOOLTIPS_CLASSW || ::GetWindow(w, GW_OWNER) != window) continue;
        wchar_t buffer[512] = {};
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window;
        tool.uId = reinterpret_cast<UINT_PTR>(::GetDlgItem(window, IdStatusLine));
        tool.lpszText = buffer;
        ::SendMessageW(w, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
        tip = buffer;
    }
    EXPECT_EQ(tip, wide(rules::openFailureText(failed)));
    model.onStatus(4);  // any other status takes the reason away
    ASSERT_TRUE(pump([&] { return text(window, IdStatusLine) == "Connection closed"; }));
}

TEST_F(MainDialog, ReadingShowsRawArcsecondsAndDegrees) {
    EncoderPositions p;
    p.valid = 1;
    p.raRaw = 0xFFFFFFFFu;
    p.raArcsec = 45296;
    p.decRaw = 44583;
    p.decArcsec = 1295999;
    model.onPositions(p);
    ASSERT_TRUE(pump([&] { return !text(window, IdRaRaw).empty(); }));
    EXPECT_EQ(text(window, IdRaRaw), "4294967295");
    EXPECT_EQ(text(window, IdRaArcsec), "45296");
    EXPECT_EQ(text(window, IdRaDms), "+12:34:56");
    EXPECT_EQ(text(window, IdDecRaw), "44583");
    EXPECT_EQ(text(window, IdDecArcsec), "1295999");
    EXPECT_EQ(text(window, IdDecDms), "+359:59:59");
}

TEST_F(MainDialog, OffsetsThatDoNotFitAreRefusedAndNothingIsSent) {
    configure();
    const std::string caption = windowText(window);
    for (const char* typed : {"4294967296", "12x", "-2147483649"}) {
        setText(window, IdRaOffset, typed);
        std::string message;
        whenDialogOpens(caption, [&](HWND box) {
            message = windowText(::GetDlgItem(box, 0xFFFF));
            ::EndDialog(box, IDOK);
        });
        click(window, IdSetCalibration);
        EXPECT_NE(message.find("RA encoder offset"), std::string::npos) << typed;
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(window, IdRaOffset)) << typed;
    }
    EXPECT_EQ(link.calls, Calls{});
    for (const char* typed : {"-1", "-2147483648"}) {
        setText(window, IdRaOffset, typed);
        click(window, IdSetCalibration);
    }
    EXPECT_EQ(link.calls, (Calls{"setEncoderCalibration 1 -1 123456",
                                 "setEncoderCalibration 1 -2147483648 123456"}));
}

TEST_F(MainDialog, FormatDialogShowsTheRecordAndOkSendsWhatItShows) {
    configure();
    whenDialogOpens(kFormatCaption, [](HWND format) {
        EXPECT_TRUE(checked(format, 100));
        EXPECT_TRUE(checked(format, 101));
        EXPECT_FALSE(checked(format, 110));
        EXPECT_EQ(text(format, 103), "25");
        EXPECT_EQ(text(format, 113), "40");
        EXPECT_EQ(text(format, 115), "12");
        click(format, IDOK);
    });
    click(window, IdEncoderFormat);
    // Flags the dialog does not show are cleared; bits above 32 pass.
    EXPECT_EQ(link.calls, Calls{"setEncoderFormat 3 12 25 0 0 12 40 0"});
    whenDialogOpens(kFormatCaption, [](HWND format) {
        click(format, 100);
        click(format, 111);
        setText(format, 103, "31");
        click(format, IDOK);
    });
    click(window, IdEncoderFormat);
    EXPECT_EQ(link.calls.back(), "setEncoderFormat 2 12 31 0 2 12 40 0");
    EXPECT_EQ(text(window, IdRaBitsPerRev), "31");
    EXPECT_EQ(text(window, IdRaCountsPerRev), "2147483648");
}

TEST_F(MainDialog, FormatDialogCancelEscapeAndCloseChangeNothing) {
    configure();
    whenDialogOpens(kFormatCaption, [](HWND format) {
        setText(format, 103, "7");
        click(format, IDCANCEL);
    });
    click(window, IdEncoderFormat);
    whenDialogOpens(kFormatCaption, [](HWND format) {
        setText(format, 103, "7");
        postKey(::GetDlgItem(format, 103), VK_ESCAPE);
    });
    click(window, IdEncoderFormat);
    whenDialogOpens(kFormatCaption, [](HWND format) {
        setText(format, 103, "7");
        ::SendMessageW(format, WM_CLOSE, 0, 0);
    });
    click(window, IdEncoderFormat);
    EXPECT_EQ(link.calls, Calls{});
    EXPECT_EQ(text(window, IdRaBitsPerRev), "25");
    // Enter in an edit means Ok.
    whenDialogOpens(kFormatCaption, [](HWND format) {
        setText(format, 103, "7");
        ::SetFocus(::GetDlgItem(format, 103));
        postKey(::GetDlgItem(format, 103), VK_RETURN);
    });
    click(window, IdEncoderFormat);
    EXPECT_EQ(link.calls, Calls{"setEncoderFormat 3 12 7 0 0 12 40 0"});
}

TEST_F(MainDialog, FormatDialogRefusesNumbersItsBytesCannotHold) {
    configure();
    for (const char* typed : {"256", "-1", "x", ""}) {
        std::string message;
        whenDialogOpens(kFormatCaption, [&, typed](HWND format) {
            setText(format, 104, typed);
            whenDialogOpens(kFormatCaption, [&](HWND box) {  // the refusal, over the dialog
                message = windowText(::GetDlgItem(box, 0xFFFF));
                ::EndDialog(box, IDOK);
            });
            click(format, IDOK);
            // Still open, the field in hand.
            EXPECT_TRUE(::IsWindowVisible(format));
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(format, 104));
            click(format, IDCANCEL);
        });
        click(window, IdEncoderFormat);
        EXPECT_NE(message.find("RA bits for revolutions"), std::string::npos) << typed;
    }
    EXPECT_EQ(link.calls, Calls{});
}

TEST_F(MainDialog, MeridianFlipDialogForEveryCase) {
    struct Case {
        int flipCase;
        const char* present;
        const char* target;
        const char* optional;
        bool withoutAllowed;
        int button;
        int choice;
    };
    const char* east = "East side: Scope looks to west.";
    const char* west = "West side: Scope looks to east.";
    const Case cases[] = {
        {2, west, east, "Meridian flip recommended.", true, 212, 1},
        {3, east, west, "Meridian flip recommended.", true, 211, 2},
        {4, west, east, "Meridian flip needed.", false, 210, 0},
        {5, east, west, "Meridian flip needed.", false, 211, 2},
        {1, east, east, "Meridian flip needed.", false, 2, 0},
        {7, east, east, "Meridian flip needed.", false, 210, 0},
    };
    for (const Case& c : cases) {
        link.calls.clear();
        bool answered = false;
        whenDialogOpens(kFlipCaption, [&](HWND flip) {
            EXPECT_EQ(text(flip, 200), c.present) << c.flipCase;
            EXPECT_EQ(text(flip, 201), c.target) << c.flipCase;
            EXPECT_EQ(text(flip, 202), c.optional) << c.flipCase;
            EXPECT_EQ(enabled(flip, 212), c.withoutAllowed) << c.flipCase;
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(flip, 200));
            // Enter in the read-only edit answers nothing.
            postKey(::GetDlgItem(flip, 200), VK_RETURN);
            whenDialogOpens(kFlipCaption, [&](HWND same) {
                answered = true;
                if (c.button == 2) {
                    postKey(::GetDlgItem(same, 200), VK_ESCAPE);
                } else {
                    click(same, c.button);
                }
            });
        });
        model.onMeridianFlipQuery(c.flipCase);
        ASSERT_TRUE(pump([&] { return !link.calls.empty(); })) << c.flipCase;
        EXPECT_TRUE(answered);
        EXPECT_EQ(link.calls, Calls{"meridianFlipChoice " + std::to_string(c.choice)})
            << c.flipCase;
    }
}

std::vector<std::wstring> opened;
void recordOpening(HWND, const wchar_t* address) { opened.push_back(address); }

TEST_F(MainDialog, AboutBoxShowsItsTextsAndOpensTheAddressOncePerClick) {
    const AddressOpener shell = setAddressOpener(recordOpening);
    opened.clear();
    whenDialogOpens(rules::kAboutCaption, [](HWND about) {
        EXPECT_EQ(text(about, 100), rules::kAboutHeading);
        EXPECT_EQ(text(about, 101), rules::kAboutPurpose);
        EXPECT_EQ(text(about, 102), rules::kAboutCredit);
        EXPECT_EQ(text(about, 103), rules::kMakerWebAddress);
        HWND link = ::GetDlgItem(about, 103);
        ::SendMessageW(about, WM_COMMAND, MAKEWPARAM(103, STN_CLICKED),
                       reinterpret_cast<LPARAM>(link));
        ::SendMessageW(about, WM_COMMAND, MAKEWPARAM(103, STN_DBLCLK),
                       reinterpret_cast<LPARAM>(link));
        // The hand over the link, and a heading in bold.
        ::SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
        LOGFONTW heading{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendDlgItemMessageW(about, 100, WM_GETFONT, 0, 0)),
                     sizeof heading, &heading);
        EXPECT_EQ(heading.lfWeight, FW_BOLD);
        click(about, IDCANCEL);
    });
    click(window, IdAbout);
    // Escape and Enter close it as well.
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
        whenDialogOpens(rules::kAboutCaption,
                        [key](HWND about) { postKey(::GetDlgItem(about, IDCANCEL), key); });
        click(window, IdAbout);
    }
    setAddressOpener(shell);
    EXPECT_EQ(opened, std::vector<std::wstring>{wide(rules::kMakerWebAddress)});
    EXPECT_EQ(link.calls, Calls{});
}

// Buttons drawn as the default one, apart from the focused one (which
// Enter clicks, as everywhere).
std::vector<int> defaultButtons(HWND dialog) {
    std::vector<int> found;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[16] = {};
        ::GetClassNameW(child, kind, 16);
        if (std::wstring(kind) == L"Button" && child != ::GetFocus() &&
            (::GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            found.push_back(::GetDlgCtrlID(child));
        }
    }
    return found;
}

TEST_F(MainDialog, NoButtonIsADefaultButton) {
    configure();
    EXPECT_EQ(defaultButtons(window), std::vector<int>{});
    for (const char* caption : {kFormatCaption, rules::kAboutCaption}) {
        whenDialogOpens(caption, [&](HWND d) {
            EXPECT_EQ(defaultButtons(d), std::vector<int>{}) << caption;
            // The focus in an edit leaves no button as the default either.
            if (HWND edit = ::GetDlgItem(d, 103); edit != nullptr && caption == kFormatCaption) {
                ::SendMessageW(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
                EXPECT_EQ(defaultButtons(d), std::vector<int>{}) << caption;
            }
            click(d, IDCANCEL);
        });
    }
    click(window, IdEncoderFormat);
    click(window, IdAbout);
    whenDialogOpens(kFlipCaption, [&](HWND flip) {
        EXPECT_EQ(defaultButtons(flip), std::vector<int>{});
        click(flip, 210);
    });
    model.onMeridianFlipQuery(2);
    ASSERT_TRUE(pump([&] { return !link.calls.empty(); }));
    // Enter outside a button and Escape do nothing to the main window.
    link.calls.clear();
    ::SetFocus(::GetDlgItem(window, IdStatusLine));
    postKey(::GetDlgItem(window, IdStatusLine), VK_RETURN);
    postKey(::GetDlgItem(window, IdStatusLine), VK_ESCAPE);
    pumpUntil([] { return false; }, 100, window);
    EXPECT_FALSE(dialog->ended());
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(link.calls, Calls{});
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(dialog->ended());
}

TEST_F(MainDialog, NotificationsAreHandledWhileASecondaryDialogIsOpen) {
    std::string shown;
    whenDialogOpens(rules::kAboutCaption, [&](HWND) {
        model.onStatus(14);
        // Posted messages come before the timer that runs the next action.
        whenDialogOpens(rules::kAboutCaption, [&](HWND about) {
            shown = text(window, IdStatusLine);
            click(about, IDCANCEL);
        });
    });
    click(window, IdAbout);
    EXPECT_EQ(shown, "Manual movement");
}

TEST_F(MainDialog, ClosingEndsTheSecondaryDialogsUnansweredAndSendsNothing) {
    configure();
    // The format dialog, a refusal over it, and a flip question over both.
    whenDialogOpens(kFormatCaption, [&](HWND format) {
        setText(format, 103, "300");
        whenDialogOpens(kFormatCaption, [&](HWND box) {
            EXPECT_NE(box, format);
            model.onMeridianFlipQuery(3);
            whenDialogOpens(kFlipCaption, [&](HWND) { ::PostMessageW(window, WM_CLOSE, 0, 0); });
        });
        click(format, IDOK);
    });
    click(window, IdEncoderFormat);
    EXPECT_EQ(pendingDialogActions(), 0u);
    EXPECT_TRUE(dialog->ended());
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(link.calls, Calls{});
}

// Its handle may name another window by then.
TEST_F(MainDialog, NotificationsAfterTheWindowIsGoneGoNowhere) {
    ::DestroyWindow(window);
    EXPECT_EQ(dialog->window(), nullptr);
    EXPECT_FALSE(dialog->postUserMessage(NotifyStatus, 13));
}

}  // namespace
}  // namespace zr8::win32
