// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/telescope_api.h"

#include <cstdio>

#include "ui/alpaca/telescope_members.h"

namespace zr8::alpaca {

namespace {

using namespace members;

const Member* lookUp(std::string_view name, Verb verb, bool& nameKnown) {
    const Member* get = findGet(name);
    const Member* put = findPut(name);
    nameKnown = get || put;
    return verb == Verb::Get ? get : put;
}

json defaultValue(Kind kind) {
    switch (kind) {
    case Kind::Bool:
        return false;
    case Kind::Number:
        return 0.0;
    case Kind::Integer:
        return 0;
    case Kind::Text:
        return "";
    case Kind::List:
        return json::array();
    case Kind::None:
        break;
    }
    return nullptr;
}

// Reads the member's parameters; the text of a 400 when one is missing or
// unreadable.
std::string readArgs(const Member& m, const Parameters& params, Args& args) {
    for (size_t i = 0; i < 2 && m.args[i] != Arg::None; ++i) {
        const char* name = m.argNames[i];
        const std::string* text = params.find(name);
        if (!text) return std::string("Missing parameter ") + name + ".";
        bool good = true;
        switch (m.args[i]) {
        case Arg::Bool:
            if (auto b = parseBoolean(*text))
                args.flag[i] = *b;
            else
                good = false;
            break;
        case Arg::Number:
            if (auto n = parseNumber(*text))
                args.number[i] = *n;
            else
                good = false;
            break;
        case Arg::Integer:
            if (auto n = parseInteger(*text))
                args.integer[i] = *n;
            else
                good = false;
            break;
        case Arg::Date:
            if (auto t = parseUtc(*text))
                args.date = *t;
            else
                good = false;
            break;
        case Arg::Text:
        case Arg::None:
            break;
        }
        if (!good) return std::string("Parameter ") + name + " \"" + *text + "\" cannot be read.";
    }
    return {};
}

}  // namespace

TelescopeApi::TelescopeApi(TelescopeDevice& device, mount::SiteClock& clock, std::string version,
                           SiteKeeper onSite)
    : device(device), clock(clock), version(std::move(version)), onSite(std::move(onSite)) {}

TelescopeApi::Lookup TelescopeApi::find(std::string_view member, Verb verb) const {
    bool known = false;
    if (lookUp(member, verb, known)) return Lookup::Found;
    return known ? Lookup::WrongVerb : Lookup::NoSuchMember;
}

bool TelescopeApi::waits(std::string_view member, Verb verb) const {
    bool known = false;
    const Member* m = lookUp(member, verb, known);
    return m && (m->flags & Waits);
}

HttpReply TelescopeApi::handle(std::string_view member, Verb verb, const Parameters& params,
                               uint32_t clientTransaction, uint32_t serverTransaction) {
    bool known = false;
    const Member* m = lookUp(member, verb, known);
    if (!m) return textReply(400, "No such member.");
    Args args;
    if (std::string bad = readArgs(*m, params, args); !bad.empty()) return textReply(400, bad);
    Result result;
    if (!(m->flags & BeforeConnect) && !device.view().connected) {
        result =
            fail(ErrorNotConnected, "The ZR8 is not connected: set Connected or call Connect.");
    } else {
        result = m->run(*this, args);
    }
    if (m->verb == Verb::Put)
        return envelope(nullptr, result.outcome, clientTransaction, serverTransaction);
    if (!result.outcome.ok()) result.value = defaultValue(m->kind);
    return envelope(&result.value, result.outcome, clientTransaction, serverTransaction);
}

std::string utcText(Sys::time_point t) {
    using namespace std::chrono;
    const auto day = floor<days>(t);
    const year_month_day date{day};
    const hh_mm_ss<nanoseconds> time{duration_cast<nanoseconds>(t - day)};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%07lldZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()),
                  static_cast<long long>(time.subseconds().count() / 100));
    return text;
}

std::optional<Sys::time_point> parseUtc(std::string_view text) {
    using namespace std::chrono;
    // yyyy-mm-ddThh:mm:ss[.f...][Z]
    auto digits = [&](size_t at, size_t n, int& out) {
        if (at + n > text.size()) return false;
        out = 0;
        for (size_t i = at; i < at + n; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, s;
    if (!digits(0, 4, y) || text.size() < 19 || text[4] != '-' || !digits(5, 2, mo) ||
        text[7] != '-' || !digits(8, 2, d) || (text[10] != 'T' && text[10] != 't') ||
        !digits(11, 2, h) || text[13] != ':' || !digits(14, 2, mi) || text[16] != ':' ||
        !digits(17, 2, s))
        return std::nullopt;
    size_t at = 19;
    int64_t nanos = 0;
    if (at < text.size() && text[at] == '.') {
        int64_t scale = 100'000'000;
        size_t first = ++at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
            nanos += (text[at] - '0') * scale;
            scale /= 10;
        }
        if (at == first) return std::nullopt;
    }
    if (at < text.size() && (text[at] == 'Z' || text[at] == 'z')) ++at;
    if (at != text.size()) return std::nullopt;
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                              day{static_cast<unsigned>(d)}};
    if (!date.ok() || h > 23 || mi > 59 || s > 60) return std::nullopt;
    return time_point_cast<Sys::duration>(sys_days{date} + hours{h} + minutes{mi} + seconds{s} +
                                          nanoseconds{nanos});
}

}  // namespace zr8::alpaca
