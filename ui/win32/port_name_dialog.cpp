// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/port_name_dialog.h"

#include "resources/windows/resource_ids.h"
#include "ui/rules/port_list.h"
#include "ui/win32/dialog_items.h"

namespace zr8::win32 {

namespace {

INT_PTR CALLBACK portNameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* typed =
        reinterpret_cast<std::optional<std::string>*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        HWND edit = ::GetDlgItem(dialog, IDC_PORT_NAME);
        ::SetWindowTextW(edit, wide(rules::kPortNameStart).c_str());
        // Selected, so that typing a whole name replaces the start rather
        // than following it; a number alone is taken as well.
        ::SetFocus(edit);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            *typed = windowText(::GetDlgItem(dialog, IDC_PORT_NAME));
            ::EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

}  // namespace

std::optional<std::string> askPortName(HINSTANCE instance, HWND owner) {
    std::optional<std::string> typed;
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PORT_NAME), owner, portNameProc,
                      reinterpret_cast<LPARAM>(&typed));
    return typed;
}

}  // namespace zr8::win32
