// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A dialog's controls as plain storage: what the rules fill in and read back
// when zr8ctl takes the operator's values through the dialogs' own code.

#include <map>
#include <string>

#include "ui/rules/dialog_controls.h"

namespace zr8::cli {

class ControlStore final : public rules::iDialogControls {
public:
    void setText(int id, std::string_view text) override { texts_[id] = std::string(text); }
    void setChecked(int id, bool checked) override { checks_[id] = checked; }
    void setEnabled(int, bool) override {}
    void setToolTip(int, std::string_view) override {}

    std::string text(int id) const override {
        const auto it = texts_.find(id);
        return it == texts_.end() ? std::string() : it->second;
    }
    bool isChecked(int id) const override {
        const auto it = checks_.find(id);
        return it != checks_.end() && it->second;
    }
    int position(int) const override { return 0; }

private:
    std::map<int, std::string> texts_;
    std::map<int, bool> checks_;
};

}  // namespace zr8::cli
