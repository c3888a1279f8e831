// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The meridian flip dialog's rules: the texts and the enabling for each flip
// case, and the choice each button stands for. A flip that is only
// recommended may be declined; a needed one may not, so the operator can
// then only flip or cancel.
//
// Threads: user-interface thread.

#include <optional>

#include "link/wire.h"
#include "ui/rules/dialog_controls.h"

namespace zr8::rules {

struct FlipTexts {
    const char* present;
    const char* target;
    const char* optional;
    bool withoutFlipAllowed;
};

FlipTexts flipTexts(int flipCase);

// Fills edits 200 to 202 and enables or disables button 212.
void showFlipCase(int flipCase, iDialogControls& controls);

// The answer a control gives: 211 flips, 212 positions without the flip,
// 210 and the close command (2) cancel. Nothing for any other control,
// Enter (1) included: the dialog stays open.
std::optional<FlipChoice> flipChoiceFor(int controlId);

}  // namespace zr8::rules
