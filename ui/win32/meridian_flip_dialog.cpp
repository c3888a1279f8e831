// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/meridian_flip_dialog.h"

#include <optional>

#include "resources/windows/resource_ids.h"
#include "ui/rules/meridian_flip_form.h"
#include "ui/win32/dialog_items.h"

namespace zr8::win32 {

namespace {

struct FlipRun {
    int flipCase;
    FlipChoice choice = FlipChoiceCancel;
    DialogItems items;
};

INT_PTR CALLBACK flipDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<FlipRun*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        run = reinterpret_cast<FlipRun*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        run->items.attach(dialog);
        rules::showFlipCase(run->flipCase, run->items);
        return TRUE;
    case WM_COMMAND: {
        if (run == nullptr) return FALSE;
        const int id = LOWORD(wParam);
        if (id == IDOK) return TRUE;  // Enter outside a button: the question stays
        const std::optional<FlipChoice> choice = rules::flipChoiceFor(id);
        if (!choice) return FALSE;
        run->choice = *choice;
        ::EndDialog(dialog, 0);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

}  // namespace

FlipChoice runMeridianFlipDialog(HINSTANCE instance, HWND owner, int flipCase) {
    FlipRun run{flipCase, FlipChoiceCancel, {}};
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MERIDIAN_FLIP), owner, flipDialogProc,
                      reinterpret_cast<LPARAM>(&run));
    return run.choice;
}

}  // namespace zr8::win32
