// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program against a misbehaving controller: the operator picks the
// faulty device through "Other device...", sees the right status and the
// right controls, the window keeps answering while the link waits, and a
// connect to the built-in simulated controller afterwards works. Also: a
// storm of clicks while connected, and closing the program while the link
// is busy.

#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "gui_harness.h"
#include "link/manual_move.h"
#include "platform/port_catalogue.h"
#include "program_harness.h"
#include "sim/pty_server.h"
#include "tests/support/line_filler.h"
#include "ui/qt/dlg_main.h"
#include "ui/qt/start_up.h"

namespace zr8::ui {
namespace {

using gui_test::clickChild;
using gui_test::onNextModal;
using gui_test::waitUntil;
using Bytes = std::vector<uint8_t>;
using test::LineFiller;
using namespace program_test;

constexpr int kWaitMs = 10000;

QString status(DlgMain* d) { return text(d, DlgMain::IdStatusLine); }

// Every control that waits for a configuration is enabled (true) or none is (false).
bool controlsEnabled(DlgMain* d, bool enabled) {
    for (int id : DlgMain::kControlList) {
        if (control(d, id)->isEnabled() != enabled) return false;
    }
    return true;
}

bool showsStatus(DlgMain* d, const char* expected, int timeoutMs = kWaitMs) {
    return waitUntil([&] { return status(d) == QLatin1String(expected); }, timeoutMs);
}

// Types `path` into "Other device...", as the operator does for a device the
// scan did not find.
void chooseDevice(DlgMain* d, const std::string& path) {
    auto* list = control<QComboBox>(d, DlgMain::IdPortList);
    onNextModal(
        [&](QWidget* w) {
            auto* input = qobject_cast<QInputDialog*>(w);
            ASSERT_NE(input, nullptr);
            input->setTextValue(QString::fromStdString(path));
            input->accept();
        },
        d);
    emit list->activated(list->count() - 1);
    ASSERT_EQ(list->currentText(), QString::fromStdString(path));
}

// Every text the status line showed, in order.
class StatusLog {
public:
    explicit StatusLog(DlgMain* d) {
        QObject::connect(control<QLineEdit>(d, DlgMain::IdStatusLine), &QLineEdit::textChanged,
                         &context_, [this](const QString& t) { texts.push_back(t.toStdString()); });
    }
    std::vector<std::string> texts;

private:
    QObject context_;
};

// Measures how long the event loop ever went without running a 10 ms timer.
class Responsiveness {
public:
    Responsiveness() {
        clock_.start();
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longestGapMs = std::max(longestGapMs, now - last_);
            last_ = now;
            ++fired;
        });
        timer_.start();
    }
    int fired = 0;
    qint64 longestGapMs = 0;

private:
    QElapsedTimer clock_;
    qint64 last_ = 0;
    QTimer timer_;
};

// The window answers a click while the link is busy: the baud box toggles
// and toggles back.
void expectAnswersClicks(DlgMain* d) {
    auto* baud = control<QCheckBox>(d, DlgMain::IdBaud115200);
    const bool before = baud->isChecked();
    ASSERT_TRUE(click(d, DlgMain::IdBaud115200));
    EXPECT_NE(baud->isChecked(), before);
    ASSERT_TRUE(click(d, DlgMain::IdBaud115200));
    EXPECT_EQ(baud->isChecked(), before);
}

constexpr const char* kOpening = "Opening port, please wait...";
constexpr const char* kConnecting = "Connecting...";
constexpr const char* kConnected = "Connection established.";

void connectTo(DlgMain* d, sim::PtyServer& controller) {
    chooseDevice(d, controller.slavePath());
    ASSERT_TRUE(click(d, DlgMain::IdConnect));
    ASSERT_TRUE(showsStatus(d, kConnected));
}

// Reads until the reading fields show words, asking again every 600 ms (more
// than two of the program's ticks) as an operator would when nothing comes.
bool readUntilShown(DlgMain* d) {
    control<QLineEdit>(d, DlgMain::IdRaRaw)->clear();
    QElapsedTimer sinceAsked;
    sinceAsked.start();
    click(d, DlgMain::IdReadEncoders);
    return waitUntil(
        [&] {
            if (sinceAsked.elapsed() > 600) {
                click(d, DlgMain::IdReadEncoders);
                sinceAsked.restart();
            }
            return !text(d, DlgMain::IdRaRaw).isEmpty();
        },
        kWaitMs);
}

void expectReadingOf(DlgMain* d, const sim::PtyServer& controller) {
    const sim::MountSnapshot mount = controller.snapshot();
    EXPECT_EQ(text(d, DlgMain::IdRaRaw), QString::number(mount.ra.encoderWord));
    EXPECT_EQ(text(d, DlgMain::IdDecRaw), QString::number(mount.dec.encoderWord));
}

