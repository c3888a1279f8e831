// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the main dialog's presenter needs of a front end: its controls, the
// port chosen in the list, a way to refuse a typed value, and the three
// secondary dialogs, each run modally over the main one and returning its
// result instead of writing anywhere.
//
// Threads: user-interface thread only. While a secondary dialog runs, the
// front end keeps handing notifications to the presenter.

#include <cstdint>
#include <optional>
#include <string_view>

#include "link/records.h"
#include "link/wire.h"
#include "ui/rules/dialog_controls.h"

namespace zr8::rules {

class iMainDialogView {
public:
    virtual iDialogControls& controls() = 0;

    // The catalogue number of the port chosen in the list (PortList), 0 for none.
    virtual uint8_t selectedPortNumber() const = 0;

    // Shows the refusal's message and puts the focus on its field.
    virtual void refuse(const Refusal& refusal) = 0;

    // The format dialog over `current`; the new format bytes after Ok,
    // nothing after Cancel.
    virtual std::optional<WireFormat> runFormatDialog(const EncoderConfig& current) = 0;
    // The meridian flip dialog for `flipCase`; the operator's choice, or
    // nothing when it closed unanswered because the program is ending.
    virtual std::optional<FlipChoice> runFlipDialog(int flipCase) = 0;
    virtual void runAbout() = 0;

    virtual ~iMainDialogView() = default;
};

}  // namespace zr8::rules
