// SPDX-License-Identifier: GPL-3.0-or-later
// The telescope's GET members.
#include "ui/alpaca/telescope_members.h"

#include "link/positioning.h"
#include "mount/sky_axes.h"

namespace zr8::alpaca::members {

namespace {

Result position(TelescopeApi& api, bool ra) {
    const TelescopeView v = api.device.view();
    if (!v.havePosition)
        return fail(ErrorUnspecified, "No position has been read from the ZR8 yet.");
    return value(ra ? v.position.raHours : v.position.decDegrees);
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

constexpr Member kGets[] = {
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
    get(
        "connected", Kind::Bool,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().connected); },
        BeforeConnect),
    get(
        "connecting", Kind::Bool,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().connecting); },
        BeforeConnect),
    get("declination", Kind::Number,
        [](TelescopeApi& api, const Args&) { return position(api, false); }),
    get("declinationrate", Kind::Number, number<0>),
    get(
        "description", Kind::Text,
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
    get("doesrefraction", Kind::Bool, notImplemented),
    get(
        "driverinfo", Kind::Text,
        [](TelescopeApi& api, const Args&) {
            return value("zr8-alpaca " + api.version +
                         ": the ZR8 controller as an ASCOM Alpaca telescope");
        },
        BeforeConnect),
    get(
        "driverversion", Kind::Text,
        [](TelescopeApi& api, const Args&) {
            // major.minor, as the standard asks.
            return value(api.version.substr(0, api.version.rfind('.')));
        },
        BeforeConnect),
    get("equatorialsystem", Kind::Integer, number<1>),  // topocentric
    get("focallength", Kind::Number, notImplemented),
    get("guideratedeclination", Kind::Number, notImplemented),
    get("guideraterightascension", Kind::Number, notImplemented),
    get("interfaceversion", Kind::Integer, number<4>, BeforeConnect),
    get("ispulseguiding", Kind::Bool, notImplemented),
    get(
        "name", Kind::Text, [](TelescopeApi&, const Args&) { return value("ZR8"); }, BeforeConnect),
    get("rightascension", Kind::Number,
        [](TelescopeApi& api, const Args&) { return position(api, true); }),
    get("rightascensionrate", Kind::Number, number<0>),
    get("sideofpier", Kind::Integer,
        [](TelescopeApi& api, const Args&) {
            return value(pointingStateOf(api.device.view().pierState));
        }),
    get("siderealtime", Kind::Number,
        [](TelescopeApi& api, const Args&) {
            return value(mount::normalizedHours(api.clock.localSiderealTime()));
        }),
    get("siteelevation", Kind::Number,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().elevation); }),
    get("sitelatitude", Kind::Number,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().latitude); }),
    get("sitelongitude", Kind::Number,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().longitude); }),
    get("slewing", Kind::Bool,
        [](TelescopeApi& api, const Args&) {
            // A failure found after the slew was accepted is told here, once.
            Outcome failed = api.device.takeSlewFailure();
            if (!failed.ok()) return Result{failed, false};
            return value(api.device.view().slewing);
        }),
    get("slewsettletime", Kind::Integer, notImplemented),
    get(
        "supportedactions", Kind::List,
        [](TelescopeApi&, const Args&) { return value(json::array()); }, BeforeConnect),
    get("targetdeclination", Kind::Number,
        [](TelescopeApi& api, const Args&) {
            const auto dec = api.device.view().targetDec;
            return dec ? value(*dec) : fail(ErrorValueNotSet, "TargetDeclination is not set.");
        }),
    get("targetrightascension", Kind::Number,
        [](TelescopeApi& api, const Args&) {
            const auto ra = api.device.view().targetRa;
            return ra ? value(*ra) : fail(ErrorValueNotSet, "TargetRightAscension is not set.");
        }),
    get("tracking", Kind::Bool,
        [](TelescopeApi& api, const Args&) { return value(api.device.view().tracking); }),
    get("trackingrate", Kind::Integer, number<0>),  // sidereal
    get("trackingrates", Kind::List, [](TelescopeApi&, const Args&) { return value(json{0}); }),
    get("utcdate", Kind::Text,
        [](TelescopeApi& api, const Args&) { return value(utcText(api.clock.now())); }),
};
static_assert(sortedByName(std::begin(kGets), std::end(kGets)), "keep the rows sorted by name");

}  // namespace

const Member* findGet(std::string_view name) {
    return findIn(std::begin(kGets), std::end(kGets), name);
}

}  // namespace zr8::alpaca::members
