// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The encoder data format dialog in Qt: layout and widgets. What it shows
// and what Ok makes of it are the rules' (rules/encoder_format_form.h); it
// writes nothing anywhere and sends nothing.

#include <QDialog>

#include <optional>

#include "link/records.h"
#include "link/wire.h"
#include "ui/qt/widget_controls.h"
#include "ui/rules/control_ids.h"

namespace zr8::ui {

class EncoderFormatDialog : public QDialog {
    Q_OBJECT
public:
    using enum rules::format_ids::FormatControl;

    EncoderFormatDialog(const EncoderConfig& initial, QWidget* owner);

    // The format bytes the dialog ended with; set only after Ok.
    const std::optional<WireFormat>& result() const { return result_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildAxis(const char* title, int left, int firstId);
    void onOk();

    WidgetControls controls_{*this};
    std::optional<WireFormat> result_;
};

// Runs the dialog over `current`: the new format bytes after Ok, nothing
// after Cancel, Escape or closing.
std::optional<WireFormat> runEncoderFormatDialog(QWidget* owner, const EncoderConfig& current);

}  // namespace zr8::ui
