// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows program as a whole: in this process over the real link (the
// built-in simulator, and zr8-sim behind a Wine COM port), and as a process
// of its own for closing it in every state.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/app_model.h"
#include "app/heart_beat.h"
#include "link/comm_control.h"
#include "platform/port_catalogue.h"
#include "sim/built_in_simulator.h"
#include "sim/in_process_line.h"
#include "ui/rules/control_ids.h"
#include "ui/rules/dialog_texts.h"
#include "ui/rules/main_dialog_fields.h"
#include "ui/rules/port_list.h"
#include "ui/win32/dialog_items.h"
#include "ui/win32/dlg_main.h"
#include "win32_harness.h"

namespace zr8::win32 {
namespace {

using namespace rules::main_ids;
using namespace win32test;

// The objects start-up wires, wired the same way, around a dialog made
// without a loop of its own.
class Program {
public:
    explicit Program(std::shared_ptr<sim::InProcessLine> line) : line_(std::move(line)) {
        ports.addProvidedStream(sim::kBuiltInSimulatorName, [this](std::string&) {
            line_->attach();
            return line_;
        });
        link = std::make_unique<CommControl>(model, model, model.encoderConfig(), ports);
        model.setLink(link.get());
        heartbeat.setListener(link.get());
        dialog = std::make_unique<DlgMain>(::GetModuleHandleW(nullptr), *link, model, ports);
        model.setCallback(&dialog->callback());
        model.setSink(dialog.get());
        heartbeat.start();
        window = dialog->create();
        statusLog = std::make_unique<TextLog>(window, IdStatusLine);
    }
    ~Program() {
        forgetDialogActions();
        statusLog.reset();
        model.setCallback(nullptr);
        heartbeat.clearListener();
        link->shutdown();
        model.setSink(nullptr);
        dialog.reset();
        link.reset();
        heartbeat.stop();
    }

    bool waitForStatus(const std::string& status, int timeoutMs = 15000) {
        return pumpUntil([&] { return text(window, IdStatusLine) == status; }, timeoutMs, window);
    }

    // Status texts so far, each change once.
    std::vector<std::string> statuses() const {
        std::vector<std::string> changes;
        for (const std::string& t : statusLog->texts()) {
            if (changes.empty() || changes.back() != t) changes.push_back(t);
        }
        return changes;
    }

