// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rules/meridian_flip_form.h"

#include "ui/rules/control_ids.h"

namespace zr8::rules {

using namespace flip_ids;

namespace {
constexpr const char* kEastLooksWest = "East side: Scope looks to west.";
constexpr const char* kWestLooksEast = "West side: Scope looks to east.";
constexpr const char* kFlipRecommended = "Meridian flip recommended.";
constexpr const char* kFlipNeeded = "Meridian flip needed.";
}  // namespace

FlipTexts flipTexts(int flipCase) {
    switch (flipCase) {
    case 2:
        return {kWestLooksEast, kEastLooksWest, kFlipRecommended, true};
    case 3:
        return {kEastLooksWest, kWestLooksEast, kFlipRecommended, true};
    case 4:
        return {kWestLooksEast, kEastLooksWest, kFlipNeeded, false};
    case 5:
        return {kEastLooksWest, kWestLooksEast, kFlipNeeded, false};
    // The side of the pier is unknown: assume the usual side, insist on the flip.
    default:
        return {kEastLooksWest, kEastLooksWest, kFlipNeeded, false};
    }
}

void showFlipCase(int flipCase, iDialogControls& c) {
    const FlipTexts texts = flipTexts(flipCase);
    c.setText(IdPresentState, texts.present);
    c.setText(IdTargetState, texts.target);
    c.setText(IdOptional, texts.optional);
    c.setEnabled(IdWithoutFlip, texts.withoutFlipAllowed);
}

std::optional<FlipChoice> flipChoiceFor(int controlId) {
    switch (controlId) {
    case IdWithFlip:
        return FlipChoiceWithFlip;
    case IdWithoutFlip:
        return FlipChoiceWithoutFlip;
    case IdCancelPositioning:
    case IdClose:
        return FlipChoiceCancel;
    default:
        return std::nullopt;
    }
}

}  // namespace zr8::rules
