// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/alpaca_params.h"

#include <charconv>
#include <cmath>

namespace zr8::alpaca {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool decode(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size()) return false;
            const int high = hexDigit(text[i + 1]);
            const int low = hexDigit(text[i + 2]);
            if (high < 0 || low < 0) return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return true;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool parseForm(std::string_view text, std::vector<Parameter>& out) {
    out.clear();
    while (!text.empty()) {
        const size_t amp = text.find('&');
        const std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view{} : text.substr(amp + 1);
        if (pair.empty()) continue;
        const size_t eq = pair.find('=');
        Parameter p;
        if (!decode(pair.substr(0, eq), p.name)) return false;
        if (eq != std::string_view::npos && !decode(pair.substr(eq + 1), p.value)) return false;
        out.push_back(std::move(p));
    }
    return true;
}

const std::string* Parameters::find(std::string_view name) const {
    for (const Parameter& p : list_) {
        if (anyCase_ ? equalsIgnoringCase(p.name, name) : p.name == name) return &p.value;
    }
    return nullptr;
}

std::optional<double> parseNumber(std::string_view text) {
    if (text.empty() || text.front() == '+') return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int64_t> parseInteger(std::string_view text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

std::optional<bool> parseBoolean(std::string_view text) {
    if (equalsIgnoringCase(text, "true")) return true;
    if (equalsIgnoringCase(text, "false")) return false;
    return std::nullopt;
}

uint32_t clientNumber(const std::string* text) {
    if (!text) return 0;
    const std::optional<int64_t> n = parseInteger(*text);
    return n && *n >= 0 && *n <= 0xFFFFFFFFLL ? static_cast<uint32_t>(*n) : 0;
}

}  // namespace zr8::alpaca
