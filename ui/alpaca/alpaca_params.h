// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The parameters of an Alpaca request and their values, as the standard
// spells them: GET parameters come in the query string and their names match
// in any case; PUT parameters come form-encoded in the body and match only
// as the API casts them (a wrongly cased name is a missing one). Numbers are
// read and written without the locale: '.' is the decimal point everywhere.
//
// Pure functions; any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zr8::alpaca {

struct Parameter {
    std::string name;
    std::string value;
};

// Splits "a=1&b=x%20y" (a query string or an x-www-form-urlencoded body):
// '+' is a space, %XX a byte. False on a broken escape.
bool parseForm(std::string_view text, std::vector<Parameter>& out);

class Parameters {
public:
    Parameters() = default;
    Parameters(std::vector<Parameter> list, bool anyCase)
        : list_(std::move(list)), anyCase_(anyCase) {}

    // The first parameter of that name, or nullptr.
    const std::string* find(std::string_view name) const;

private:
    std::vector<Parameter> list_;
    bool anyCase_ = true;
};

// The whole text as a finite number ("12.5", "-3", "1e3"); no spaces, no
// locale, no "nan" or "inf".
std::optional<double> parseNumber(std::string_view text);
// The whole text as a decimal integer.
std::optional<int64_t> parseInteger(std::string_view text);
// "true" or "false" in any case.
std::optional<bool> parseBoolean(std::string_view text);

// ClientID and ClientTransactionID: an unsigned 32-bit number, else 0.
uint32_t clientNumber(const std::string* text);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace zr8::alpaca