    std::shared_ptr<sim::InProcessLine> line_;
    PortCatalogue ports{[] { return std::vector<DetectedDevice>{}; }};
    HeartBeat heartbeat;
    AppModel model;
    std::unique_ptr<CommControl> link;
    std::unique_ptr<DlgMain> dialog;
    HWND window = nullptr;
    std::unique_ptr<TextLog> statusLog;
};

const std::vector<std::string> kConnectStatuses{"Opening port, please wait...", "Connecting...",
                                                "Connection established."};

// The configuration zr8-sim starts with, as the dialog shows it.
void expectDefaultConfiguration(HWND window) {
    const std::pair<int, const char*> shown[] = {
        {IdRaGearRatio, "270"},      {IdDecGearRatio, "270"},
        {IdRaMicrosteps, "1728000"}, {IdDecMicrosteps, "1728000"},
        {IdRaBitsPerRev, "25"},      {IdRaCountsPerRev, "33554432"},
        {IdDecBitsPerRev, "25"},     {IdDecCountsPerRev, "33554432"},
        {IdRaOffset, "0"},           {IdDecOffset, "0"},
    };
    for (const auto& [id, value] : shown) EXPECT_EQ(text(window, id), value) << id;
    for (int id : kControlList) EXPECT_TRUE(enabled(window, id)) << id;
}

// Raw words, arcseconds and angles, consistent with each other.
void expectReading(HWND window) {
    for (const auto& [raw, arcsec, dms] :
         {std::tuple{IdRaRaw, IdRaArcsec, IdRaDms}, std::tuple{IdDecRaw, IdDecArcsec, IdDecDms}}) {
        const std::string arcseconds = text(window, arcsec);
        ASSERT_FALSE(text(window, raw).empty());
        ASSERT_FALSE(arcseconds.empty());
        const int32_t value = static_cast<int32_t>(std::stoul(arcseconds));
        EXPECT_EQ(text(window, dms), rules::angleText(value));
        EXPECT_EQ(text(window, dms).size(), value >= 360000 ? 10u : 9u);
    }
}

TEST(Program, ConnectsToTheBuiltInSimulatorShowsItsConfigurationAndReadsTheEncoders) {
    auto line = std::make_shared<sim::InProcessLine>();
    Program program(line);
    HWND w = program.window;
    EXPECT_EQ(text(w, IdPortList), sim::kBuiltInSimulatorName);
    click(w, IdConnect);
    ASSERT_TRUE(program.waitForStatus("Connection established."));
    EXPECT_EQ(program.statuses(), kConnectStatuses);
    EXPECT_EQ(text(w, IdSecondStatus), rules::kSimulatedControllerText);
    expectDefaultConfiguration(w);

    click(w, IdReadEncoders);
    ASSERT_TRUE(pumpUntil([&] { return !text(w, IdDecDms).empty(); }, 5000, w));
    expectReading(w);
    // The raw words are what the controller reads out (its mount stands still).
    const sim::MountSnapshot mount = line->snapshot();
    EXPECT_EQ(text(w, IdRaRaw), std::to_string(mount.ra.encoderWord));
    EXPECT_EQ(text(w, IdDecRaw), std::to_string(mount.dec.encoderWord));

    click(w, IdDisconnect);
    ASSERT_TRUE(program.waitForStatus("Connection closed"));
    EXPECT_EQ(text(w, IdSecondStatus), "");
}

TEST(Program, ConnectsToZr8SimOnAComPortTypedAsOtherDevice) {
    const char* port = std::getenv("ZR8_SIM_PORT");
    if (port == nullptr) GTEST_SKIP() << "no simulated controller on a COM port (ZR8_SIM_PORT)";
    Program program(std::make_shared<sim::InProcessLine>());
    HWND w = program.window;
    const std::string typed = port;
    whenDialogOpens(rules::kDevicePathTitle, [&](HWND prompt) {
        setText(prompt, 1001, typed);
        click(prompt, IDOK);
    });
    const auto other =
        ::SendDlgItemMessageW(w, IdPortList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(wide(rules::kOtherDeviceLabel).c_str()));
    ::SendDlgItemMessageW(w, IdPortList, CB_SETCURSEL, static_cast<WPARAM>(other), 0);
    ::SendMessageW(w, WM_COMMAND, MAKEWPARAM(IdPortList, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(::GetDlgItem(w, IdPortList)));
    ASSERT_EQ(text(w, IdPortList), typed);
    click(w, IdBaud115200);
    click(w, IdConnect);
    ASSERT_TRUE(program.waitForStatus("Connection established."));
    EXPECT_EQ(program.statuses(), kConnectStatuses);
    EXPECT_EQ(text(w, IdSecondStatus), typed + ", 115200 baud");
    expectDefaultConfiguration(w);
    click(w, IdReadEncoders);
    ASSERT_TRUE(pumpUntil([&] { return !text(w, IdDecDms).empty(); }, 5000, w));
    expectReading(w);
    click(w, IdDisconnect);
    ASSERT_TRUE(program.waitForStatus("Connection closed"));
}

// ---- the program as a process ----------------------------------------------------

std::wstring programPath() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    // build/tests/win32/this.exe -> build/ui/win32/zr8-setup.exe
    for (int up = 0; up < 3; ++up) path = path.substr(0, path.find_last_of(L"\\/"));
    return path + L"\\ui\\win32\\zr8-setup.exe";
}

class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& arguments = L"") {
        std::wstring command = L"\"" + programPath() + L"\"" + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &startup, &process_) != FALSE;
        if (started_) ::WaitForInputIdle(process_.hProcess, 10000);
    }
    ~RunningProgram() {
        if (!started_) return;
        if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.hProcess, 99);
            ::WaitForSingleObject(process_.hProcess, 10000);
        }
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }

    bool started() const { return started_; }

    // The process's visible dialog with `caption`.
    HWND findWindow(const std::string& caption, int timeoutMs = 10000) const {
        struct Search {
            DWORD pid;
            std::string caption;
            HWND found = nullptr;
        } search{process_.dwProcessId, caption};
        pumpUntil(
            [&] {
                ::EnumWindows(
                    [](HWND window, LPARAM context) -> BOOL {
                        auto* s = reinterpret_cast<Search*>(context);
                        DWORD pid = 0;
                        ::GetWindowThreadProcessId(window, &pid);
                        if (pid == s->pid && ::IsWindowVisible(window) &&
                            windowText(window) == s->caption) {
                            s->found = window;
                            return FALSE;
                        }
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&search));
                return search.found != nullptr;
            },
            timeoutMs);
        return search.found;
    }

    bool waitForText(HWND window, int id, const std::string& wanted, int timeoutMs = 15000) const {
        return pumpUntil([&] { return text(window, id) == wanted; }, timeoutMs);
    }

    // The exit code once it ended, or -1 when it was still running after `timeoutMs`.
    long exitCode(int timeoutMs = 10000) const {
        if (::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) !=
            WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<long>(code);
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

enum class Busy { Connecting, Moving, AboutOpen, FormatOpen, PortPromptOpen };

class ProgramClosing : public ::testing::TestWithParam<Busy> {};

TEST_P(ProgramClosing, EndsWithZero) {
    RunningProgram program;
    ASSERT_TRUE(program.started());
    HWND w = program.findWindow(rules::mainDialogCaption());
    ASSERT_NE(w, nullptr);
    auto connect = [&] {
        ::PostMessageW(::GetDlgItem(w, IdConnect), BM_CLICK, 0, 0);
        return program.waitForText(w, IdStatusLine, "Connection established.");
    };
    switch (GetParam()) {
    case Busy::Connecting:
        ::PostMessageW(::GetDlgItem(w, IdConnect), BM_CLICK, 0, 0);
        ASSERT_TRUE(program.waitForText(w, IdStatusLine, "Connecting..."));
        break;
    case Busy::Moving:
        ASSERT_TRUE(connect());
        ::PostMessageW(::GetDlgItem(w, IdUp), BM_CLICK, 0, 0);
        ASSERT_TRUE(program.waitForText(w, IdStatusLine, "Manual movement"));
        break;
    case Busy::AboutOpen:
        ::PostMessageW(::GetDlgItem(w, IdAbout), BM_CLICK, 0, 0);
        ASSERT_NE(program.findWindow(rules::kAboutCaption), nullptr);
        break;
    case Busy::FormatOpen:
        ASSERT_TRUE(connect());
        ::PostMessageW(::GetDlgItem(w, IdEncoderFormat), BM_CLICK, 0, 0);
        ASSERT_NE(program.findWindow("Encoder setup"), nullptr);
        break;
    case Busy::PortPromptOpen: {
        const auto rows = ::SendDlgItemMessageW(w, IdPortList, CB_GETCOUNT, 0, 0);
        ::SendDlgItemMessageW(w, IdPortList, CB_SETCURSEL, static_cast<WPARAM>(rows - 1), 0);
        ::PostMessageW(w, WM_COMMAND, MAKEWPARAM(IdPortList, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(::GetDlgItem(w, IdPortList)));
        ASSERT_NE(program.findWindow(rules::kDevicePathTitle), nullptr);
        break;
    }
    }
    ::PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(), 0);
}

std::string busyName(const ::testing::TestParamInfo<Busy>& info) {
    static const char* const kNames[] = {"Connecting", "Moving", "AboutOpen", "FormatOpen",
                                         "PortPromptOpen"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Busy, ProgramClosing,
                         ::testing::Values(Busy::Connecting, Busy::Moving, Busy::AboutOpen,
                                           Busy::FormatOpen, Busy::PortPromptOpen),
                         busyName);

TEST(ProgramCommandLine, ArgumentsChangeNothing) {
    RunningProgram program(L" -reverse -style fusion /s COM9");
    ASSERT_TRUE(program.started());
    HWND w = program.findWindow(rules::mainDialogCaption());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
    EXPECT_EQ(text(w, IdStatusLine), "");
    EXPECT_EQ(text(w, IdPortList), sim::kBuiltInSimulatorName);
    EXPECT_FALSE(checked(w, IdBaud115200));
    ::PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
}  // namespace zr8::win32
