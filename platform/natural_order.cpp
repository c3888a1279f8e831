// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/natural_order.h"

#include <cstddef>

namespace zr8 {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The run of digits at `at`, without its leading zeros.
std::string_view digitRun(std::string_view text, size_t& at) {
    while (at < text.size() && text[at] == '0' && at + 1 < text.size() && isDigit(text[at + 1])) {
        ++at;
    }
    const size_t start = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    return text.substr(start, at - start);
}

// <0, 0 or >0 as `a` comes before, with or after `b`.
int compareNatural(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::string_view x = digitRun(a, i);
            const std::string_view y = digitRun(b, j);
            // Without leading zeros the longer number is the larger one.
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
            if (const int c = x.compare(y); c != 0) return c;
            continue;
        }
        const char x = folded(a[i++]);
        const char y = folded(b[j++]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return (i < a.size()) - (j < b.size());
}

}  // namespace

bool naturalLess(std::string_view a, std::string_view b) {
    const int order = compareNatural(a, b);
    return order != 0 ? order < 0 : a < b;
}

}  // namespace zr8
