// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/text_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zr8 {
namespace {

constexpr char kFill = '#';

// A buffer pre-filled with a marker so that writes past the reported end
// (or past the capacity) show up in the compared text.
struct Buffer {
    char bytes[32];
    Buffer() { std::memset(bytes, kFill, sizeof bytes); }
    std::string upTo(size_t n) const { return std::string(bytes, n); }
};

TEST(AppendText, CopiesAndTruncates) {
    struct Case {
        uint32_t position, capacity;
        const char* text;
        uint32_t result;
        const char* written;  // bytes [0, capacity + 1) afterwards; '#' = untouched
    };
    const Case cases[] = {
        {0, 8, "abcd", 4, "abcd\0####"},
        {0, 8, "abcdefghij", 7, "abcdefg\0#"},
        {7, 8, "abc", 7, "#######\0#"},  // at capacity - 1 only the NUL is written
        {2, 8, "", 2, "##\0######"},
        {8, 8, "abc", 8, "#########"},  // out of range: nothing at all
        {0, 1, "abc", 0, "\0#"},
    };
    for (const auto& c : cases) {
        Buffer b;
        EXPECT_EQ(appendText(b.bytes, c.position, c.capacity, c.text), c.result) << c.text;
        const size_t n = c.capacity + 1;
        EXPECT_EQ(b.upTo(n), std::string(c.written, n)) << c.text << " at " << c.position;
    }
}

TEST(AppendText, ChainsFromReturnedPosition) {
    char name[256];
    uint32_t p = appendText(name, 0, sizeof name, "pipe_");
    p = appendHexReversed(name, p, sizeof name, 0x0000BEEF);
    EXPECT_EQ(p, 13u);
    EXPECT_STREQ(name, "pipe_FEEB0000");
}

TEST(AppendHexReversed, LeastSignificantDigitFirst) {
    struct Case {
        uint32_t value, capacity;
        const char* text;
        uint32_t result;
    };
    const Case cases[] = {
        {0x1A2C, 256, "C2A10000", 8}, {0, 256, "00000000", 8}, {0xFFFFFFFF, 9, "FFFFFFFF", 8},
        {0x12345678, 5, "8765", 4},   {0xABCDEF01, 1, "", 0},
    };
    for (const auto& c : cases) {
        Buffer b;
        EXPECT_EQ(appendHexReversed(b.bytes, 0, c.capacity, c.value), c.result);
        EXPECT_STREQ(b.bytes, c.text);
        EXPECT_EQ(b.bytes[c.result + 1], kFill) << "wrote past the NUL";
    }
}

TEST(AppendDigits, TwoDigitsAndDegrees) {
    struct Case {
        bool degrees;
        uint32_t value, capacity, position, result;
        const char* written;  // bytes [0, 5)
    };
    const Case cases[] = {
        {false, 7, 16, 0, 2, "07\0##"},
        {false, 123, 16, 0, 2, "99\0##"},
        {false, 0xFFFFFFFF, 16, 0, 2, "99\0##"},
        {false, 45, 3, 0, 2, "45###"},  // position + 2 is capacity - 1: no NUL
        {false, 45, 2, 0, 1, "4####"},  // room for the tens digit only
        {false, 45, 3, 2, 2, "#####"},  // at capacity - 1: nothing
        {true, 5, 16, 0, 2, "05\0##"},
        {true, 100, 16, 0, 3, "100\0#"},
        {true, 1000, 16, 0, 3, "999\0#"},
        {true, 359, 3, 0, 2, "35###"},
        {true, 359, 1, 0, 0, "#####"},
    };
    for (const auto& c : cases) {
        Buffer b;
        const uint32_t r = c.degrees ? appendDegrees(b.bytes, c.capacity, c.position, c.value)
                                     : appendTwoDigits(b.bytes, c.capacity, c.position, c.value);
        EXPECT_EQ(r, c.result) << c.value;
        EXPECT_EQ(b.upTo(5), std::string(c.written, 5)) << c.value;
    }
}

TEST(FormatAngleDms, DialogExamples) {
    struct Case {
        int32_t arcsec;
        const char* text;
    };
    const Case cases[] = {
        {45296, "+12:34:56"},      {1295999, "+359:59:59"}, {-3723, "-01:02:03"},
        {0, "+00:00:00"},          {3600000, "+999:00:00"}, {-1, "-00:00:01"},
        {INT32_MIN, "-999:14:08"},  // magnitude 2^31: degrees capped, rest kept
        {INT32_MAX, "+999:14:07"},
    };
    for (const auto& c : cases) {
        char text[128];
        const uint32_t end = formatAngleDms(text, sizeof text, 0, c.arcsec, ':', ':');
        EXPECT_STREQ(text, c.text) << c.arcsec;
        EXPECT_EQ(end, std::strlen(c.text));
    }
}

TEST(FormatAngleDms, StopsAtCapacity) {
    struct Case {
        uint32_t capacity;
        const char* text;
    };
    const Case cases[] = {{6, "+12:3"}, {7, "+12:34"}, {10, "+12:34:56"}, {3, "+1"}, {2, "+"}};
    for (const auto& c : cases) {
        Buffer b;
        const uint32_t end = formatAngleDms(b.bytes, c.capacity, 0, 45296, ':', ':');
        EXPECT_EQ(end, std::strlen(c.text));
        EXPECT_EQ(b.upTo(c.capacity + 1),
                  std::string(c.text) + '\0' + std::string(c.capacity - end - 1 + 1, kFill))
            << c.capacity;
    }
}

TEST(FormatAngleDms, OwnSeparatorsAndPosition) {
    char text[32] = "RA ";
    formatAngleDms(text, sizeof text, 3, 45296, 'd', 'm');
    EXPECT_STREQ(text, "RA +12d34m56");
}

}  // namespace
}  // namespace zr8
