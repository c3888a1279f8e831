// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Driving native dialogs from a test on their own thread: pumping the
// thread's messages until a condition holds, reading and clicking controls
// by identifier, and acting on a modal dialog from inside the loop that runs
// it (a thread timer looks for it by caption).

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace zr8::win32test {

// Runs this thread's messages (through `dialog`'s keyboard handling, if
// given) until `done` holds or `timeoutMs` passed; true when it holds.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000, HWND dialog = nullptr);

// Once a visible, enabled (so not covered by a modal one) dialog of this
// thread with `caption` exists, `action` is
// called with it from whatever message loop runs then (a modal dialog's
// own, typically). Actions run one after another, in the order given.
void whenDialogOpens(const std::string& caption, std::function<void(HWND)> action);
// Actions given but not yet run.
size_t pendingDialogActions();
void forgetDialogActions();

std::string text(HWND dialog, int id);
void setText(HWND dialog, int id, const std::string& text);
void click(HWND dialog, int id);
bool checked(HWND dialog, int id);
bool enabled(HWND dialog, int id);
// Presses a key in `window` as the keyboard would (through the dialog
// manager of the loop that runs).
void postKey(HWND window, WPARAM key);

// Every text the control was given from now on, in order.
class TextLog {
public:
    TextLog(HWND dialog, int id);
    ~TextLog();
    TextLog(const TextLog&) = delete;
    TextLog& operator=(const TextLog&) = delete;
    const std::vector<std::string>& texts() const { return texts_; }

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND control_;
    std::vector<std::string> texts_;
};

}  // namespace zr8::win32test
