// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/dlg_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <thread>

#include "app/app_model.h"
#include "gui_harness.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/encoder_format_dialog.h"
#include "ui/qt/meridian_flip_dialog.h"
#include "ui/rules/dialog_texts.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::ui {
namespace {

using gui_test::clickChild;
using gui_test::onNextModal;
using gui_test::RecordingLink;
using gui_test::waitUntil;
using Calls = std::vector<std::string>;

std::vector<DetectedDevice> twoDevices() {
    return {{"/dev/ttyS0", ""}, {"/dev/ttyUSB0", "FT232R USB UART (FTDI)"}};
}

MountConfig sampleMount() {
    MountConfig m;
    m.raGearRatio = 270;
    m.decGearRatio = 180;
    m.raMicrostepResolution = 1728000;
    m.decMicrostepResolution = 1152000;
    m.reverseMotor = 2;
    m.motorOption = 9;
    return m;
}

EncoderConfig sampleEncoder() {
    EncoderConfig e;
    e.raFlags = 4 | 1;  // invert, and the flag no dialog shows
    e.decFlags = 2;
    e.raLeadingBits = 12;
    e.raBitsPerRev = 32;
    e.raBitsForRevs = 0;
    e.decLeadingBits = 10;
    e.decBitsPerRev = 22;
    e.decBitsForRevs = 4;
    e.raCountsPerRev = uint64_t{1} << 32;
    e.decCountsPerRev = uint64_t{1} << 22;
    e.reverseEncoder = 1;
    e.raOffset = -1;
    e.decOffset = 123456;
    return e;
}

// The dialog over a recording link, wired to a real model the way start-up
// wires it; notifications travel through the event queue.
class MainDialogTest : public testing::Test {
protected:
    explicit MainDialogTest(PortCatalogue::DeviceScanner scanner = twoDevices)
        : ports(std::move(scanner)) {
        ports.addProvided(sim::kBuiltInSimulatorName, [](std::string&, std::string& error) {
            error = "not started in this test";
            return false;
        });
        model.setLink(&link);
        open();
    }
    // A fresh main dialog in place of the last one.
    void open() {
        dialog = std::make_unique<DlgMain>(link, model, ports);
        model.setCallback(&dialog->callback());
        model.setSink(dialog.get());
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    ~MainDialogTest() override {
        model.setCallback(nullptr);
        model.setSink(nullptr);
    }

    template <class W = QWidget>
    W* get(int id) const {
        auto* w =
            dialog->findChild<W*>(QStringLiteral("IDC_%1").arg(id), Qt::FindDirectChildrenOnly);
        EXPECT_NE(w, nullptr) << "control " << id;
        return w;
    }
    QString text(int id) const { return get<QLineEdit>(id)->text(); }

    struct Shown {
        int id;
        const char* text;
    };
    void expectShown(std::initializer_list<Shown> fields) const {
        for (const Shown& f : fields) EXPECT_EQ(text(f.id), QString::fromLatin1(f.text)) << f.id;
    }

    // Delivers the configuration the way the link does, from another thread.
    void connectAndConfigure(const MountConfig& m = sampleMount(),
                             const EncoderConfig& e = sampleEncoder()) {
        std::thread linkThread([&] {
            model.onStatus(1);
            model.onStatus(2);
            model.onConfiguration(3, 1, m, e);
        });
        linkThread.join();
        ASSERT_TRUE(waitUntil([&] { return get(DlgMain::IdReadEncoders)->isEnabled(); }));
    }

    bool click(int id) { return clickChild(dialog.get(), QStringLiteral("IDC_%1").arg(id)); }

    RecordingLink link;
    AppModel model;
    PortCatalogue ports;
    std::unique_ptr<DlgMain> dialog;
};

class MainDialogWithoutDevices : public MainDialogTest {
protected:
    MainDialogWithoutDevices() : MainDialogTest([] { return std::vector<DetectedDevice>{}; }) {}
};

TEST_F(MainDialogTest, FreshStart) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ZR8 Encoder setup 1.1. (%1)")
                                         .arg(QString::fromLatin1(rules::kMakerWebAddress)));
    EXPECT_TRUE(text(DlgMain::IdStatusLine).isEmpty());
    EXPECT_TRUE(text(DlgMain::IdSecondStatus).isEmpty());
    EXPECT_FALSE(get<QCheckBox>(DlgMain::IdBaud115200)->isChecked());
    auto* speed = get<QSlider>(DlgMain::IdSpeed);
    EXPECT_EQ(speed->minimum(), 0);
    EXPECT_EQ(speed->maximum(), 31);
    EXPECT_EQ(speed->value(), 10);
    EXPECT_EQ(speed->tickPosition(), QSlider::TicksBelow);
    EXPECT_FALSE(get<QPushButton>(DlgMain::IdTrackOn)->isChecked());
    EXPECT_TRUE(get<QPushButton>(DlgMain::IdTrackOff)->isChecked());
    for (int id : DlgMain::kControlList) EXPECT_FALSE(get(id)->isEnabled()) << id;
    EXPECT_EQ(dialog->focusWidget(), get(DlgMain::IdPortList));
    for (int id : {DlgMain::IdPortList, DlgMain::IdBaud115200, DlgMain::IdConnect,
                   DlgMain::IdDisconnect, DlgMain::IdAbout, DlgMain::IdStatusLine}) {
        EXPECT_TRUE(get(id)->isEnabled()) << id;
    }
    for (int id :
         {DlgMain::IdRaGearRatio, DlgMain::IdDecOffset, DlgMain::IdRaRaw, DlgMain::IdDecDms}) {
        EXPECT_TRUE(text(id).isEmpty()) << id;
    }
    for (int id : {DlgMain::IdUp, DlgMain::IdDown, DlgMain::IdLeft, DlgMain::IdRight}) {
        EXPECT_FALSE(get<QPushButton>(id)->icon().isNull()) << "arrow bitmap of " << id;
    }
    // Only the two offsets are editable, and they look it.
    for (auto* edit : dialog->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly)) {
        const bool offset = edit == get(DlgMain::IdRaOffset) || edit == get(DlgMain::IdDecOffset);
        EXPECT_EQ(edit->isReadOnly(), !offset) << edit->objectName().toStdString();
        const QPalette& p = edit->palette();
        EXPECT_EQ(p.color(QPalette::Active, QPalette::Base) ==
                      p.color(QPalette::Active, QPalette::Window),
                  !offset)
            << edit->objectName().toStdString();
    }
    // Disabled controls send nothing.
    for (int id : DlgMain::kControlList) click(id);
    EXPECT_EQ(link.calls, Calls{});
    // The window is fixed-size: the template's 456 x 236 units in the dialog font.
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_GT(dialog->width(), dialog->height());
}

