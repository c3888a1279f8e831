// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules' view of a native dialog's controls: each control is the dialog
// item with that identifier, and the rules' UTF-8 texts become the "W"
// calls' UTF-16. Also the small pieces every native dialog here shares.
//
// Threads: the dialog's thread only.

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/rules/dialog_controls.h"

namespace zr8::win32 {

class DialogItems final : public rules::iDialogControls {
public:
    DialogItems() = default;
    explicit DialogItems(HWND dialog) : dialog_(dialog) {}
    ~DialogItems() override;
    DialogItems(const DialogItems&) = delete;
    DialogItems& operator=(const DialogItems&) = delete;

    void attach(HWND dialog) { dialog_ = dialog; }
    HWND dialog() const { return dialog_; }
    HWND item(int id) const { return ::GetDlgItem(dialog_, id); }

    void setText(int id, std::string_view text) override;
    void setChecked(int id, bool checked) override;
    void setEnabled(int id, bool enabled) override;
    void setToolTip(int id, std::string_view text) override;
    std::string text(int id) const override;
    bool isChecked(int id) const override;
    int position(int id) const override;

private:
    HWND dialog_ = nullptr;
    HWND toolTips_ = nullptr;  // made on first use, destroyed with the dialog
};

std::wstring wide(std::string_view text);
std::string utf8(const std::wstring& text);

// The text of any window, in UTF-8.
std::string windowText(HWND window);

// A refused value: the message over `dialog`, then the focus on the field
// with its text selected, so the operator can type over it.
void showRefusal(HWND dialog, const rules::Refusal& refusal);

}  // namespace zr8::win32
