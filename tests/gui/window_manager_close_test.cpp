// SPDX-License-Identifier: GPL-3.0-or-later
// The window manager's close (WM_DELETE_WINDOW) on the main window, under a
// real X server with the CPU kept busy, arriving at a random moment while the
// program is in each state an operator can leave it in: idle or connecting,
// busy, with the port list or a tooltip open, or with a secondary dialog or a
// message box over the main window. Every close must end the program with 0.

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/app_model.h"
#include "gui_harness.h"
#include "program_harness.h"
#include "tests/support/x11/x_server.h"
#include "ui/qt/dlg_main.h"

namespace zr8::ui {
namespace {

using gui_test::waitUntil;
using namespace program_test;

// Longer than any orderly end under load; a close not obeyed by then is lost.
constexpr auto kObeyLimit = std::chrono::seconds(10);
constexpr int kRounds = 2;

// Keeps every core busy while it lives.
class CpuLoad {
public:
    CpuLoad() {
        const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; ++i) {
            spinners_.emplace_back([this] {
                volatile uint64_t n = 0;
                while (!stop_.load(std::memory_order_relaxed)) n = n + 1;
            });
        }
    }
    ~CpuLoad() {
        stop_ = true;
        for (std::thread& t : spinners_) t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> spinners_;
};

struct CloseCase {
    const char* name;
    bool connected;  // connected to the built-in simulator first
    // Brings the state about on the user-interface thread; may run a
    // secondary dialog's loop, which the close must end.
    std::function<void(DlgMain*)> state;
};

void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }

void postFlipQuestion(DlgMain* d) { d->postUserMessage(NotifyMeridianFlip, 3); }

const std::vector<CloseCase>& closeCases() {
    static const std::vector<CloseCase> cases = {
        {"Idle", true, [](DlgMain*) {}},
        {"Connecting", false,
         [](DlgMain* d) {
             chooseSimulator(d);
             click(d, DlgMain::IdConnect);
         }},
        // The window handles no event for a while: the close waits, then ends it.
        {"Busy", true,
         [](DlgMain* d) {
             QElapsedTimer busy;
             busy.start();
             while (busy.elapsed() < 300) click(d, DlgMain::IdReadEncoders);
         }},
        {"PortListOpen", false,
         [](DlgMain* d) { control<QComboBox>(d, DlgMain::IdPortList)->showPopup(); }},
        {"Tooltip", false,
         [](DlgMain* d) {
             QToolTip::showText(d->mapToGlobal(QPoint(20, 20)), QStringLiteral("tip"), d);
         }},
        {"FormatDialog", true, [](DlgMain* d) { click(d, DlgMain::IdEncoderFormat); }},
        {"AboutBox", false, [](DlgMain* d) { click(d, DlgMain::IdAbout); }},
        {"FlipQuestion", false, [](DlgMain* d) { postFlipQuestion(d); }},
        {"FlipQuestionOverFormatDialog", true,
         [](DlgMain* d) {
             postFlipQuestion(d);  // handled inside the format dialog's loop
             click(d, DlgMain::IdEncoderFormat);
         }},
        {"MessageBox", true,
         [](DlgMain* d) {
             control<QLineEdit>(d, DlgMain::IdRaOffset)->setText(QStringLiteral("12x"));
             click(d, DlgMain::IdSetCalibration);  // refused with a message
         }},
        {"OtherDevicePrompt", false,
         [](DlgMain* d) {
             auto* list = control<QComboBox>(d, DlgMain::IdPortList);
             emit list->activated(list->count() - 1);
         }},
    };
    return cases;
}

// Ends whatever is still open when the close was lost, so the test fails
// instead of hanging.
void rescue() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(w);
            dialog && dialog->isVisible() && !qobject_cast<DlgMain*>(w))
            dialog->reject();
    }
    if (DlgMain* d = mainDialog()) d->close();
}

class WindowManagerClose : public ::testing::TestWithParam<CloseCase> {};

TEST_P(WindowManagerClose, EndsTheProgramWithZero) {
    const CloseCase& c = GetParam();
    const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
    CpuLoad load;
    std::mt19937 random(static_cast<unsigned>(std::hash<std::string>{}(c.name)));
    for (int round = 0; round < kRounds; ++round) {
        const auto delay = std::chrono::milliseconds(random() % 400);
        std::mutex mutex;
        std::condition_variable changed;
        bool ended = false;
        bool delivered = false;
        bool lost = false;
        QElapsedTimer sinceClose;
        std::thread windowManager;
        const int result = runWith([&](DlgMain* d) {
            if (c.connected) {
                ASSERT_NO_FATAL_FAILURE(connectToSimulator(d));
            }
            windowManager = std::thread([&, window = static_cast<uint32_t>(d->winId())] {
                x_test::WindowManager manager(display);
                std::this_thread::sleep_for(delay);
                std::unique_lock lock(mutex);
                delivered = manager.ok() && manager.close(window);
                sinceClose.start();
                if (!changed.wait_for(lock, kObeyLimit, [&] { return ended; })) {
                    lost = true;
                    QMetaObject::invokeMethod(qApp, rescue, Qt::QueuedConnection);
                }
            });
            c.state(d);
            waitUntil([&] { return !d->isVisible(); }, 60000);
        });
        {
            std::lock_guard lock(mutex);
            ended = true;
        }
        changed.notify_all();
        if (windowManager.joinable()) windowManager.join();
        EXPECT_EQ(result, 0) << "round " << round;
        EXPECT_TRUE(delivered) << "round " << round;
        EXPECT_FALSE(lost) << "round " << round << ": still running " << kObeyLimit.count()
                           << " s after the close, " << delay.count() << " ms into the state";
        if (sinceClose.isValid()) {
            std::printf("%s, close %lld ms into the state: ended %.1f ms after it\n", c.name,
                        static_cast<long long>(delay.count()),
                        static_cast<double>(sinceClose.nsecsElapsed()) / 1e6);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(States, WindowManagerClose, ::testing::ValuesIn(closeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zr8::ui
