// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the rules need of a dialog's controls, addressed by control
// identifier (control_ids.h). Each front end implements it once over its
// toolkit: Qt widgets, native dialog items, or plain storage in a
// command-line tool and in the tests.
//
// Threads: user-interface thread only, like the dialogs themselves.

#include <string>
#include <string_view>

namespace zr8::rules {

class iDialogControls {
public:
    // Texts are UTF-8. An edit shows a new text from its start.
    virtual void setText(int id, std::string_view text) = 0;
    virtual void setChecked(int id, bool checked) = 0;
    virtual void setEnabled(int id, bool enabled) = 0;
    virtual void setToolTip(int id, std::string_view text) = 0;

    virtual std::string text(int id) const = 0;
    // Only the fully checked state counts, never an indeterminate one.
    virtual bool isChecked(int id) const = 0;
    // A trackbar's position.
    virtual int position(int id) const = 0;

    virtual ~iDialogControls() = default;
};

// A typed value the rules would not take: which field, and a message that
// names it and says what it may hold.
struct Refusal {
    int controlId = 0;
    std::string message;
};

}  // namespace zr8::rules
