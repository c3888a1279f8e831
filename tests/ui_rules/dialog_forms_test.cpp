// SPDX-License-Identifier: GPL-3.0-or-later
// The secondary dialogs' rules and the display texts, without a widget.

#include <gtest/gtest.h>

#include "fake_view.h"
#include "ui/rules/control_ids.h"
#include "ui/rules/encoder_format_form.h"
#include "ui/rules/main_dialog_fields.h"
#include "ui/rules/meridian_flip_form.h"

namespace zr8::rules {
namespace {

using namespace format_ids;

TEST(EncoderFormatForm, UnchangedOkKeepsEveryReportedByteButTheUnshownFlags) {
    EncoderConfig reported;
    reported.raFlags = 0xFF;
    reported.raLeadingBits = 255;
    reported.raBitsPerRev = 40;
    reported.raBitsForRevs = 0;
    reported.decFlags = 0x06;  // Gray and the unshown bit 2
    reported.decLeadingBits = 12;
    reported.decBitsPerRev = 25;
    reported.decBitsForRevs = 7;
    test::FakeControls form;
    showEncoderFormat(reported, form);
    EXPECT_EQ(form.texts, (std::map<int, std::string>{{IdRaBitsPerRev, "40"},
                                                      {IdRaBitsForRevs, "0"},
                                                      {IdRaLeadingBits, "255"},
                                                      {IdDecBitsPerRev, "25"},
                                                      {IdDecBitsForRevs, "7"},
                                                      {IdDecLeadingBits, "12"}}));
    EXPECT_EQ(form.checks,
              (std::map<int, bool>{
                  {IdRaInvert, true}, {IdRaGray, true}, {IdDecInvert, false}, {IdDecGray, true}}));
    Refusal refusal;
    EXPECT_EQ(readEncoderFormat(form, refusal), (WireFormat{0x03, 255, 40, 0, 0x02, 12, 25, 7}));
}

TEST(EncoderFormatForm, NumbersMustFitTheirByte) {
    struct Case {
        int id;
        const char* typed;
        int stored;  // -1: refused
    };
    const Case cases[] = {
        {IdRaBitsPerRev, "0", 0},    {IdRaBitsPerRev, " 255 ", 255}, {IdDecLeadingBits, "+7", 7},
        {IdRaBitsPerRev, "256", -1}, {IdRaBitsForRevs, "-1", -1},    {IdDecBitsPerRev, "x", -1},
        {IdDecBitsForRevs, "", -1},  {IdRaLeadingBits, "1e3", -1},
    };
    const std::map<int, std::pair<size_t, const char*>> byField = {
        {IdRaBitsPerRev, {2, "RA bits per one revolution"}},
        {IdRaBitsForRevs, {3, "RA bits for revolutions"}},
        {IdRaLeadingBits, {1, "RA leading bits"}},
        {IdDecBitsPerRev, {6, "Dec bits per one revolution"}},
        {IdDecBitsForRevs, {7, "Dec bits for revolutions"}},
        {IdDecLeadingBits, {5, "Dec leading bits"}},
    };
    for (const Case& c : cases) {
        test::FakeControls form;
        showEncoderFormat(EncoderConfig{}, form);
        form.texts[c.id] = c.typed;
        Refusal refusal;
        const std::optional<WireFormat> format = readEncoderFormat(form, refusal);
        const auto& [position, name] = byField.at(c.id);
        if (c.stored >= 0) {
            ASSERT_TRUE(format.has_value()) << c.typed;
            EXPECT_EQ((*format)[position], c.stored) << c.typed;
            continue;
        }
        EXPECT_FALSE(format.has_value()) << c.typed;
        EXPECT_EQ(refusal.controlId, c.id) << c.typed;
        EXPECT_EQ(refusal.message, std::string(name) +
                                       " must be a whole number from 0 to 255.\n"
                                       "Nothing has been changed.");
    }
}

TEST(MeridianFlipForm, TextsEnablingAndChoices) {
    const char* eastWest = "East side: Scope looks to west.";
    const char* westEast = "West side: Scope looks to east.";
    const char* recommended = "Meridian flip recommended.";
    const char* needed = "Meridian flip needed.";
    struct Case {
        int flipCase;
        const char *present, *target, *optional;
        bool withoutFlip;
    };
    const Case cases[] = {
        {2, westEast, eastWest, recommended, true}, {3, eastWest, westEast, recommended, true},
        {4, westEast, eastWest, needed, false},     {5, eastWest, westEast, needed, false},
        {1, eastWest, eastWest, needed, false},     {0, eastWest, eastWest, needed, false},
        {7, eastWest, eastWest, needed, false},     {-3, eastWest, eastWest, needed, false},
    };
    using namespace flip_ids;
    for (const Case& c : cases) {
        test::FakeControls form;
        showFlipCase(c.flipCase, form);
        EXPECT_EQ(form.texts, (std::map<int, std::string>{{IdPresentState, c.present},
                                                          {IdTargetState, c.target},
                                                          {IdOptional, c.optional}}))
            << c.flipCase;
        EXPECT_EQ(form.isEnabled(IdWithoutFlip), c.withoutFlip) << c.flipCase;
    }
    EXPECT_EQ(flipChoiceFor(IdWithFlip), FlipChoiceWithFlip);
    EXPECT_EQ(flipChoiceFor(IdWithoutFlip), FlipChoiceWithoutFlip);
    EXPECT_EQ(flipChoiceFor(IdCancelPositioning), FlipChoiceCancel);
    EXPECT_EQ(flipChoiceFor(IdClose), FlipChoiceCancel);
    EXPECT_EQ(flipChoiceFor(1), std::nullopt);  // Enter answers nothing
    EXPECT_EQ(flipChoiceFor(IdPresentState), std::nullopt);
}

TEST(MainDialogFields, CountsPerRevolutionNeverShiftPastTheWord) {
    const std::pair<uint8_t, const char*> cases[] = {{0, "1"},
                                                     {25, "33554432"},
                                                     {31, "2147483648"},
                                                     {32, "4294967296"},
                                                     {63, "9223372036854775808"},
                                                     {64, "2^64"},
                                                     {255, "2^255"}};
    for (const auto& [bits, shown] : cases)
        EXPECT_EQ(countsPerRevolutionText(bits), shown) << +bits;
}

}  // namespace
}  // namespace zr8::rules
