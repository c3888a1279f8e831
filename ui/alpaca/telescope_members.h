// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of the telescope's member table and what they share: each row
// names a member and its verb, the parameters it reads, whether it answers
// before the device is connected, and its handler. The GET rows are in
// telescope_get_members.cpp, the PUT rows in telescope_put_members.cpp, each
// sorted by name so that a member is found by halves.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "ui/alpaca/telescope_api.h"

namespace zr8::alpaca::members {

using nlohmann::json;
using Sys = std::chrono::system_clock;

enum class Arg : uint8_t { None, Bool, Number, Integer, Text, Date };
// The type of Value, for the default an error reply to a GET carries.
enum class Kind : uint8_t { None, Bool, Number, Integer, Text, List };
enum Flags : uint8_t { Plain = 0, BeforeConnect = 1, Waits = 2 };

struct Args {
    std::array<double, 2> number{};
    std::array<int64_t, 2> integer{};
    std::array<bool, 2> flag{};
    Sys::time_point date;
};

struct Result {
    Outcome outcome;
    json value;
};
using Handler = Result (*)(TelescopeApi&, const Args&);

struct Member {
    const char* name;
    Verb verb;
    Kind kind;
    std::array<Arg, 2> args;
    std::array<const char*, 2> argNames;
    uint8_t flags;
    Handler run;
};

constexpr Member get(const char* name, Kind kind, Handler run, uint8_t flags = Plain) {
    return {name, Verb::Get, kind, {}, {}, flags, run};
}
constexpr Member get(const char* name, Kind kind, Arg a, const char* an, Arg b, const char* bn,
                     Handler run) {
    return {name, Verb::Get, kind, {a, b}, {an, bn}, Plain, run};
}
constexpr Member put(const char* name, Handler run, uint8_t flags = Plain, Arg a = Arg::None,
                     const char* an = nullptr, Arg b = Arg::None, const char* bn = nullptr) {
    return {name, Verb::Put, Kind::None, {a, b}, {an, bn}, flags, run};
}

inline Result value(json v) { return {{}, std::move(v)}; }
inline Result done() { return {}; }
inline Result fail(int32_t error, std::string message) {
    return {Outcome::failure(error, message), {}};
}
inline Result of(Outcome outcome) { return {std::move(outcome), {}}; }

template <bool V>
inline Result constant(TelescopeApi&, const Args&) {
    return value(V);
}
template <int V>
inline Result number(TelescopeApi&, const Args&) {
    return value(V);
}
inline Result notImplemented(TelescopeApi&, const Args&) {
    return fail(ErrorNotImplemented, "The ZR8 does not implement this member.");
}

inline bool raInRange(double hours) { return hours >= 0 && hours < 24; }
inline bool decInRange(double degrees) { return degrees >= -90 && degrees <= 90; }

inline std::string formatted(const char* format, double x) {
    char text[160];
    std::snprintf(text, sizeof text, format, x);
    return text;
}

// Checks a sky position as every member that takes one does.
inline const char* skyError(double ra, double dec, std::string& message) {
    if (!raInRange(ra))
        message = formatted("RightAscension %.10g is outside 0 to 24 hours.", ra);
    else if (!decInRange(dec))
        message = formatted("Declination %.10g is outside -90 to +90 degrees.", dec);
    return message.empty() ? nullptr : message.c_str();
}

// The row of `name`, or nullptr.
const Member* findGet(std::string_view name);
const Member* findPut(std::string_view name);

// Sorted by name, each name once: what the halving search needs.
constexpr bool sortedByName(const Member* begin, const Member* end) {
    for (const Member* m = begin; m + 1 < end; ++m)
        if (!(std::string_view(m->name) < std::string_view((m + 1)->name))) return false;
    return true;
}

inline const Member* findIn(const Member* begin, const Member* end, std::string_view name) {
    const Member* it = std::lower_bound(begin, end, name, [](const Member& m, std::string_view n) {
        return std::string_view(m.name) < n;
    });
    return it != end && it->name == name ? it : nullptr;
}

}  // namespace zr8::alpaca::members