struct GuiFaultCase {
    const char* name;
    sim::FaultConfig faults;
    // What the status line shows from Connect on, in order.
    std::vector<std::string> statuses;
    bool controlsEnabled;
    // Run once the last status shows; may add statuses of its own.
    std::function<void(DlgMain*, sim::PtyServer&)> then;
};

void PrintTo(const GuiFaultCase& c, std::ostream* out) { *out << c.name; }

sim::FaultConfig fault(void (*set)(sim::FaultConfig&)) {
    sim::FaultConfig f;
    set(f);
    return f;
}

const std::vector<GuiFaultCase>& guiFaultCases() {
    static const std::vector<GuiFaultCase> cases = {
        // The operator gives up on a controller that does not answer.
        {"Silence",
         fault([](auto& f) { f.silent = true; }),
         {kOpening, kConnecting, "Connection closed"},
         false,
         nullptr},
        {"WrongIdentify",
         fault([](auto& f) { f.wrongIdentify = true; }),
         {kOpening, kConnecting, "Error: Not supported device"},
         false,
         nullptr},
        {"DelayedReplies",
         fault([](auto& f) { f.replyDelayMs = 80; }),
         {kOpening, kConnecting, kConnected},
         true,
         [](DlgMain* d, sim::PtyServer& c) {
             ASSERT_TRUE(readUntilShown(d));
             expectReadingOf(d, c);
         }},
        {"ByteByByte",
         fault([](auto& f) { f.byteByByte = true; }),
         {kOpening, kConnecting, kConnected},
         true,
         [](DlgMain* d, sim::PtyServer& c) {
             ASSERT_TRUE(readUntilShown(d));
             expectReadingOf(d, c);
         }},
        {"Noise",
         fault([](auto& f) { f.noise = true; }),
         {kOpening, kConnecting, kConnected},
         true,
         [](DlgMain* d, sim::PtyServer& c) {
             ASSERT_TRUE(readUntilShown(d));
             expectReadingOf(d, c);
         }},
        // The first reading is cut short; the one the operator asks for next
        // must be the controller's, not a mix of two replies.
        {"TruncatedReading",
         fault([](auto& f) { f.truncateReplyNumber = 8; }),
         {kOpening, kConnecting, kConnected},
         true,
         [](DlgMain* d, sim::PtyServer& c) {
             ASSERT_TRUE(readUntilShown(d));
             EXPECT_GE(c.repliesSent(), 9u);
             expectReadingOf(d, c);
         }},
        {"HangUp",
         fault([](auto& f) { f.hangUpAfterFrames = 8; }),
         {kOpening, kConnecting, kConnected},
         true,
         [](DlgMain* d, sim::PtyServer&) {
             ASSERT_TRUE(click(d, DlgMain::IdReadEncoders));
             ASSERT_TRUE(showsStatus(d, "Error: Connection to the device lost."));
             ASSERT_TRUE(click(d, DlgMain::IdReadEncoders));
             EXPECT_TRUE(showsStatus(d, "Error: Not connected yet"));
             EXPECT_TRUE(controlsEnabled(d, true));  // nothing is disabled again
         }},
    };
    return cases;
}

class ProgramFaults : public ::testing::TestWithParam<GuiFaultCase> {};

TEST_P(ProgramFaults, StatusControlsResponsivenessAndTheNextConnect) {
    const GuiFaultCase& c = GetParam();
    sim::PtyServer faulty({}, c.faults);
    ASSERT_TRUE(faulty.start());
    EXPECT_EQ(
        runWith([&](DlgMain* d) {
            StatusLog log(d);
            Responsiveness probe;
            chooseDevice(d, faulty.slavePath());
            ASSERT_TRUE(click(d, DlgMain::IdConnect));
            ASSERT_TRUE(showsStatus(d, kConnecting));
            // While the link waits for the controller.
            expectAnswersClicks(d);
            EXPECT_TRUE(controlsEnabled(d, false));
            if (std::string(c.name) == "Silence") {
                // The identify frame went out and the link waits for its answer.
                ASSERT_TRUE(waitUntil([&] { return !faulty.receivedFrames().empty(); }, kWaitMs));
                ASSERT_TRUE(click(d, DlgMain::IdDisconnect));
            }
            ASSERT_TRUE(waitUntil([&] { return log.texts.size() >= c.statuses.size(); }, kWaitMs))
                << ::testing::PrintToString(log.texts);
            EXPECT_EQ(std::vector<std::string>(
                          log.texts.begin(),
                          log.texts.begin() + static_cast<std::ptrdiff_t>(c.statuses.size())),
                      c.statuses);
            EXPECT_TRUE(controlsEnabled(d, c.controlsEnabled));
            if (c.then) c.then(d, faulty);
            EXPECT_GT(probe.fired, 10);
            EXPECT_LT(probe.longestGapMs, 2000) << "the window stood still";
            std::printf("%s: timer fired %d times, longest gap %lld ms\n", c.name, probe.fired,
                        static_cast<long long>(probe.longestGapMs));

            // The operator tries again, on the built-in simulated controller.
            if (c.controlsEnabled && status(d) != QLatin1String("Error: Not connected yet")) {
                ASSERT_TRUE(click(d, DlgMain::IdDisconnect));
                ASSERT_TRUE(showsStatus(d, "Connection closed"));
            }
            chooseSimulator(d);
            log.texts.clear();
            ASSERT_TRUE(click(d, DlgMain::IdConnect));
            ASSERT_TRUE(showsStatus(d, kConnected)) << status(d).toStdString();
            EXPECT_EQ(log.texts, (std::vector<std::string>{kOpening, kConnecting, kConnected}));
            EXPECT_TRUE(controlsEnabled(d, true));
        }),
        0);
}

