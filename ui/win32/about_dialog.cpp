// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/about_dialog.h"

#include <string>

#include "resources/windows/resource_ids.h"
#include "ui/rules/control_ids.h"
#include "ui/rules/dialog_texts.h"
#include "ui/win32/dialog_items.h"

namespace zr8::win32 {

namespace {

using namespace rules::about_ids;

// The shell and what it brings along are loaded on the first click, not at
// start: nothing else in the program needs them.
void openWithShell(HWND owner, const wchar_t* address) {
    using ShellExecute = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    static const auto shellExecute = [] {
        HMODULE shell = ::LoadLibraryW(L"shell32.dll");
        FARPROC found = shell != nullptr ? ::GetProcAddress(shell, "ShellExecuteW") : nullptr;
        return reinterpret_cast<ShellExecute>(reinterpret_cast<void (*)()>(found));
    }();
    // Nothing is reported when no browser can be started.
    if (shellExecute != nullptr)
        shellExecute(owner, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
}

AddressOpener addressOpener = openWithShell;

// One box at a time: the label's own procedure and the two fonts made for it.
struct AboutState {
    WNDPROC labelProc = nullptr;
    HFONT linkFont = nullptr;
    HFONT headingFont = nullptr;
};
AboutState about;

LRESULT CALLBACK linkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETCURSOR) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return about.labelProc != nullptr
               ? ::CallWindowProcW(about.labelProc, label, message, wParam, lParam)
               : 0;
}

// A copy of the item's font (the system font if it has none), changed by `edit`.
template <typename Edit>
HFONT derivedFont(HWND dialog, int id, Edit edit) {
    auto font = reinterpret_cast<HFONT>(::SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0));
    if (font == nullptr) font = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
    LOGFONTW description{};
    ::GetObjectW(font, sizeof description, &description);
    edit(description);
    HFONT made = ::CreateFontIndirectW(&description);
    if (made != nullptr) {
        ::SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    }
    return made;
}

void onInitDialog(HWND dialog) {
    about.linkFont = derivedFont(dialog, IdLink, [](LOGFONTW& f) { f.lfUnderline = TRUE; });
    about.headingFont = derivedFont(dialog, IdHeading, [](LOGFONTW& f) {
        f.lfHeight = 16;
        f.lfWeight = FW_BOLD;
    });
    about.labelProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        ::GetDlgItem(dialog, IdLink), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(linkLabelProc)));
}

void onDestroy(HWND dialog) {
    // The labels let go of the fonts before they go.
    if (about.labelProc != nullptr) {
        ::SetWindowLongPtrW(::GetDlgItem(dialog, IdLink), GWLP_WNDPROC,
                            reinterpret_cast<LONG_PTR>(about.labelProc));
    }
    ::SendDlgItemMessageW(dialog, IdLink, WM_SETFONT, 0, FALSE);
    ::SendDlgItemMessageW(dialog, IdHeading, WM_SETFONT, 0, FALSE);
    if (about.linkFont != nullptr) ::DeleteObject(about.linkFont);
    if (about.headingFont != nullptr) ::DeleteObject(about.headingFont);
    about = AboutState{};
}

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(dialog);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) != ::GetDlgItem(dialog, IdLink)) return FALSE;
        ::SetTextColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_HOTLIGHT));
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
    case WM_COMMAND:
        // The whole wParam: a double-click's second notification is not a click.
        switch (wParam) {
        case IDOK:
        case IDCANCEL:
            ::EndDialog(dialog, 1);
            return TRUE;
        case IdLink:
            addressOpener(dialog, wide(rules::kMakerWebAddress).c_str());
            return TRUE;
        default:
            return FALSE;
        }
    case WM_DESTROY:
        onDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

AddressOpener setAddressOpener(AddressOpener opener) {
    const AddressOpener previous = addressOpener;
    addressOpener = opener != nullptr ? opener : openWithShell;
    return previous;
}

int runAboutDialog(HINSTANCE instance, HWND owner) {
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, aboutDialogProc, 0);
    return 1;
}

}  // namespace zr8::win32
