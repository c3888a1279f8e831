// SPDX-License-Identifier: GPL-3.0-or-later
// Reading an Alpaca request's parameters: form decoding, name casing, and
// values without the locale.
#include <gtest/gtest.h>

#include "ui/alpaca/alpaca_params.h"

namespace zr8::alpaca {
namespace {

TEST(AlpacaParams, DecodesFormsAndRefusesBrokenEscapes) {
    std::vector<Parameter> list;
    ASSERT_TRUE(parseForm("Command=a%20b+c&&Raw=true&Empty=", list));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].value, "a b c");
    EXPECT_EQ(list[2].name, "Empty");
    EXPECT_EQ(list[2].value, "");
    for (const char* broken : {"a=%4", "a=%zz", "%=1"})
        EXPECT_FALSE(parseForm(broken, list)) << broken;
}

TEST(AlpacaParams, GetNamesMatchInAnyCasePutNamesOnlyAsSpelt) {
    std::vector<Parameter> list;
    ASSERT_TRUE(parseForm("clienttransactionid=7&Tracking=true", list));
    const Parameters get(list, true), put(list, false);
    EXPECT_NE(get.find("ClientTransactionID"), nullptr);
    EXPECT_EQ(put.find("ClientTransactionID"), nullptr);
    EXPECT_NE(put.find("Tracking"), nullptr);
    EXPECT_EQ(put.find("tracking"), nullptr);
}

TEST(AlpacaParams, ReadsValuesAsTheStandardWritesThem) {
    struct Case {
        const char* text;
        std::optional<double> number;
        std::optional<bool> flag;
        uint32_t client;
    };
    const Case cases[] = {
        {"12.5", 12.5, std::nullopt, 0},
        {"-3", -3.0, std::nullopt, 0},
        {"1e3", 1000.0, std::nullopt, 0},
        {"12,5", std::nullopt, std::nullopt, 0},  // no locale's comma
        {" 1", std::nullopt, std::nullopt, 0},
        {"nan", std::nullopt, std::nullopt, 0},
        {"inf", std::nullopt, std::nullopt, 0},
        {"", std::nullopt, std::nullopt, 0},
        {"TRUE", std::nullopt, true, 0},
        {"fAlSe", std::nullopt, false, 0},
        {"1", 1.0, std::nullopt, 1},
        {"42", 42.0, std::nullopt, 42},
        {"-1", -1.0, std::nullopt, 0},
        {"4294967295", 4294967295.0, std::nullopt, 4294967295u},
        {"4294967296", 4294967296.0, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        const std::string text = c.text;
        EXPECT_EQ(parseNumber(text), c.number) << text;
        EXPECT_EQ(parseBoolean(text), c.flag) << text;
        EXPECT_EQ(clientNumber(&text), c.client) << text;
    }
    EXPECT_EQ(clientNumber(nullptr), 0u);
}

}  // namespace
}  // namespace zr8::alpaca
