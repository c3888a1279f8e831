// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/telescope_api.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "link/positioning.h"
#include "mount/sky_axes.h"

namespace zr8::alpaca {

namespace {

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

Result value(json v) { return {{}, std::move(v)}; }
Result done() { return {}; }
Result fail(int32_t error, std::string message) { return {Outcome::failure(error, message), {}}; }
Result of(Outcome outcome) { return {std::move(outcome), {}}; }

template <bool V>
Result constant(TelescopeApi&, const Args&) {
    return value(V);
}
template <int V>
Result number(TelescopeApi&, const Args&) {
    return value(V);
}
Result notImplemented(TelescopeApi&, const Args&) {
    return fail(ErrorNotImplemented, "The ZR8 does not implement this member.");
}

bool raInRange(double hours) { return hours >= 0 && hours < 24; }
bool decInRange(double degrees) { return degrees >= -90 && degrees <= 90; }

std::string formatted(const char* format, double x) {
    char text[160];
    std::snprintf(text, sizeof text, format, x);
    return text;
}

// Checks a sky position as every member that takes one does.
const char* skyError(double ra, double dec, std::string& message) {
    if (!raInRange(ra)) message = formatted("RightAscension %.10g is outside 0 to 24 hours.", ra);
    else if (!decInRange(dec))
        message = formatted("Declination %.10g is outside -90 to +90 degrees.", dec);
    return message.empty() ? nullptr : message.c_str();
}

Result position(TelescopeApi& api, bool ra) {
    const TelescopeView v = api.device.view();
    if (!v.havePosition) return fail(ErrorUnspecified, "No position has been read from the ZR8 yet.");
    return value(ra ? v.position.raHours : v.position.decDegrees);
}

Result slewTo(TelescopeApi& api, double ra, double dec) {
    std::string why;
    if (skyError(ra, dec, why)) return fail(ErrorInvalidValue, why);
    api.device.setTarget(ra, dec);
    if (!api.device.view().tracking)
        return fail(ErrorInvalidOperation, "Tracking is off: switch it on before slewing.");
    return of(api.device.slewTo({ra, dec}));
}

Result syncTo(TelescopeApi& api, double ra, double dec) {
    std::string why;
    if (skyError(ra, dec, why)) return fail(ErrorInvalidValue, why);
    api.device.setTarget(ra, dec);
    return of(api.device.syncTo({ra, dec}));
}

Result toTarget(TelescopeApi& api, bool sync) {
    const TelescopeView v = api.device.view();
    if (!v.targetRa || !v.targetDec) {
        return fail(ErrorInvalidOperation,
                    "TargetRightAscension and TargetDeclination are not both set.");
    }
    return sync ? syncTo(api, *v.targetRa, *v.targetDec) : slewTo(api, *v.targetRa, *v.targetDec);
}

Result setSite(TelescopeApi& api, int which, double x) {
    static constexpr struct {
        const char* name;
        double low, high;
    } kLimits[] = {{"SiteLatitude", -90, 90}, {"SiteLongitude", -180, 180}, {"SiteElevation", -300, 10000}};
    const auto& limit = kLimits[which];
    if (x < limit.low || x > limit.high) {
        char text[160];
        std::snprintf(text, sizeof text, "%s %.10g is outside %g to %g.", limit.name, x, limit.low,
                      limit.high);
        return fail(ErrorInvalidValue, text);
    }
    if (which == 0 && x < 0) {
        return fail(ErrorInvalidValue,
                    formatted("SiteLatitude %.10g is south of the equator: the ZR8's pointing "
                              "assumes a northern mount.",
                              x));
    }
    const TelescopeView v = api.device.view();
    Site site{v.latitude, v.longitude, v.elevation};
    (which == 0 ? site.latitude : which == 1 ? site.longitude : site.elevation) = x;
    api.device.setSite(site.latitude, site.longitude, site.elevation);
    if (api.onSite) {
        if (std::string why = api.onSite(site); !why.empty())
            return fail(ErrorUnspecified, "The site is in use but could not be kept: " + why);
    }
    return done();
}

Result axisRates(TelescopeApi& api, const Args& a) {
    const int64_t axis = a.integer[0];
    if (axis < 0 || axis > 2) return fail(ErrorInvalidValue, "Axis must be 0, 1 or 2.");
    json rates = json::array();
    if (axis < 2) {
        for (const AxisRate& r : axisRatesOf(api.device.view().mount, static_cast<int>(axis)))
            rates.push_back({{"Minimum", r.degreesPerSecond}, {"Maximum", r.degreesPerSecond}});
    }
    return value(std::move(rates));
}

Result deviceState(TelescopeApi& api, const Args&) {
    const TelescopeView v = api.device.view();
    json list = json::array();
    auto add = [&](const char* name, json x) { list.push_back({{"Name", name}, {"Value", x}}); };
    add("AtHome", false);
    add("AtPark", false);
    if (v.havePosition) {
        add("Declination", v.position.decDegrees);
        add("RightAscension", v.position.raHours);
    }
    add("SideOfPier", pointingStateOf(v.pierState));
    add("SiderealTime", mount::normalizedHours(api.clock.localSiderealTime()));
    add("Slewing", v.slewing);
    add("Tracking", v.tracking);
    add("UTCDate", utcText(api.clock.now()));
    add("TimeStamp", utcText(Sys::now()));
    return value(std::move(list));
}

// Sorted by name, then verb: found by binary search.
constexpr Member kMembers[] = {
    put("abortslew", [](TelescopeApi& api, const Args&) { return of(api.device.abort()); }),
    put("action",
        [](TelescopeApi&, const Args&) {
            return fail(ErrorActionNotImplemented, "The ZR8 supports no actions.");
        },
        Plain, Arg::Text, "Action", Arg::Text, "Parameters"),
    get("alignmentmode", Kind::Integer, number<2>),  // German polar
    get("altitude", Kind::Number, notImplemented),
    get("aperturearea", Kind::Number, notImplemented),
    get("aperturediameter", Kind::Number, notImplemented),
    get("athome", Kind::Bool, constant<false>),
    get("atpark", Kind::Bool, constant<false>),
    get("axisrates", Kind::List, Arg::Integer, "Axis", Arg::None, nullptr, axisRates),
    get("azimuth", Kind::Number, notImplemented),
    get("canfindhome", Kind::Bool, constant<false>),
    get("canmoveaxis", Kind::Bool, Arg::Integer, "Axis", Arg::None, nullptr,
        [](TelescopeApi&, const Args& a) {
            if (a.integer[0] < 0 || a.integer[0] > 2)
                return fail(ErrorInvalidValue, "Axis must be 0, 1 or 2.");
            return value(a.integer[0] < 2);
        }),
    get("canpark", Kind::Bool, constant<false>),
    get("canpulseguide", Kind::Bool, constant<false>),
    get("cansetdeclinationrate", Kind::Bool, constant<false>),
    get("cansetguiderates", Kind::Bool, constant<false>),
    get("cansetpark", Kind::Bool, constant<false>),
    get("cansetpierside", Kind::Bool, constant<false>),
    get("cansetrightascensionrate", Kind::Bool, constant<false>),
    get("cansettracking", Kind::Bool, constant<true>),
    get("canslew", Kind::Bool, constant<false>),
    get("canslewaltaz", Kind::Bool, constant<false>),
    get("canslewaltazasync", Kind::Bool, constant<false>),
    get("canslewasync", Kind::Bool, constant<true>),
    get("cansync", Kind::Bool, constant<true>),
    get("cansyncaltaz", Kind::Bool, constant<false>),
    get("canunpark", Kind::Bool, constant<false>),
    put("commandblind", notImplemented, Plain, Arg::Text, "Command", Arg::Bool, "Raw"),
    put("commandbool", notImplemented, Plain, Arg::Text, "Command", Arg::Bool, "Raw"),
    put("commandstring", notImplemented, Plain, Arg::Text, "Command", Arg::Bool, "Raw"),
    put("connect", [](TelescopeApi& api, const Args&) { return of(api.device.connect()); },
        BeforeConnect),
    get("connected", Kind::Bool,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().connected); },
        BeforeConnect),
    put(
        "connected",
        [](TelescopeApi& api, const Args& a) {
            if (a.flag[0]) return of(api.device.connectAndWait());
            api.device.disconnect();
            return done();
        },
        BeforeConnect | Waits, Arg::Bool, "Connected"),
    get("connecting", Kind::Bool,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().connecting); },
        BeforeConnect),
    get("declination", Kind::Number,
        [](TelescopeApi& api, const Args&) { return position(api, false); }),
    get("declinationrate", Kind::Number, number<0>),
    put("declinationrate", notImplemented, Plain, Arg::Number, "DeclinationRate"),
    get("description", Kind::Text,
        [](TelescopeApi&, const Args&) {
            return value("ZR8 telescope-mount controller, German equatorial mount");
        },
        BeforeConnect),
    get("destinationsideofpier", Kind::Integer, Arg::Number, "RightAscension", Arg::Number,
        "Declination",
        [](TelescopeApi& api, const Args& a) {
            std::string why;
            if (skyError(a.number[0], a.number[1], why)) return fail(ErrorInvalidValue, why);
            return value(api.device.destinationSideOf({a.number[0], a.number[1]}));
        }),
    get("devicestate", Kind::List, deviceState),
    put("disconnect",
        [](TelescopeApi& api, const Args&) {
            api.device.disconnect();
            return done();
        },
        BeforeConnect),
    get("doesrefraction", Kind::Bool, notImplemented),
    put("doesrefraction", notImplemented, Plain, Arg::Bool, "DoesRefraction"),
    get("driverinfo", Kind::Text,
        [](TelescopeApi& api, const Args&) {
            return value("zr8-alpaca " + api.version +
                         ": the ZR8 controller as an ASCOM Alpaca telescope");
        },
        BeforeConnect),
    get("driverversion", Kind::Text,
        [](TelescopeApi& api, const Args&) {
            // major.minor, as the standard asks.
            return value(api.version.substr(0, api.version.rfind('.')));
        },
        BeforeConnect),
    get("equatorialsystem", Kind::Integer, number<1>),  // topocentric
    put("findhome", notImplemented),
    get("focallength", Kind::Number, notImplemented),
    get("guideratedeclination", Kind::Number, notImplemented),
    put("guideratedeclination", notImplemented, Plain, Arg::Number, "GuideRateDeclination"),
    get("guideraterightascension", Kind::Number, notImplemented),
    put("guideraterightascension", notImplemented, Plain, Arg::Number, "GuideRateRightAscension"),
    get("interfaceversion", Kind::Integer, number<4>, BeforeConnect),
    get("ispulseguiding", Kind::Bool, notImplemented),
    put(
        "moveaxis",
        [](TelescopeApi& api, const Args& a) {
            const int64_t axis = a.integer[0];
            if (axis == 2) return fail(ErrorNotImplemented, "The ZR8 has no third axis.");
            if (axis < 0 || axis > 2) return fail(ErrorInvalidValue, "Axis must be 0, 1 or 2.");
            return of(api.device.moveAxis(static_cast<int>(axis), a.number[1]));
        },
        Plain, Arg::Integer, "Axis", Arg::Number, "Rate"),
    get("name", Kind::Text, [](TelescopeApi&, const Args&) { return value("ZR8"); },
        BeforeConnect),
    put("park", notImplemented),
    put("pulseguide", notImplemented, Plain, Arg::Integer, "Direction", Arg::Integer, "Duration"),
    get("rightascension", Kind::Number,
        [](TelescopeApi& api, const Args&) { return position(api, true); }),
    get("rightascensionrate", Kind::Number, number<0>),
    put("rightascensionrate", notImplemented, Plain, Arg::Number, "RightAscensionRate"),
    put("setpark", notImplemented),
    get("sideofpier", Kind::Integer,
        [](TelescopeApi& api, const Args&) {
            return value(pointingStateOf(api.device.view().pierState));
        }),
    put("sideofpier", notImplemented, Plain, Arg::Integer, "SideOfPier"),
    get("siderealtime", Kind::Number,
        [](TelescopeApi& api, const Args&) {
            return value(mount::normalizedHours(api.clock.localSiderealTime()));
        }),
    get("siteelevation", Kind::Number,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().elevation); }),
    put("siteelevation", [](TelescopeApi& api, const Args& a) { return setSite(api, 2, a.number[0]); },
        Waits, Arg::Number, "SiteElevation"),
    get("sitelatitude", Kind::Number,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().latitude); }),
    put("sitelatitude", [](TelescopeApi& api, const Args& a) { return setSite(api, 0, a.number[0]); },
        Waits, Arg::Number, "SiteLatitude"),
    get("sitelongitude", Kind::Number,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().longitude); }),
    put("sitelongitude", [](TelescopeApi& api, const Args& a) { return setSite(api, 1, a.number[0]); },
        Waits, Arg::Number, "SiteLongitude"),
    get("slewing", Kind::Bool,
        [](TelescopeApi& api, const Args&) {
            // A failure found after the slew was accepted is told here, once.
            Outcome failed = api.device.takeSlewFailure();
            if (!failed.ok()) return Result{failed, false};
            return value(api.device.view().slewing);
        }),
    get("slewsettletime", Kind::Integer, notImplemented),
    put("slewsettletime", notImplemented, Plain, Arg::Integer, "SlewSettleTime"),
    put("slewtoaltaz", notImplemented, Plain, Arg::Number, "Azimuth", Arg::Number, "Altitude"),
    put("slewtoaltazasync", notImplemented, Plain, Arg::Number, "Azimuth", Arg::Number,
        "Altitude"),
    put("slewtocoordinates", notImplemented, Plain, Arg::Number, "RightAscension", Arg::Number,
        "Declination"),
    put("slewtocoordinatesasync",
        [](TelescopeApi& api, const Args& a) { return slewTo(api, a.number[0], a.number[1]); },
        Plain, Arg::Number, "RightAscension", Arg::Number, "Declination"),
    put("slewtotarget", notImplemented),
    put("slewtotargetasync", [](TelescopeApi& api, const Args&) { return toTarget(api, false); }),
    get("supportedactions", Kind::List, [](TelescopeApi&, const Args&) { return value(json::array()); },
        BeforeConnect),
    put("synctoaltaz", notImplemented, Plain, Arg::Number, "Azimuth", Arg::Number, "Altitude"),
    put("synctocoordinates",
        [](TelescopeApi& api, const Args& a) { return syncTo(api, a.number[0], a.number[1]); },
        Waits, Arg::Number, "RightAscension", Arg::Number, "Declination"),
    put("synctotarget", [](TelescopeApi& api, const Args&) { return toTarget(api, true); }, Waits),
    get("targetdeclination", Kind::Number,
        [](TelescopeApi& api, const Args&) {
            const auto dec = api.device.view().targetDec;
            return dec ? value(*dec) : fail(ErrorValueNotSet, "TargetDeclination is not set.");
        }),
    put(
        "targetdeclination",
        [](TelescopeApi& api, const Args& a) {
            if (!decInRange(a.number[0])) {
                return fail(ErrorInvalidValue,
                            formatted("TargetDeclination %.10g is outside -90 to +90 degrees.",
                                      a.number[0]));
            }
            api.device.setTarget(std::nullopt, a.number[0]);
            return done();
        },
        Plain, Arg::Number, "TargetDeclination"),
    get("targetrightascension", Kind::Number,
        [](TelescopeApi& api, const Args&) {
            const auto ra = api.device.view().targetRa;
            return ra ? value(*ra) : fail(ErrorValueNotSet, "TargetRightAscension is not set.");
        }),
    put(
        "targetrightascension",
        [](TelescopeApi& api, const Args& a) {
            if (!raInRange(a.number[0])) {
                return fail(ErrorInvalidValue,
                            formatted("TargetRightAscension %.10g is outside 0 to 24 hours.",
                                      a.number[0]));
            }
            api.device.setTarget(a.number[0], std::nullopt);
            return done();
        },
        Plain, Arg::Number, "TargetRightAscension"),
    get("tracking", Kind::Bool,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().tracking); }),
    put("tracking",
        [](TelescopeApi& api, const Args& a) { return of(api.device.setTracking(a.flag[0])); },
        Plain, Arg::Bool, "Tracking"),
    get("trackingrate", Kind::Integer, number<0>),  // sidereal
    put(
        "trackingrate",
        [](TelescopeApi&, const Args& a) {
            if (a.integer[0] == 0) return done();
            return fail(ErrorInvalidValue, "The ZR8 tracks at the sidereal rate (0) only.");
        },
        Plain, Arg::Integer, "TrackingRate"),
    get("trackingrates", Kind::List, [](TelescopeApi&, const Args&) { return value(json{0}); }),
    put("unpark", notImplemented),
    get("utcdate", Kind::Text,
        [](TelescopeApi& api, const Args&) { return value(utcText(api.clock.now())); }),
    put(
        "utcdate",
        [](TelescopeApi& api, const Args& a) {
            api.clock.setUtcNow(a.date);
            return done();
        },
        Plain, Arg::Date, "UTCDate"),
};

