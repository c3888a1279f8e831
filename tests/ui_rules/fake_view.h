// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules' view without a toolkit: controls are entries in maps, and the
// secondary dialogs answer what the test set beforehand.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/rules/main_dialog_view.h"

namespace zr8::test {

class FakeControls final : public rules::iDialogControls {
public:
    void setText(int id, std::string_view text) override { texts[id] = std::string(text); }
    void setChecked(int id, bool checked) override { checks[id] = checked; }
    void setEnabled(int id, bool enabled) override { enabled_[id] = enabled; }
    void setToolTip(int id, std::string_view text) override { tips[id] = std::string(text); }
    std::string text(int id) const override { return find(texts, id, std::string()); }
    bool isChecked(int id) const override { return find(checks, id, false); }
    int position(int id) const override { return find(positions, id, 0); }

    // Controls start enabled, as widgets do.
    bool isEnabled(int id) const { return find(enabled_, id, true); }
    std::string tip(int id) const { return find(tips, id, std::string()); }

    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    std::map<int, std::string> tips;
    std::map<int, int> positions;

private:
    template <class V>
    static V find(const std::map<int, V>& map, int id, V otherwise) {
        const auto it = map.find(id);
        return it == map.end() ? otherwise : it->second;
    }
    std::map<int, bool> enabled_;
};

class FakeView final : public rules::iMainDialogView {
public:
    rules::iDialogControls& controls() override { return fields; }
    uint8_t selectedPortNumber() const override { return port; }
    void refuse(const rules::Refusal& refusal) override { refusals.push_back(refusal); }
    std::optional<WireFormat> runFormatDialog(const EncoderConfig& current) override {
        formatShown = current;
        return formatAnswer;
    }
    std::optional<FlipChoice> runFlipDialog(int flipCase) override {
        flipCases.push_back(flipCase);
        return flipAnswer;
    }
    void runAbout() override { ++aboutRuns; }

    FakeControls fields;
    uint8_t port = 0;
    std::vector<rules::Refusal> refusals;
    std::optional<EncoderConfig> formatShown;
    std::optional<WireFormat> formatAnswer;
    std::vector<int> flipCases;
    std::optional<FlipChoice> flipAnswer;
    int aboutRuns = 0;
};

}  // namespace zr8::test