TEST_F(MainDialogTest, GeometryComesFromDialogUnits) {
    const DialogUnits du(dialog->font());
    // The dialog base units of the dialog font, computed as the templates' home system does.
    const QFontMetrics metrics(dialog->font());
    const int width52 = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(du.baseX(), (width52 / 26 + 1) / 2);
    EXPECT_EQ(du.baseY(), metrics.height());
    EXPECT_EQ(dialog->size(), du.size(456, 236));
    EXPECT_EQ(dialog->font().pointSize(), 8);
    struct Case {
        int id;
        int x, y, w, h;
    };
    const Case cases[] = {
        {DlgMain::IdConnect, 200, 5, 50, 13},
        {DlgMain::IdStatusLine, 4, 20, 306, 12},
        {DlgMain::IdStop, 40, 60, 23, 19},
        {DlgMain::IdLeft, 23, 60, 16, 19},
        {DlgMain::IdSpeed, 6, 102, 92, 12},
        {DlgMain::IdSaveSettings, 8, 200, 86, 25},
        {DlgMain::IdDecCountsPerRev, 376, 72, 70, 12},
        {DlgMain::IdDecOffset, 338, 125, 86, 12},
        {DlgMain::IdDecDms, 336, 205, 70, 12},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(get(c.id)->geometry(), du.rect(c.x, c.y, c.w, c.h)) << c.id;
    }
    // Corners are mapped, so a control ends exactly where one starting at its right edge would
    // begin.
    EXPECT_EQ(du.rect(192, 181, 70, 12).right() + 1, du.toPixelsX(262));
    EXPECT_EQ(du.rect(8, 120, 86, 14).bottom() + 1, du.toPixelsY(134));
}

TEST_F(MainDialogTest, ArrowBitmapsAreSolidTrianglesPointingTheirWay) {
    struct Case {
        int id;
        QPoint tip;        // black
        QPoint base;       // black
        QPoint beyondTip;  // white
    };
    const Case cases[] = {
        {DlgMain::IdUp, {7, 4}, {1, 10}, {7, 2}},
        {DlgMain::IdDown, {8, 11}, {14, 5}, {8, 13}},
        {DlgMain::IdLeft, {4, 8}, {10, 14}, {2, 8}},
        {DlgMain::IdRight, {11, 7}, {5, 1}, {13, 7}},
    };
    for (const Case& c : cases) {
        const QImage image = get<QPushButton>(c.id)->icon().pixmap(16, 16).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16)) << c.id;
        EXPECT_EQ(image.pixelColor(c.tip), QColor(Qt::black)) << c.id;
        EXPECT_EQ(image.pixelColor(c.base), QColor(Qt::black)) << c.id;
        EXPECT_EQ(image.pixelColor(c.beyondTip), QColor(Qt::white)) << c.id;
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white)) << c.id;
    }
}

TEST_F(MainDialogTest, PortListShowsTheCatalogueAndSelectsTheFirstDevice) {
    auto* list = get<QComboBox>(DlgMain::IdPortList);
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    EXPECT_EQ(items,
              (QStringList{"/dev/ttyS0", "/dev/ttyUSB0 - FT232R USB UART (FTDI)",
                           QString::fromLatin1(sim::kBuiltInSimulatorName), "Other device..."}));
    EXPECT_EQ(list->currentIndex(), 0);
    click(DlgMain::IdConnect);
    EXPECT_EQ(link.calls, Calls{"connect 1 9600"});
}

TEST_F(MainDialogWithoutDevices, SelectsTheSimulatedControllerWhenNoDeviceIsFound) {
    auto* list = get<QComboBox>(DlgMain::IdPortList);
    EXPECT_EQ(list->currentText(), QString::fromLatin1(sim::kBuiltInSimulatorName));
}

TEST_F(MainDialogTest, ConnectSendsTheChosenPortAndBaudRate) {
    auto* list = get<QComboBox>(DlgMain::IdPortList);
    list->setCurrentIndex(1);  // as the keyboard or the wheel would
    click(DlgMain::IdBaud115200);
    click(DlgMain::IdConnect);
    const int simulator = list->findText(QString::fromLatin1(sim::kBuiltInSimulatorName));
    list->setCurrentIndex(simulator);
    emit list->activated(simulator);
    click(DlgMain::IdBaud115200);
    click(DlgMain::IdConnect);
    EXPECT_EQ(link.calls, (Calls{"connect 2 115200", "connect 3 9600"}));
}

