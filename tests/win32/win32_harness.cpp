// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32_harness.h"

#include <commctrl.h>

#include <chrono>
#include <deque>
#include <thread>
#include <utility>

#include "ui/win32/dialog_items.h"

namespace zr8::win32test {

namespace {

struct DialogAction {
    std::string caption;
    std::function<void(HWND)> action;
};
std::deque<DialogAction> actions;
UINT_PTR timer = 0;

HWND findDialog(const std::string& caption) {
    struct Search {
        std::string caption;
        HWND found = nullptr;
    } search{caption};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t className[16] = {};
            ::GetClassNameW(window, className, 16);
            // The dialog in front: one that another modal one covers is disabled.
            if (::IsWindowVisible(window) && ::IsWindowEnabled(window) &&
                std::wstring(className) == L"#32770" && win32::windowText(window) == s->caption) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
    // An action may open a dialog of its own (Ok answered by a message box):
    // the next action then runs from inside that one's loop.
    if (actions.empty()) return;
    HWND dialog = findDialog(actions.front().caption);
    if (dialog == nullptr) return;
    DialogAction next = std::move(actions.front());
    actions.pop_front();
    if (actions.empty() && timer != 0) {
        ::KillTimer(nullptr, timer);
        timer = 0;
    }
    next.action(dialog);
}

}  // namespace

bool pumpUntil(const std::function<bool()>& done, int timeoutMs, HWND dialog) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (dialog != nullptr && ::IsWindow(dialog) && ::IsDialogMessageW(dialog, &message)) {
                continue;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void whenDialogOpens(const std::string& caption, std::function<void(HWND)> action) {
    actions.push_back({caption, std::move(action)});
    if (timer == 0) timer = ::SetTimer(nullptr, 0, 10, onTimer);
}

size_t pendingDialogActions() { return actions.size(); }

void forgetDialogActions() {
    actions.clear();
    if (timer != 0) ::KillTimer(nullptr, timer);
    timer = 0;
}

// WM_GETTEXT itself: GetWindowText of another process's control gives its
// creation text, not what it shows.
std::string text(HWND dialog, int id) {
    HWND control = ::GetDlgItem(dialog, id);
    if (control == nullptr) return {};
    const auto length = ::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    const auto got =
        ::SendMessageW(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(got));
    return win32::utf8(buffer);
}

void setText(HWND dialog, int id, const std::string& text) {
    ::SetDlgItemTextW(dialog, id, win32::wide(text).c_str());
}

void click(HWND dialog, int id) { ::SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0); }

bool checked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

bool enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

void postKey(HWND window, WPARAM key) {
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
    ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
}

TextLog::TextLog(HWND dialog, int id) : control_(::GetDlgItem(dialog, id)) {
    ::SetWindowSubclass(control_, proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

TextLog::~TextLog() {
    if (::IsWindow(control_)) ::RemoveWindowSubclass(control_, proc, 1);
}

LRESULT CALLBACK TextLog::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR self) {
    if (message == WM_SETTEXT && lParam != 0) {
        reinterpret_cast<TextLog*>(self)->texts_.push_back(
            win32::utf8(reinterpret_cast<const wchar_t*>(lParam)));
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace zr8::win32test
