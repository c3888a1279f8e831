// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/encoder_format_dialog.h"

#include "resources/windows/resource_ids.h"
#include "ui/rules/encoder_format_form.h"
#include "ui/win32/dialog_items.h"

namespace zr8::win32 {

namespace {

struct FormatRun {
    const EncoderConfig& current;
    std::optional<WireFormat> result;
    DialogItems items;
};

// Ok with a number that does not fit its byte keeps the dialog open.
void onOk(HWND dialog, FormatRun& run) {
    rules::Refusal refusal;
    std::optional<WireFormat> format = rules::readEncoderFormat(run.items, refusal);
    if (!format) {
        showRefusal(dialog, refusal);
        return;
    }
    run.result = format;
    ::EndDialog(dialog, 1);
}

INT_PTR CALLBACK formatDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<FormatRun*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        run = reinterpret_cast<FormatRun*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        run->items.attach(dialog);
        rules::showEncoderFormat(run->current, run->items);
        return TRUE;
    case WM_COMMAND:
        if (run == nullptr) return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            onOk(dialog, *run);
            return TRUE;
        case IDCANCEL:
            ::EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

}  // namespace

std::optional<WireFormat> runEncoderFormatDialog(HINSTANCE instance, HWND owner,
                                                 const EncoderConfig& current) {
    FormatRun run{current, std::nullopt, {}};
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ENCODER_FORMAT), owner, formatDialogProc,
                      reinterpret_cast<LPARAM>(&run));
    return run.result;
}

}  // namespace zr8::win32