TEST_F(MainDialogTest, AnEnteredDevicePathJoinsTheListAndIsConnected) {
    auto* list = get<QComboBox>(DlgMain::IdPortList);
    const int other = list->count() - 1;
    const int answered = gui_test::answeredModals();
    onNextModal([](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(input, nullptr);
        input->setTextValue(QStringLiteral("/tmp/ttyZR8"));
        input->accept();
    });
    list->setCurrentIndex(other);
    emit list->activated(other);
    EXPECT_EQ(gui_test::answeredModals() - answered, 1) << "the prompt was not answered";
    EXPECT_EQ(list->currentText(), QStringLiteral("/tmp/ttyZR8"));
    click(DlgMain::IdConnect);
    EXPECT_EQ(link.calls, Calls{"connect 4 9600"});

    // Cancelling the prompt keeps the previous choice.
    onNextModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    list->setCurrentIndex(list->count() - 1);
    emit list->activated(list->count() - 1);
    EXPECT_EQ(list->currentText(), QStringLiteral("/tmp/ttyZR8"));
}

TEST_F(MainDialogTest, EveryCommandSendsItsRequest) {
    connectAndConfigure();
    get<QSlider>(DlgMain::IdSpeed)->setValue(17);
    struct Case {
        int id;
        Calls sent;
    };
    const Case cases[] = {
        {DlgMain::IdUp, {"manualMove 0 17"}},
        {DlgMain::IdDown, {"manualMove 1 17"}},
        {DlgMain::IdRight, {"manualMove 2 17"}},
        {DlgMain::IdLeft, {"manualMove 3 17"}},
        {DlgMain::IdStop, {"stopMotion 4"}},
        {DlgMain::IdTrackOn, {"setTracking 1"}},
        {DlgMain::IdTrackOff, {"setTracking 0"}},
        {DlgMain::IdReadEncoders, {"readEncoders 0"}},
        {DlgMain::IdSaveSettings, {"storeSettings"}},
        {DlgMain::IdDisconnect, {"disconnect"}},
        // Reverse motor: Dec starts checked (bit 1); the option byte goes back unchanged.
        {DlgMain::IdRaReverseMotor, {"setMotorReverse 3 9"}},
        {DlgMain::IdDecReverseMotor, {"setMotorReverse 1 9"}},
        // Calibration as shown: RA reversed, offsets -1 and 123456.
        {DlgMain::IdSetCalibration, {"setEncoderCalibration 1 -1 123456"}},
    };
    for (const Case& c : cases) {
        link.calls.clear();
        ASSERT_TRUE(click(c.id)) << c.id;
        EXPECT_EQ(link.calls, c.sent) << c.id;
    }
    // The speed is read at the click.
    get<QSlider>(DlgMain::IdSpeed)->setValue(0);
    link.calls.clear();
    click(DlgMain::IdUp);
    EXPECT_EQ(link.calls, Calls{"manualMove 0 0"});
}

TEST_F(MainDialogTest, TrackingButtonsShowTheLastRequest) {
    connectAndConfigure();
    auto* on = get<QPushButton>(DlgMain::IdTrackOn);
    auto* off = get<QPushButton>(DlgMain::IdTrackOff);
    for (int round = 0; round < 2; ++round) {  // pressing the pressed one keeps it pressed
        click(DlgMain::IdTrackOn);
        EXPECT_TRUE(on->isChecked());
        EXPECT_FALSE(off->isChecked());
    }
    for (int round = 0; round < 2; ++round) {
        click(DlgMain::IdTrackOff);
        EXPECT_FALSE(on->isChecked());
        EXPECT_TRUE(off->isChecked());
    }
    EXPECT_EQ(link.calls,
              (Calls{"setTracking 1", "setTracking 1", "setTracking 0", "setTracking 0"}));
}

TEST_F(MainDialogTest, ConfigurationFillsTheFieldsAndEnablesTheControlsForGood) {
    connectAndConfigure();
    EXPECT_EQ(text(DlgMain::IdStatusLine), QStringLiteral("Connection established."));
    expectShown({
        {DlgMain::IdRaGearRatio, "270"},
        {DlgMain::IdDecGearRatio, "180"},
        {DlgMain::IdRaMicrosteps, "1728000"},
        {DlgMain::IdDecMicrosteps, "1152000"},
        {DlgMain::IdRaBitsPerRev, "32"},
        {DlgMain::IdRaCountsPerRev, "4294967296"},
        {DlgMain::IdDecBitsPerRev, "22"},
        {DlgMain::IdDecCountsPerRev, "4194304"},
        {DlgMain::IdRaOffset, "4294967295"},
        {DlgMain::IdDecOffset, "123456"},
    });
    EXPECT_FALSE(get<QCheckBox>(DlgMain::IdRaReverseMotor)->isChecked());
    EXPECT_TRUE(get<QCheckBox>(DlgMain::IdDecReverseMotor)->isChecked());
    EXPECT_TRUE(get<QCheckBox>(DlgMain::IdRaReverseEncoder)->isChecked());
    EXPECT_FALSE(get<QCheckBox>(DlgMain::IdDecReverseEncoder)->isChecked());
    EXPECT_EQ(link.calls, Calls{});  // showing the boxes is not clicking them

    // Neither a closed nor a lost connection disables anything again.
    model.onStatus(4);
    model.onStatus(18);
    ASSERT_TRUE(waitUntil([&] {
        return text(DlgMain::IdStatusLine) ==
               QStringLiteral("Error: Connection to the device lost.");
    }));
    for (int id : DlgMain::kControlList) EXPECT_TRUE(get(id)->isEnabled()) << id;
    click(DlgMain::IdReadEncoders);
    EXPECT_EQ(link.calls, Calls{"readEncoders 0"});
}

