// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program in this process: start-up wires the dialog to the
// running link, whose worker and serial reader threads talk to the built-in
// simulated controller on a pseudo-terminal. The tests drive the window from
// inside its own modal loop and close it at different moments; start-up must
// always come back with 0 and leave no thread behind.

#include "ui/qt/start_up.h"
#include "program_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <future>
#include <vector>

#include <functional>

#include "gui_harness.h"
#include "platform/port_catalogue.h"
#include "ui/qt/dlg_main.h"

namespace zr8::ui {
namespace {

using gui_test::clickChild;
using gui_test::onNextModal;
using gui_test::waitUntil;
using namespace program_test;

// Raw words, arcseconds and angles agree: 25 bits and 1296000 arcseconds per turn.
void expectConsistentReadings(DlgMain* d) {
    const QRegularExpression dms(QStringLiteral("^[+-]\\d{2,3}:\\d{2}:\\d{2}$"));
    for (int row : {DlgMain::IdRaRaw, DlgMain::IdDecRaw}) {
        bool ok = false;
        const qulonglong raw = text(d, row).toULongLong(&ok);
        ASSERT_TRUE(ok) << row;
        const qulonglong arcsec = text(d, row + 1).toULongLong(&ok);
        ASSERT_TRUE(ok) << row;
        EXPECT_EQ(arcsec, raw * 1296000ull / (1ull << 25)) << row;
        const QString angle = text(d, row + 2);
        EXPECT_TRUE(dms.match(angle).hasMatch()) << angle.toStdString();
        const QString expected = QStringLiteral("+%1:%2:%3")
                                     .arg(arcsec / 3600, 2, 10, QLatin1Char('0'))
                                     .arg(arcsec % 3600 / 60, 2, 10, QLatin1Char('0'))
                                     .arg(arcsec % 60, 2, 10, QLatin1Char('0'));
        EXPECT_EQ(angle, expected) << row;
    }
}

TEST(StartUp, AListingMadeAheadFillsThePortList) {
    std::promise<std::vector<DetectedDevice>> listing;
    listing.set_value({{"/dev/ttyUSB9", "Made ahead"}});
    EXPECT_EQ(runWith(
                  [](DlgMain* d) {
                      auto* list = control<QComboBox>(d, DlgMain::IdPortList);
                      EXPECT_GE(list->findText(QStringLiteral("/dev/ttyUSB9 - Made ahead")), 0);
                      // A device was found, so it is chosen over the simulator.
                      EXPECT_EQ(list->currentText(), QStringLiteral("/dev/ttyUSB9 - Made ahead"));
                  },
                  listing.get_future()),
              0);
}

TEST(StartUp, ClosingBeforeConnectingEndsWithZero) {
    EXPECT_EQ(runWith([](DlgMain* d) {
                  EXPECT_TRUE(text(d, DlgMain::IdStatusLine).isEmpty());
                  EXPECT_FALSE(enabled(d, DlgMain::IdReadEncoders));
              }),
              0);
}

TEST(StartUp, ConnectingToTheSimulatedControllerFillsTheConfigurationAndReadsEncoders) {
    EXPECT_EQ(
        runWith([](DlgMain* d) {
            ASSERT_NO_FATAL_FAILURE(connectToSimulator(d));
            for (int id : DlgMain::kControlList) EXPECT_TRUE(enabled(d, id)) << id;
            // The simulator's factory setup: 270:1 worm, 200-step motors at 32
            // microsteps, 25-bit encoders.
            EXPECT_EQ(text(d, DlgMain::IdRaGearRatio), QStringLiteral("270"));
            EXPECT_EQ(text(d, DlgMain::IdDecGearRatio), QStringLiteral("270"));
            EXPECT_EQ(text(d, DlgMain::IdRaMicrosteps), QStringLiteral("1728000"));
            EXPECT_EQ(text(d, DlgMain::IdRaBitsPerRev), QStringLiteral("25"));
            EXPECT_EQ(text(d, DlgMain::IdRaCountsPerRev), QStringLiteral("33554432"));
            EXPECT_FALSE(text(d, DlgMain::IdRaOffset).isEmpty());

            ASSERT_TRUE(click(d, DlgMain::IdReadEncoders));
            ASSERT_TRUE(waitUntil([&] { return !text(d, DlgMain::IdDecDms).isEmpty(); }, 10000));
            expectConsistentReadings(d);

            // Move north at full speed until a reading shows the Dec encoder turned, then stop.
            const QString decBefore = text(d, DlgMain::IdDecRaw);
            d->findChild<QSlider*>(QStringLiteral("IDC_145"))->setValue(31);
            ASSERT_TRUE(click(d, DlgMain::IdUp));
            int polls = 0;
            EXPECT_TRUE(waitUntil(
                [&] {
                    if (polls++ % 20 == 0) click(d, DlgMain::IdReadEncoders);  // about every 100 ms
                    return text(d, DlgMain::IdDecRaw) != decBefore;
                },
                10000));
            ASSERT_TRUE(click(d, DlgMain::IdStop));
            EXPECT_TRUE(waitUntil(
                [&] { return text(d, DlgMain::IdStatusLine) == QStringLiteral("Ready"); }, 10000));
            // A fresh reading refills the emptied field.
            d->findChild<QLineEdit*>(QStringLiteral("IDC_603"))->clear();
            ASSERT_TRUE(click(d, DlgMain::IdReadEncoders));
            ASSERT_TRUE(waitUntil([&] { return !text(d, DlgMain::IdDecRaw).isEmpty(); }, 10000));
            EXPECT_NE(text(d, DlgMain::IdDecRaw), decBefore);
            expectConsistentReadings(d);
            const QByteArray shot = qgetenv("ZR8_SCREENSHOT");
            if (!shot.isEmpty()) d->grab().save(QString::fromLocal8Bit(shot));

            // The calibration round trip: the controller confirms.
            ASSERT_TRUE(click(d, DlgMain::IdSetCalibration));
            EXPECT_TRUE(waitUntil(
                [&] {
                    return text(d, DlgMain::IdStatusLine) ==
                           QStringLiteral("Encoder calibration parameters updated.");
                },
                10000))
                << text(d, DlgMain::IdStatusLine).toStdString();

            // After Disconnect the controls stay and the link answers for itself.
            ASSERT_TRUE(click(d, DlgMain::IdDisconnect));
            ASSERT_TRUE(waitUntil(
                [&] {
                    return text(d, DlgMain::IdStatusLine) == QStringLiteral("Connection closed");
                },
                10000));
            ASSERT_TRUE(click(d, DlgMain::IdReadEncoders));
            EXPECT_TRUE(waitUntil(
                [&] {
                    return text(d, DlgMain::IdStatusLine) ==
                           QStringLiteral("Error: Not connected yet");
                },
                10000));
        }),
        0);
}

TEST(StartUp, ClosingWhileTheConnectionIsBeingMadeEndsWithZero) {
    EXPECT_EQ(runWith([](DlgMain* d) {
                  chooseSimulator(d);
                  ASSERT_TRUE(click(d, DlgMain::IdConnect));
                  waitUntil([&] { return !text(d, DlgMain::IdStatusLine).isEmpty(); });
                  d->close();
              }),
              0);
}

TEST(StartUp, ClosingWhileConnectedAndMovingEndsWithZero) {
    EXPECT_EQ(
        runWith([](DlgMain* d) {
            ASSERT_NO_FATAL_FAILURE(connectToSimulator(d));
            ASSERT_TRUE(click(d, DlgMain::IdUp));
            ASSERT_TRUE(waitUntil(
                [&] { return text(d, DlgMain::IdStatusLine) == QStringLiteral("Manual movement"); },
                10000));
            d->close();
        }),
        0);
}

TEST(StartUp, ClosingWhileASecondaryDialogIsOpenEndsWithZero) {
    EXPECT_EQ(runWith([](DlgMain* d) {
                  ASSERT_NO_FATAL_FAILURE(connectToSimulator(d));
                  onNextModal(
                      [d](QWidget* format) {
                          d->close();  // the window's close command, while the format dialog is up
                          clickChild(format, QStringLiteral("IDC_2"));
                      },
                      d);
                  click(d, DlgMain::IdEncoderFormat);
              }),
              0);
}

TEST(StartUp, APortThatCannotBeOpenedSaysWhy) {
    EXPECT_EQ(runWith([](DlgMain* d) {
                  auto* list = d->findChild<QComboBox*>(QStringLiteral("IDC_110"));
                  onNextModal(
                      [](QWidget* w) {
                          auto* input = qobject_cast<QInputDialog*>(w);
                          ASSERT_NE(input, nullptr);
                          input->setTextValue(QStringLiteral("/dev/zr8-no-such-device"));
                          input->accept();
                      },
                      d);
                  emit list->activated(list->count() - 1);
                  ASSERT_EQ(list->currentText(), QStringLiteral("/dev/zr8-no-such-device"));
                  ASSERT_TRUE(click(d, DlgMain::IdConnect));
                  auto* status = d->findChild<QLineEdit*>(QStringLiteral("IDC_114"));
                  ASSERT_TRUE(waitUntil(
                      [&] { return status->text() == QStringLiteral("Error: Cannot open port."); },
                      10000))
                      << status->text().toStdString();
                  EXPECT_TRUE(status->toolTip().contains(QStringLiteral("/dev/zr8-no-such-device")))
                      << status->toolTip().toStdString();
                  EXPECT_FALSE(enabled(d, DlgMain::IdReadEncoders));
              }),
              0);
}

}  // namespace
}  // namespace zr8::ui