INSTANTIATE_TEST_SUITE_P(Faults, ProgramFaults, ::testing::ValuesIn(guiFaultCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a storm of clicks ------------------------------------------------------

Bytes le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

TEST(ProgramStorm, ThousandsOfClicksReachTheControllerWholeAndInOrder) {
    constexpr int kClicks = 5000;
    sim::PtyServer controller;
    ASSERT_TRUE(controller.start());
    const sim::ControllerSettings settings = controller.snapshot().settings;
    MountConfig mount;  // what manual speeds are made from
    mount.raBaseSpeed = settings.ra.baseSpeed;
    mount.raMaxSpeed = settings.ra.baseSpeed * settings.ra.speedFactor;
    mount.decBaseSpeed = settings.dec.baseSpeed;
    mount.decMaxSpeed = settings.dec.baseSpeed * settings.dec.speedFactor;

    EXPECT_EQ(
        runWith([&](DlgMain* d) {
            ASSERT_NO_FATAL_FAILURE(connectTo(d, controller));
            const size_t connectFrames = controller.receivedFrames().size();
            auto* speed = control<QSlider>(d, DlgMain::IdSpeed);
            auto* raReverse = control<QCheckBox>(d, DlgMain::IdRaReverseMotor);
            auto* decReverse = control<QCheckBox>(d, DlgMain::IdDecReverseMotor);
            struct Arrow {
                int id;
                uint8_t direction;  // as the window's compass labels place them
            };
            const Arrow arrows[] = {{DlgMain::IdUp, DirectionNorth},
                                    {DlgMain::IdDown, DirectionSouth},
                                    {DlgMain::IdLeft, DirectionEast},
                                    {DlgMain::IdRight, DirectionWest}};

            std::mt19937 random(11);
            std::vector<Bytes> expected;
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < kClicks; ++i) {
                switch (random() % 6) {
                case 0: {
                    const Arrow& a = arrows[random() % 4];
                    speed->setValue(static_cast<int>(random() % 32));
                    ASSERT_TRUE(click(d, a.id));
                    const ManualMoveCommand move =
                        manualMoveFor(a.direction, static_cast<uint8_t>(speed->value()), mount);
                    Bytes frame{0xAA, 0x07, 0x23, 0x00, move.axisMask};
                    const Bytes speedBytes = le32(static_cast<uint32_t>(move.speed));
                    frame.insert(frame.end(), speedBytes.begin(), speedBytes.end());
                    expected.push_back(frame);
                    break;
                }
                case 1:
                    ASSERT_TRUE(click(d, DlgMain::IdStop));
                    expected.push_back({0xAA, 0x03, 0x21, 0x00, 0xC0});
                    break;
                case 2: {
                    const bool on = random() % 2 == 0;
                    ASSERT_TRUE(click(d, on ? DlgMain::IdTrackOn : DlgMain::IdTrackOff));
                    expected.push_back({0xAA, 0x03, 0x24, 0x00, static_cast<uint8_t>(on ? 1 : 0)});
                    break;
                }
                case 3:
                    ASSERT_TRUE(click(d, DlgMain::IdReadEncoders));
                    expected.push_back({0xAA, 0x02, 0x7A, 0x01});
                    break;
                default: {
                    const bool ra = random() % 2 == 0;
                    ASSERT_TRUE(
                        click(d, ra ? DlgMain::IdRaReverseMotor : DlgMain::IdDecReverseMotor));
                    const auto bits = static_cast<uint8_t>((raReverse->isChecked() ? 1 : 0) |
                                                           (decReverse->isChecked() ? 2 : 0));
                    expected.push_back({0xAA, 0x05, 0x32, 0x00, 0xC0, bits, settings.motorOption});
                    break;
                }
                }
            }
            const qint64 clickedMs = clock.elapsed();
            ASSERT_TRUE(waitUntil(
                [&] {
                    return controller.waitForFrames(connectFrames + expected.size(),
                                                    std::chrono::milliseconds(0));
                },
                60000))
                << controller.receivedFrames().size();
            const qint64 arrivedMs = clock.elapsed();
            const auto frames = controller.receivedFrames();
            ASSERT_EQ(frames.size(), connectFrames + expected.size());
            for (size_t i = 0; i < expected.size(); ++i) {
                ASSERT_EQ(frames[connectFrames + i], expected[i]) << "click " << i;
            }
            EXPECT_EQ(controller.snapshot().framesIgnored, 0u);
            std::printf(
                "click storm: %d clicks in %lld ms, all frames at the controller after %lld ms\n",
                kClicks, static_cast<long long>(clickedMs), static_cast<long long>(arrivedMs));
            // Still answering.
            ASSERT_TRUE(readUntilShown(d));
        }),
        0);
}

// ---- closing while the link is busy ------------------------------------------

// Fails the test run instead of hanging it when the program never returns.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!changed_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "the program did not end within %lld s\n",
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

struct ClosingCase {
    const char* name;
    sim::FaultConfig faults;
    // Brings the program to the busy moment; the window is closed right after.
    std::function<void(DlgMain*, sim::PtyServer&, LineFiller&)> busy;
};

void PrintTo(const ClosingCase& c, std::ostream* out) { *out << c.name; }

constexpr int kConnectFrameCount = 7;

const std::vector<ClosingCase>& closingCases() {
    static const std::vector<ClosingCase> cases = {
        // Waiting for the answer to identify.
        {"Connect", fault([](auto& f) { f.silent = true; }),
         [](DlgMain* d, sim::PtyServer& c, LineFiller&) {
             chooseDevice(d, c.slavePath());
             ASSERT_TRUE(click(d, DlgMain::IdConnect));
             ASSERT_TRUE(waitUntil([&] { return !c.receivedFrames().empty(); }, kWaitMs));
         }},
        // Moving at the top speed, the mount slewing by hand.
        {"Slew",
         {},
         [](DlgMain* d, sim::PtyServer& c, LineFiller&) {
             connectTo(d, c);
             control<QSlider>(d, DlgMain::IdSpeed)->setValue(rules::main_ids::kSpeedMax);
             ASSERT_TRUE(click(d, DlgMain::IdRight));
             ASSERT_TRUE(waitUntil(
                 [&] { return c.snapshot().ra.state.status == sim::MotionStatus::Manual; },
                 kWaitMs));
         }},
        // Half of the reading's reply has come, the rest never will.
        {"Read", fault([](auto& f) { f.truncateReplyNumber = kConnectFrameCount + 1; }),
         [](DlgMain* d, sim::PtyServer& c, LineFiller&) {
             connectTo(d, c);
             ASSERT_TRUE(click(d, DlgMain::IdReadEncoders));
             ASSERT_TRUE(waitUntil(
                 [&] {
                     return c.waitForReplies(kConnectFrameCount + 1, std::chrono::milliseconds(0));
                 },
                 kWaitMs));
         }},
        // A frame write waits for room on a line the controller stopped reading.
        {"PendingWrite", fault([](auto& f) { f.stallReadsAfterFrames = kConnectFrameCount; }),
         [](DlgMain* d, sim::PtyServer& c, LineFiller& filler) {
             connectTo(d, c);
             ASSERT_TRUE(filler.fill());
             ASSERT_TRUE(click(d, DlgMain::IdSetCalibration));
             // A tenth of the write's 1000 ms limit: its wait is under way.
             QElapsedTimer clock;
             clock.start();
             waitUntil([&] { return clock.elapsed() >= 100; });
         }},
    };
    return cases;
}

class ProgramClosing : public ::testing::TestWithParam<ClosingCase> {};

TEST_P(ProgramClosing, EndsWithZeroPromptly) {
    const ClosingCase& c = GetParam();
    sim::PtyServer controller({}, c.faults);
    ASSERT_TRUE(controller.start());
    LineFiller filler(controller.slavePath());
    ASSERT_TRUE(filler.ok());
    Watchdog watchdog(std::chrono::seconds(30));
    QElapsedTimer sinceClose;
    const int result = runWith([&](DlgMain* d) {
        c.busy(d, controller, filler);
        sinceClose.start();
        d->close();
    });
    const double tookMs =
        sinceClose.isValid() ? static_cast<double>(sinceClose.nsecsElapsed()) / 1e6 : -1;
    EXPECT_EQ(result, 0);
    ASSERT_GE(tookMs, 0) << "never got to the busy moment";
    EXPECT_LT(tookMs, 5000);
    std::printf("closing during %s: %.2f ms from close to the end of start-up\n", c.name, tookMs);
}

INSTANTIATE_TEST_SUITE_P(Busy, ProgramClosing, ::testing::ValuesIn(closingCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zr8::ui