TEST_F(MainDialogTest, StatusLineShowsKnownCodesOnly) {
    struct Case {
        int32_t code;
        const char* shown;
    };
    const Case cases[] = {
        {1, "Opening port, please wait..."},
        {19, "Opening port, please wait..."},  // no text: unchanged
        {17, "Parameters stored..."},
        {-1, "Parameters stored..."},
        {0x10000 + 13, "Ready"},  // only the low 16 bits count
        {12, "Error: Not connected yet"},
    };
    for (const Case& c : cases) {
        model.onStatus(c.code);
        ASSERT_TRUE(waitUntil([&] {
            return text(DlgMain::IdStatusLine) == QString::fromLatin1(c.shown);
        })) << c.code
            << " shows " << text(DlgMain::IdStatusLine).toStdString();
    }
}

TEST_F(MainDialogTest, PortThatCannotBeOpenedExplainsWhyInTheTooltip) {
    ConnectionInfo failed;
    failed.state = LineState::OpenFailed;
    failed.failure = PortErrorCode::PermissionDenied;
    std::snprintf(failed.device, sizeof failed.device, "/dev/ttyUSB0");
    std::snprintf(failed.reason, sizeof failed.reason, "Permission denied");
    std::snprintf(failed.remedy, sizeof failed.remedy,
                  "Add your user to the dialout group and log in again.");
    model.onStatus(1);
    model.onConnection(failed);
    model.onStatus(6);
    auto* status = get<QLineEdit>(DlgMain::IdStatusLine);
    ASSERT_TRUE(
        waitUntil([&] { return status->text() == QStringLiteral("Error: Cannot open port."); }));
    EXPECT_TRUE(status->toolTip().contains(QStringLiteral("Permission denied")));
    EXPECT_TRUE(status->toolTip().contains(QStringLiteral("dialout")));
    for (int id : DlgMain::kControlList) EXPECT_FALSE(get(id)->isEnabled()) << id;
    model.onStatus(1);
    ASSERT_TRUE(waitUntil([&] { return status->toolTip().isEmpty(); }));
}

TEST_F(MainDialogTest, SecondStatusFieldShowsTheOpenLine) {
    ConnectionInfo open;
    open.state = LineState::Open;
    open.baudRate = 115200;
    std::snprintf(open.device, sizeof open.device, "/dev/ttyUSB0");
    model.onConnection(open);
    const QString shown = QString::fromStdString(rules::connectionText(open));
    ASSERT_FALSE(shown.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return text(DlgMain::IdSecondStatus) == shown; }));
    ConnectionInfo closed;
    model.onConnection(closed);
    ASSERT_TRUE(waitUntil([&] { return text(DlgMain::IdSecondStatus).isEmpty(); }));
}

TEST_F(MainDialogTest, ReadingShowsRawArcsecondsAndDegrees) {
    EncoderPositions p;
    p.valid = 1;
    p.raRaw = 16777216;
    p.raArcsec = 648000;
    p.decRaw = 4294967295u;
    p.decArcsec = 45296;
    model.onPositions(p);
    ASSERT_TRUE(waitUntil([&] { return !text(DlgMain::IdDecDms).isEmpty(); }));
    expectShown({
        {DlgMain::IdRaRaw, "16777216"},
        {DlgMain::IdRaArcsec, "648000"},
        {DlgMain::IdRaDms, "+180:00:00"},
        {DlgMain::IdDecRaw, "4294967295"},
        {DlgMain::IdDecArcsec, "45296"},
        {DlgMain::IdDecDms, "+12:34:56"},
    });

    // A reading that is not valid leaves the fields as they are.
    EncoderPositions invalid = p;
    invalid.valid = 0;
    invalid.raArcsec = 1;
    model.onPositions(invalid);
    model.onStatus(13);
    ASSERT_TRUE(waitUntil([&] { return text(DlgMain::IdStatusLine) == QStringLiteral("Ready"); }));
    EXPECT_EQ(text(DlgMain::IdRaArcsec), QStringLiteral("648000"));
}

