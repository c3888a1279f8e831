// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/number_input.h"

#include <gtest/gtest.h>

#include <optional>

namespace zr8 {
namespace {

TEST(ParseInteger, AcceptsWholeNumbersInRange) {
    struct Case {
        const char* text;
        int64_t value;
    };
    const Case cases[] = {
        {"0", 0},
        {"25", 25},
        {" 25 ", 25},
        {"\t-1", -1},
        {"+7", 7},
        {"007", 7},
        {"-2147483648", INT32_MIN},
        {"2147483647", INT32_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseInteger(c.text, INT32_MIN, INT32_MAX), std::optional<int64_t>(c.value))
            << c.text;
    }
    EXPECT_EQ(parseInteger("-9223372036854775808", INT64_MIN, INT64_MAX),
              std::optional<int64_t>(INT64_MIN));
    EXPECT_EQ(parseInteger("9223372036854775807", INT64_MIN, INT64_MAX),
              std::optional<int64_t>(INT64_MAX));
}

TEST(ParseInteger, RefusesWhatIsNotAWholeNumberInRange) {
    const char* refused[] = {
        "",
        " ",
        "-",
        "+",
        "abc",
        "12a",
        "1 2",
        "1.5",
        "0x10",
        "--1",
        "+-1",
        "2147483648",
        "-2147483649",
        "4294967295",
        "99999999999999999999999999",
        "9223372036854775808",
    };
    for (const char* text : refused) {
        EXPECT_EQ(parseInteger(text, INT32_MIN, INT32_MAX), std::nullopt) << text;
    }
    EXPECT_EQ(parseInteger("9223372036854775808", INT64_MIN, INT64_MAX), std::nullopt);
}

}  // namespace
}  // namespace zr8
