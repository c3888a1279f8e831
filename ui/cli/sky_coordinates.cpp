// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/sky_coordinates.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zr8::cli {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with an optional fraction ("12", "12.5", ".5"), nothing else: no
// exponent, no "inf" or "nan". Advances `at` past them.
bool readNumber(const std::string& text, size_t& at, double& value) {
    const size_t start = at;
    auto skipDigits = [&] {
        const size_t from = at;
        while (at < text.size() && isDigit(text[at])) ++at;
        return at - from;
    };
    size_t digits = skipDigits();
    if (at < text.size() && text[at] == '.') {
        ++at;
        digits += skipDigits();
    }
    if (digits == 0) return false;
    value = std::strtod(text.substr(start, at - start).c_str(), nullptr);
    return true;
}

// Whole units, then minutes and seconds after colons; only the last field
// may have a fraction, and minutes and seconds stay below 60.
std::optional<double> readValue(const std::string& text, const char* what, const char* unit,
                                const char* example, std::string& error) {
    size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++at;
    double value = 0;
    double scale = 1;
    for (int field = 0;; ++field) {
        const size_t start = at;
        double part = 0;
        const bool number = readNumber(text, at, part);
        const bool last = at == text.size();
        const bool whole = text.find('.', start) >= at;
        if (!number || field > 2 || (!last && (text[at] != ':' || !whole))) {
            error = std::string(what) + " " + text + ": not a number of " + unit + " (" + example +
                    "). Nothing has been sent.";
            return std::nullopt;
        }
        if (field > 0 && part >= 60) {
            error = std::string(what) + " " + text +
                    ": minutes and seconds run from 0 to 59. Nothing has been sent.";
            return std::nullopt;
        }
        value += part / scale;
        scale *= 60;
        if (last) break;
        ++at;  // the colon
    }
    return negative ? -value : value;
}

std::string sexagesimal(double value, bool sign, int unitDigits) {
    const long long total = std::llround(std::fabs(value) * 3600.0);
    char text[32];
    std::snprintf(text, sizeof text, "%s%0*lld:%02lld:%02lld",
                  sign ? (value < 0 && total > 0 ? "-" : "+") : "", unitDigits, total / 3600,
                  total / 60 % 60, total % 60);
    return text;
}

}  // namespace

std::optional<mount::SkyPosition> readSkyPosition(const std::string& ra, const std::string& dec,
                                                  std::string& error) {
    const std::optional<double> hours = readValue(ra, "RA", "hours", "5.5 or 05:30:00", error);
    if (!hours) return std::nullopt;
    const std::optional<double> degrees =
        readValue(dec, "Dec", "degrees", "-10.25 or -10:15:00", error);
    if (!degrees) return std::nullopt;
    // Named as typed: "Dec +90:00:01" says more than 90.0003 would.
    char why[160];
    if (mount::skyPositionError({*hours, 0}, why, sizeof why)) {
        error = "RA " + ra + " is outside 0 to 24 h. Nothing has been sent.";
        return std::nullopt;
    }
    if (mount::skyPositionError({0, *degrees}, why, sizeof why)) {
        error = "Dec " + dec + " is outside -90 to +90 degrees. Nothing has been sent.";
        return std::nullopt;
    }
    return mount::SkyPosition{*hours, *degrees};
}

std::string hoursText(double hours) {
    // 23:59:59.7 is a second short of the next day: 00:00:00.
    const double seconds = std::fmod(std::round(hours * 3600.0), 86400.0);
    return sexagesimal((seconds < 0 ? seconds + 86400.0 : seconds) / 3600.0, false, 2);
}

std::string degreesText(double degrees) { return sexagesimal(degrees, true, 2); }

}  // namespace zr8::cli