TEST_F(MainDialogTest, OffsetsThatDoNotFitAreRefusedAndNothingIsSent) {
    connectAndConfigure();
    const char* refused[] = {"", "abc", "1.5", "4294967296", "-2147483649", "12 3", "12x"};
    for (const char* typed : refused) {
        for (int id : {DlgMain::IdRaOffset, DlgMain::IdDecOffset}) {
            get<QLineEdit>(DlgMain::IdRaOffset)->setText(QStringLiteral("5"));
            get<QLineEdit>(DlgMain::IdDecOffset)->setText(QStringLiteral("6"));
            get<QLineEdit>(id)->setText(QString::fromLatin1(typed));
            QString message;
            onNextModal(
                [&](QWidget* w) {
                    auto* box = qobject_cast<QMessageBox*>(w);
                    ASSERT_NE(box, nullptr);
                    message = box->text();
                    box->accept();
                },
                dialog.get());
            link.calls.clear();
            click(DlgMain::IdSetCalibration);
            EXPECT_EQ(link.calls, Calls{}) << typed;
            EXPECT_TRUE(message.contains(id == DlgMain::IdRaOffset ? QStringLiteral("RA")
                                                                   : QStringLiteral("Dec")))
                << message.toStdString();
            EXPECT_TRUE(message.contains(QStringLiteral("-2147483648 to 4294967295")));
        }
    }
    get<QLineEdit>(DlgMain::IdRaOffset)->setText(QStringLiteral(" -2147483648 "));
    get<QLineEdit>(DlgMain::IdDecOffset)->setText(QStringLiteral("+2147483647"));
    click(DlgMain::IdSetCalibration);
    // Both spellings of one 32-bit word.
    get<QLineEdit>(DlgMain::IdRaOffset)->setText(QStringLiteral("4294967295"));
    get<QLineEdit>(DlgMain::IdDecOffset)->setText(QStringLiteral("-1"));
    click(DlgMain::IdSetCalibration);
    EXPECT_EQ(link.calls, (Calls{"setEncoderCalibration 1 -2147483648 2147483647",
                                 "setEncoderCalibration 1 -1 -1"}));
}

// ---- encoder data format dialog ---------------------------------------------

EncoderFormatDialog* asFormatDialog(QWidget* w) {
    auto* d = qobject_cast<EncoderFormatDialog*>(w);
    EXPECT_NE(d, nullptr);
    return d;
}

QLineEdit* field(QWidget* d, int id) {
    return d->findChild<QLineEdit*>(QStringLiteral("IDC_%1").arg(id));
}

TEST_F(MainDialogTest, FormatDialogShowsTheDefaultsAndOkSendsThem) {
    connectAndConfigure(sampleMount(), [] {
        EncoderConfig e;  // what a fresh model holds
        e.raLeadingBits = e.decLeadingBits = 12;
        e.raBitsPerRev = e.decBitsPerRev = 25;
        return e;
    }());
    QStringList shown;
    onNextModal(
        [&](QWidget* w) {
            EncoderFormatDialog* d = asFormatDialog(w);
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Encoder setup"));
            for (int id : {103, 104, 105, 113, 114, 115}) shown << field(d, id)->text();
            for (int id : {100, 101, 110, 111}) {
                EXPECT_FALSE(
                    d->findChild<QCheckBox*>(QStringLiteral("IDC_%1").arg(id))->isChecked());
            }
            clickChild(d, QStringLiteral("IDC_1"));
        },
        dialog.get());
    click(DlgMain::IdEncoderFormat);
    EXPECT_EQ(shown, (QStringList{"25", "0", "12", "25", "0", "12"}));
    EXPECT_EQ(link.calls, Calls{"setEncoderFormat 0 12 25 0 0 12 25 0"});
    EXPECT_EQ(text(DlgMain::IdRaBitsPerRev), QStringLiteral("25"));
    EXPECT_EQ(text(DlgMain::IdRaCountsPerRev), QStringLiteral("33554432"));
}

TEST_F(MainDialogTest, FormatDialogOkTakesTheEditsAndClearsTheUnshownFlag) {
    connectAndConfigure();  // raFlags 5: invert plus the unshown bit 2; decFlags 2
    onNextModal(
        [&](QWidget* w) {
            EncoderFormatDialog* d = asFormatDialog(w);
            EXPECT_TRUE(d->findChild<QCheckBox*>(QStringLiteral("IDC_100"))->isChecked());
            EXPECT_FALSE(d->findChild<QCheckBox*>(QStringLiteral("IDC_101"))->isChecked());
            EXPECT_TRUE(d->findChild<QCheckBox*>(QStringLiteral("IDC_111"))->isChecked());
            clickChild(d, QStringLiteral("IDC_101"));  // RA Gray on
            clickChild(d, QStringLiteral("IDC_110"));  // Dec invert on
            field(d, 103)->setText(QStringLiteral("31"));
            field(d, 104)->setText(QStringLiteral("8"));
            field(d, 105)->setText(QStringLiteral("255"));
            field(d, 113)->setText(QStringLiteral("1"));
            clickChild(d, QStringLiteral("IDC_1"));
        },
        dialog.get());
    click(DlgMain::IdEncoderFormat);
    EXPECT_EQ(link.calls, Calls{"setEncoderFormat 3 255 31 8 3 10 1 4"});
    EXPECT_EQ(text(DlgMain::IdRaCountsPerRev), QStringLiteral("2147483648"));
    EXPECT_EQ(text(DlgMain::IdDecBitsPerRev), QStringLiteral("1"));
    EXPECT_EQ(text(DlgMain::IdDecCountsPerRev), QStringLiteral("2"));
    EXPECT_EQ(model.encoderConfig().raFlags, 3);
}

TEST_F(MainDialogTest, FormatDialogCancelAndEscapeChangeNothing) {
    connectAndConfigure();
    const EncoderConfig before = model.encoderConfig();
    const int answered = gui_test::answeredModals();
    onNextModal(
        [&](QWidget* w) {
            field(w, 103)->setText(QStringLiteral("20"));
            clickChild(w, QStringLiteral("IDC_2"));
        },
        dialog.get());
    click(DlgMain::IdEncoderFormat);
    onNextModal(
        [&](QWidget* w) {
            field(w, 103)->setText(QStringLiteral("20"));
            QTest::keyClick(w, Qt::Key_Escape);
        },
        dialog.get());
    click(DlgMain::IdEncoderFormat);
    EXPECT_EQ(gui_test::answeredModals() - answered, 2) << "a dialog was not answered";
    EXPECT_EQ(link.calls, Calls{});
    EXPECT_EQ(model.encoderConfig(), before);
    EXPECT_EQ(text(DlgMain::IdRaCountsPerRev), QStringLiteral("4294967296"));
}