static_assert(std::is_sorted(std::begin(kMembers), std::end(kMembers),
                             [](const Member& a, const Member& b) {
                                 const int c = std::string_view(a.name).compare(b.name);
                                 return c < 0 || (c == 0 && a.verb < b.verb);
                             }),
              "kMembers is searched by halves: keep it sorted by name, then GET before PUT");

const Member* lookUp(std::string_view name, Verb verb, bool& nameKnown) {
    const Member* end = std::end(kMembers);
    const Member* it = std::lower_bound(std::begin(kMembers), end, name,
                                        [](const Member& m, std::string_view n) {
                                            return std::string_view(m.name) < n;
                                        });
    nameKnown = it != end && it->name == name;
    for (; it != end && it->name == name; ++it)
        if (it->verb == verb) return it;
    return nullptr;
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
            if (auto b = parseBoolean(*text)) args.flag[i] = *b;
            else good = false;
            break;
        case Arg::Number:
            if (auto n = parseNumber(*text)) args.number[i] = *n;
            else good = false;
            break;
        case Arg::Integer:
            if (auto n = parseInteger(*text)) args.integer[i] = *n;
            else good = false;
            break;
        case Arg::Date:
            if (auto t = parseUtc(*text)) args.date = *t;
            else good = false;
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
        result = fail(ErrorNotConnected, "The ZR8 is not connected: set Connected or call Connect.");
    } else {
        result = m->run(*this, args);
    }
    if (m->verb == Verb::Put) return envelope(nullptr, result.outcome, clientTransaction, serverTransaction);
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
