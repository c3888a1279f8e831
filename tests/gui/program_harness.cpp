// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_harness.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <utility>

#include "gui_harness.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "ui/qt/start_up.h"

namespace zr8::ui::program_test {

DlgMain* mainDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<DlgMain*>(w); d != nullptr && d->isVisible()) return d;
    }
    return nullptr;
}

bool click(DlgMain* d, int id) { return gui_test::clickChild(d, QStringLiteral("IDC_%1").arg(id)); }

void chooseSimulator(DlgMain* d) {
    auto* list = control<QComboBox>(d, DlgMain::IdPortList);
    const int index = list->findText(QString::fromLatin1(sim::kBuiltInSimulatorName));
    ASSERT_GE(index, 0);
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void connectToSimulator(DlgMain* d) {
    chooseSimulator(d);
    ASSERT_TRUE(click(d, DlgMain::IdConnect));
    ASSERT_TRUE(gui_test::waitUntil(
        [&] {
            return text(d, DlgMain::IdStatusLine) == QStringLiteral("Connection established.") &&
                   enabled(d, DlgMain::IdReadEncoders);
        },
        10000))
        << text(d, DlgMain::IdStatusLine).toStdString();
}

int runWith(const std::function<void(DlgMain*)>& script, DeviceListing firstListing) {
    bool ran = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        DlgMain* d = mainDialog();
        if (d == nullptr || ran) return;
        ran = true;
        poll.stop();
        script(d);
        if (mainDialog() == d) d->close();
    });
    poll.start();
    const int result = runProgram(std::move(firstListing));
    EXPECT_TRUE(ran);
    return result;
}

}  // namespace zr8::ui::program_test