TEST_F(MainDialogTest, FormatDialogRefusesNumbersTheFieldsCannotHold) {
    connectAndConfigure();
    struct Case {
        int id;
        const char* typed;
    };
    const Case cases[] = {
        {103, "-1"}, {103, "257"}, {103, ""},    {113, "256"}, {113, "x"},
        {104, "-1"}, {114, "1e3"}, {105, "300"}, {115, "256"}, {115, "-0.5"},
    };
    const EncoderConfig before = model.encoderConfig();
    for (const Case& c : cases) {
        bool refused = false;
        bool stayedOpen = false;
        onNextModal(
            [&](QWidget* w) {
                field(w, c.id)->setText(QString::fromLatin1(c.typed));
                onNextModal(
                    [&](QWidget* box) {
                        refused = qobject_cast<QMessageBox*>(box) != nullptr;
                        qobject_cast<QDialog*>(box)->accept();
                    },
                    w);
                clickChild(w, QStringLiteral("IDC_1"));
                stayedOpen = w->isVisible();
                clickChild(w, QStringLiteral("IDC_2"));
            },
            dialog.get());
        click(DlgMain::IdEncoderFormat);
        EXPECT_TRUE(refused) << c.id << " " << c.typed;
        EXPECT_TRUE(stayedOpen) << c.id << " " << c.typed;
    }
    EXPECT_EQ(link.calls, Calls{});
    EXPECT_EQ(model.encoderConfig(), before);
}

TEST_F(MainDialogTest, NotificationsAreHandledWhileASecondaryDialogIsOpen) {
    connectAndConfigure();
    bool sawReady = false;
    bool sawFlipOnTop = false;
    onNextModal(
        [&](QWidget* format) {
            std::thread([&] { model.onStatus(13); }).join();
            sawReady =
                waitUntil([&] { return text(DlgMain::IdStatusLine) == QStringLiteral("Ready"); });
            // A flip question opens its dialog over the format dialog.
            onNextModal(
                [&](QWidget* flip) {
                    sawFlipOnTop = qobject_cast<MeridianFlipDialog*>(flip) != nullptr;
                    clickChild(flip, QStringLiteral("IDC_211"));
                },
                format);
            std::thread([&] { model.onMeridianFlipQuery(3); }).join();
            waitUntil([&] { return !link.calls.empty(); });
            clickChild(format, QStringLiteral("IDC_2"));
        },
        dialog.get());
    click(DlgMain::IdEncoderFormat);
    EXPECT_TRUE(sawReady);
    EXPECT_TRUE(sawFlipOnTop);
    EXPECT_EQ(link.calls, Calls{"meridianFlipChoice 2"});
}

// ---- meridian flip dialog ---------------------------------------------------

TEST_F(MainDialogTest, MeridianFlipDialogForEveryCase) {
    const QString eastWest = QStringLiteral("East side: Scope looks to west.");
    const QString westEast = QStringLiteral("West side: Scope looks to east.");
    const QString recommended = QStringLiteral("Meridian flip recommended.");
    const QString needed = QStringLiteral("Meridian flip needed.");
    struct Case {
        int flipCase;
        QString present, target, optional;
        bool withoutFlip;
    };
    const Case cases[] = {
        {0, eastWest, eastWest, needed, false},     {1, eastWest, eastWest, needed, false},
        {2, westEast, eastWest, recommended, true}, {3, eastWest, westEast, recommended, true},
        {4, westEast, eastWest, needed, false},     {5, eastWest, westEast, needed, false},
        {7, eastWest, eastWest, needed, false},     {-3, eastWest, eastWest, needed, false},
    };
    // Each case answered with each button that can be pressed, and with Escape.
    for (const Case& c : cases) {
        for (const char* answer : {"IDC_211", "IDC_212", "IDC_210", "escape", "close"}) {
            QStringList shown;
            bool withoutEnabled = false;
            onNextModal(
                [&](QWidget* w) {
                    EXPECT_EQ(w->windowTitle(), QStringLiteral("Meridian flip before positioning"));
                    for (int id : {200, 201, 202}) {
                        shown << w->findChild<QLineEdit*>(QStringLiteral("IDC_%1").arg(id))->text();
                    }
                    withoutEnabled =
                        w->findChild<QPushButton*>(QStringLiteral("IDC_212"))->isEnabled();
                    // Enter in the read-only edit where the focus starts answers nothing.
                    EXPECT_EQ(w->focusWidget(),
                              w->findChild<QLineEdit*>(QStringLiteral("IDC_200")));
                    QTest::keyClick(w->focusWidget(), Qt::Key_Return);
                    EXPECT_TRUE(w->isVisible());
                    if (QString::fromLatin1(answer) == QStringLiteral("escape")) {
                        QTest::keyClick(w, Qt::Key_Escape);
                    } else if (QString::fromLatin1(answer) == QStringLiteral("close")) {
                        w->close();
                    } else {
                        clickChild(w, QString::fromLatin1(answer));
                        if (w->isVisible())
                            clickChild(w, QStringLiteral("IDC_210"));  // 212 disabled
                    }
                },
                dialog.get());
            link.calls.clear();
            model.onMeridianFlipQuery(c.flipCase);
            ASSERT_TRUE(waitUntil([&] { return !link.calls.empty(); })) << c.flipCase;
            EXPECT_EQ(shown, (QStringList{c.present, c.target, c.optional})) << c.flipCase;
            EXPECT_EQ(withoutEnabled, c.withoutFlip) << c.flipCase;
            std::string expected = "meridianFlipChoice 0";
            if (QString::fromLatin1(answer) == QStringLiteral("IDC_211"))
                expected = "meridianFlipChoice 2";
            if (QString::fromLatin1(answer) == QStringLiteral("IDC_212") && c.withoutFlip) {
                expected = "meridianFlipChoice 1";
            }
            EXPECT_EQ(link.calls, Calls{expected}) << c.flipCase << " " << answer;
        }
    }
}

