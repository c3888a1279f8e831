// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/dialog_items.h"

#include <commctrl.h>

#include <vector>

#include "platform/windows/wide_text.h"

namespace zr8::win32 {

std::wstring wide(std::string_view text) { return wideFromUtf8(std::string(text)); }

std::string utf8(const std::wstring& text) { return utf8FromWide(text); }

std::string windowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int got = ::GetWindowTextW(window, buffer.data(), length + 1);
    return utf8FromWide(buffer.data(), static_cast<size_t>(got > 0 ? got : 0));
}

DialogItems::~DialogItems() {
    if (toolTips_ != nullptr && ::IsWindow(toolTips_)) ::DestroyWindow(toolTips_);
}

void DialogItems::setText(int id, std::string_view text) {
    ::SetDlgItemTextW(dialog_, id, wide(text).c_str());
}

void DialogItems::setChecked(int id, bool checked) {
    ::CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void DialogItems::setEnabled(int id, bool enabled) {
    if (HWND control = item(id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

void DialogItems::setToolTip(int id, std::string_view text) {
    HWND control = item(id);
    if (control == nullptr) return;
    if (toolTips_ == nullptr) {
        if (text.empty()) return;
        toolTips_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                      dialog_, nullptr, nullptr, nullptr);
        if (toolTips_ == nullptr) return;
        // Long reasons wrap instead of running off the screen.
        ::SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    std::wstring tip = wide(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = tip.data();
    ::SendMessageW(toolTips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!tip.empty()) ::SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string DialogItems::text(int id) const {
    HWND control = item(id);
    return control != nullptr ? windowText(control) : std::string();
}

bool DialogItems::isChecked(int id) const {
    return ::IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

int DialogItems::position(int id) const {
    return static_cast<int>(::SendDlgItemMessageW(dialog_, id, TBM_GETPOS, 0, 0));
}

void showRefusal(HWND dialog, const rules::Refusal& refusal) {
    ::MessageBoxW(dialog, wide(refusal.message).c_str(), wide(windowText(dialog)).c_str(),
                  MB_OK | MB_ICONWARNING);
    if (HWND field = ::GetDlgItem(dialog, refusal.controlId)) {
        ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
        ::SendMessageW(field, EM_SETSEL, 0, -1);
    }
}

}  // namespace zr8::win32