// ---- About ------------------------------------------------------------------

class UrlRecorder : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened << url; }

public:
    QList<QUrl> opened;
};

TEST_F(MainDialogTest, AboutBoxShowsItsTextsAndOpensTheAddressOncePerClick) {
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    for (const char* closing : {"exit", "escape", "close"}) {
        recorder.opened.clear();
        QString heading, purpose;
        bool underlined = false, handCursor = false, linkColour = false, headingBold = false;
        qsizetype clicksAfterOne = 0;
        onNextModal(
            [&](QWidget* w) {
                EXPECT_EQ(w->windowTitle(), QStringLiteral("ZR8-Encoder setup"));
                auto* headingLabel = w->findChild<QLabel*>(QStringLiteral("IDC_100"));
                heading = headingLabel->text();
                headingBold = headingLabel->font().bold();
                purpose = w->findChild<QLabel*>(QStringLiteral("IDC_101"))->text();
                auto* address = w->findChild<QLabel*>(QStringLiteral("IDC_103"));
                underlined = address->font().underline();
                handCursor = address->cursor().shape() == Qt::PointingHandCursor;
                linkColour = address->palette().color(QPalette::WindowText) ==
                             address->palette().color(QPalette::Link);
                QTest::mouseClick(address, Qt::LeftButton);
                clicksAfterOne = recorder.opened.size();
                // A double-click as the window system delivers it.
                const QPointF at = QPointF(address->rect().center());
                const QPointF global = QPointF(address->mapToGlobal(address->rect().center()));
                for (QEvent::Type type :
                     {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                      QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
                    const Qt::MouseButtons held =
                        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
                    QMouseEvent event(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
                    QApplication::sendEvent(address, &event);
                }
                EXPECT_TRUE(w->isVisible());
                if (QString::fromLatin1(closing) == QStringLiteral("exit")) {
                    clickChild(w, QStringLiteral("IDC_2"));
                } else if (QString::fromLatin1(closing) == QStringLiteral("escape")) {
                    QTest::keyClick(w, Qt::Key_Escape);
                } else {
                    w->close();
                }
            },
            dialog.get());
        ASSERT_TRUE(click(DlgMain::IdAbout));
        EXPECT_FALSE(QApplication::activeModalWidget() != nullptr &&
                     QApplication::activeModalWidget() != dialog.get())
            << closing;
        EXPECT_EQ(heading, QStringLiteral("ZR8-Encoder setup"));
        EXPECT_TRUE(headingBold);
        EXPECT_EQ(purpose, QStringLiteral("Configurating absolute encoders for ZR8"));
        EXPECT_TRUE(underlined);
        EXPECT_TRUE(handCursor);
        EXPECT_TRUE(linkColour);
        EXPECT_EQ(clicksAfterOne, 1);
        EXPECT_EQ(recorder.opened,
                  (QList<QUrl>{QUrl(QString::fromLatin1(rules::kMakerWebAddress)),
                               QUrl(QString::fromLatin1(rules::kMakerWebAddress))}))
            << "one click and one double-click, one opening each";
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    EXPECT_EQ(link.calls, Calls{});
}

TEST(AboutDialogResult, IsAlwaysOne) {
    for (const char* closing : {"exit", "escape", "enter", "close"}) {
        AboutDialog about(nullptr);
        QTimer::singleShot(0, &about, [&] {
            const QString how = QString::fromLatin1(closing);
            if (how == QStringLiteral("exit"))
                clickChild(&about, QStringLiteral("IDC_2"));
            else if (how == QStringLiteral("escape"))
                QTest::keyClick(&about, Qt::Key_Escape);
            else if (how == QStringLiteral("enter"))
                QTest::keyClick(&about, Qt::Key_Return);
            else
                about.close();
        });
        EXPECT_EQ(about.exec(), 1) << closing;
    }
}

// ---- closing ----------------------------------------------------------------

TEST_F(MainDialogTest, EscapeDoesNotCloseButTheCloseCommandDoes) {
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QTest::keyClick(get(DlgMain::IdPortList), Qt::Key_Escape);
    QTest::keyClick(get(DlgMain::IdPortList), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(link.calls, Calls{});
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_EQ(link.calls, Calls{});  // closing sends nothing
}

TEST_F(MainDialogTest, ClosingEndsTheSecondaryDialogsUnansweredAndSendsNothing) {
    struct Case {
        const char* name;
        std::function<void()> open;  // returns once every dialog it opened has ended
    };
    const Case cases[] = {
        {"format", [&] { click(DlgMain::IdEncoderFormat); }},
        {"about", [&] { click(DlgMain::IdAbout); }},
        {"flip",
         [&] {
             model.onMeridianFlipQuery(3);
             waitUntil([&] { return !dialog->isVisible(); });
         }},
        {"flip over format",
         [&] {
             model.onMeridianFlipQuery(3);  // asked inside the format dialog's loop
             click(DlgMain::IdEncoderFormat);
         }},
        {"message box",
         [&] {
             get<QLineEdit>(DlgMain::IdRaOffset)->setText(QStringLiteral("12x"));
             click(DlgMain::IdSetCalibration);
         }},
        {"other device",
         [&] {
             auto* list = get<QComboBox>(DlgMain::IdPortList);
             emit list->activated(list->count() - 1);
         }},
    };
    for (const Case& c : cases) {
        open();
        connectAndConfigure();
        link.calls.clear();
        QStringList leftOpen;
        onNextModal(
            [&](QWidget*) {
                dialog->close();  // the window's close command, from inside the secondary loop
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    auto* open = qobject_cast<QDialog*>(w);
                    if (open == nullptr || !open->isVisible()) continue;
                    leftOpen << w->windowTitle();
                    open->reject();  // so that a failure does not hang the test
                }
            },
            dialog.get());
        c.open();
        EXPECT_TRUE(leftOpen.isEmpty())
            << c.name << ": left open " << leftOpen.join(", ").toStdString();
        EXPECT_FALSE(dialog->isVisible()) << c.name;
        EXPECT_EQ(dialog->result(), 1) << c.name;
        EXPECT_EQ(link.calls, Calls{}) << c.name;
    }
}

// Ok, then the window's close in the same event batch, before the format
// dialog's loop has returned: the program has ended, nothing goes out.
TEST_F(MainDialogTest, FormatOkFollowedByTheWindowsCloseSendsNothing) {
    connectAndConfigure();
    link.calls.clear();
    onNextModal(
        [&](QWidget* w) {
            ASSERT_TRUE(clickChild(asFormatDialog(w), QStringLiteral("IDC_1")));
            dialog->close();
        },
        dialog.get());
    click(DlgMain::IdEncoderFormat);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(link.calls, Calls{});
}

// ---- default buttons and Enter ----------------------------------------------

// The push buttons of `w` that are, or would become on focus, default buttons.
QStringList defaultButtons(QWidget* w) {
    QStringList found;
    for (QPushButton* b : w->findChildren<QPushButton*>()) {
        if (b->isDefault() || b->autoDefault()) found << b->objectName();
    }
    return found;
}

TEST_F(MainDialogTest, NoDialogHasADefaultButton) {
    connectAndConfigure();
    EXPECT_EQ(defaultButtons(dialog.get()).join(" ").toStdString(), "");
    std::map<std::string, QStringList> found;
    auto record = [&](const char* name) {
        onNextModal(
            [&found, name](QWidget* w) {
                found[name] = defaultButtons(w);
                qobject_cast<QDialog*>(w)->reject();
            },
            dialog.get());
    };
    record("format");
    click(DlgMain::IdEncoderFormat);
    record("about");
    click(DlgMain::IdAbout);
    record("flip");
    model.onMeridianFlipQuery(3);
    ASSERT_TRUE(waitUntil([&] { return found.size() == 3; }));
    for (const auto& [name, buttons] : found)
        EXPECT_EQ(buttons.join(" ").toStdString(), "") << name;
}

TEST_F(MainDialogTest, EnterClicksAFocusedButtonAndElsewhereFollowsEachDialog) {
    connectAndConfigure();
    struct Case {
        const char* name;
        const char* focus;  // object name of the control Enter is pressed in
        std::function<void()> open;
        std::string sent;  // how the one request sent begins; empty: none sent
    };
    const Case cases[] = {
        {"main: Connect", "IDC_112", [] {}, "connect 1 9600"},
        {"format: edit means Ok", "IDC_103", [&] { click(DlgMain::IdEncoderFormat); },
         "setEncoderFormat "},
        {"format: Cancel", "IDC_2", [&] { click(DlgMain::IdEncoderFormat); }, ""},
        {"flip: without flip", "IDC_212",
         [&] {
             model.onMeridianFlipQuery(3);
             waitUntil([&] { return !link.calls.empty(); });
         },
         "meridianFlipChoice 1"},
    };
    for (const Case& c : cases) {
        link.calls.clear();
        auto press = [&c](QWidget* w) {
            auto* target = w->findChild<QWidget*>(QString::fromLatin1(c.focus));
            ASSERT_NE(target, nullptr) << c.name;
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Return);
            if (w->isVisible() && w->isModal()) qobject_cast<QDialog*>(w)->reject();
        };
        if (QString::fromLatin1(c.name).startsWith(QStringLiteral("main"))) {
            QApplication::setActiveWindow(dialog.get());
            press(dialog.get());
        } else {
            onNextModal(press, dialog.get());
            c.open();
        }
        if (c.sent.empty()) {
            EXPECT_EQ(link.calls, Calls{}) << c.name;
        } else {
            ASSERT_EQ(link.calls.size(), 1u) << c.name;
            EXPECT_EQ(link.calls[0].rfind(c.sent, 0), 0u) << c.name << ": " << link.calls[0];
        }
    }
}

}  // namespace
}  // namespace zr8::ui

#include "dlg_main_test.moc"
