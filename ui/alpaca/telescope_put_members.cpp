// SPDX-License-Identifier: GPL-3.0-or-later
// The telescope's PUT members.
#include "ui/alpaca/telescope_members.h"

#include "mount/sky_axes.h"

namespace zr8::alpaca::members {

namespace {

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
    } kLimits[] = {
        {"SiteLatitude", -90, 90}, {"SiteLongitude", -180, 180}, {"SiteElevation", -300, 10000}};
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

constexpr Member kPuts[] = {
    put("abortslew", [](TelescopeApi& api, const Args&) { return of(api.device.abort()); }),
    put(
        "action",
        [](TelescopeApi&, const Args&) {
            return fail(ErrorActionNotImplemented, "The ZR8 supports no actions.");
        },
        Plain, Arg::Text, "Action", Arg::Text, "Parameters"),
    put("commandblind", notImplemented, Plain, Arg::Text, "Command", Arg::Bool, "Raw"),
    put("commandbool", notImplemented, Plain, Arg::Text, "Command", Arg::Bool, "Raw"),
    put("commandstring", notImplemented, Plain, Arg::Text, "Command", Arg::Bool, "Raw"),
    put(
        "connect", [](TelescopeApi& api, const Args&) { return of(api.device.connect()); },
        BeforeConnect),
    put(
        "connected",
        [](TelescopeApi& api, const Args& a) {
            if (a.flag[0]) return of(api.device.connectAndWait());
            api.device.disconnect();
            return done();
        },
        BeforeConnect | Waits, Arg::Bool, "Connected"),
    put("declinationrate", notImplemented, Plain, Arg::Number, "DeclinationRate"),
    put(
        "disconnect",
        [](TelescopeApi& api, const Args&) {
            api.device.disconnect();
            return done();
        },
        BeforeConnect),
    put("doesrefraction", notImplemented, Plain, Arg::Bool, "DoesRefraction"),
    put("findhome", notImplemented),
    put("guideratedeclination", notImplemented, Plain, Arg::Number, "GuideRateDeclination"),
    put("guideraterightascension", notImplemented, Plain, Arg::Number, "GuideRateRightAscension"),
    put(
        "moveaxis",
        [](TelescopeApi& api, const Args& a) {
            const int64_t axis = a.integer[0];
            if (axis == 2) return fail(ErrorNotImplemented, "The ZR8 has no third axis.");
            if (axis < 0 || axis > 2) return fail(ErrorInvalidValue, "Axis must be 0, 1 or 2.");
            return of(api.device.moveAxis(static_cast<int>(axis), a.number[1]));
        },
        Plain, Arg::Integer, "Axis", Arg::Number, "Rate"),
    put("park", notImplemented),
    put("pulseguide", notImplemented, Plain, Arg::Integer, "Direction", Arg::Integer, "Duration"),
    put("rightascensionrate", notImplemented, Plain, Arg::Number, "RightAscensionRate"),
    put("setpark", notImplemented),
    put("sideofpier", notImplemented, Plain, Arg::Integer, "SideOfPier"),
    put(
        "siteelevation",
        [](TelescopeApi& api, const Args& a) { return setSite(api, 2, a.number[0]); }, Waits,
        Arg::Number, "SiteElevation"),
    put(
        "sitelatitude",
        [](TelescopeApi& api, const Args& a) { return setSite(api, 0, a.number[0]); }, Waits,
        Arg::Number, "SiteLatitude"),
    put(
        "sitelongitude",
        [](TelescopeApi& api, const Args& a) { return setSite(api, 1, a.number[0]); }, Waits,
        Arg::Number, "SiteLongitude"),
    put("slewsettletime", notImplemented, Plain, Arg::Integer, "SlewSettleTime"),
    put("slewtoaltaz", notImplemented, Plain, Arg::Number, "Azimuth", Arg::Number, "Altitude"),
    put("slewtoaltazasync", notImplemented, Plain, Arg::Number, "Azimuth", Arg::Number, "Altitude"),
    put("slewtocoordinates", notImplemented, Plain, Arg::Number, "RightAscension", Arg::Number,
        "Declination"),
    put(
        "slewtocoordinatesasync",
        [](TelescopeApi& api, const Args& a) { return slewTo(api, a.number[0], a.number[1]); },
        Plain, Arg::Number, "RightAscension", Arg::Number, "Declination"),
    put("slewtotarget", notImplemented),
    put("slewtotargetasync", [](TelescopeApi& api, const Args&) { return toTarget(api, false); }),
    put("synctoaltaz", notImplemented, Plain, Arg::Number, "Azimuth", Arg::Number, "Altitude"),
    put(
        "synctocoordinates",
        [](TelescopeApi& api, const Args& a) { return syncTo(api, a.number[0], a.number[1]); },
        Waits, Arg::Number, "RightAscension", Arg::Number, "Declination"),
    put(
        "synctotarget", [](TelescopeApi& api, const Args&) { return toTarget(api, true); }, Waits),
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
    put(
        "targetrightascension",
        [](TelescopeApi& api, const Args& a) {
            if (!raInRange(a.number[0])) {
                return fail(
                    ErrorInvalidValue,
                    formatted("TargetRightAscension %.10g is outside 0 to 24 hours.", a.number[0]));
            }
            api.device.setTarget(a.number[0], std::nullopt);
            return done();
        },
        Plain, Arg::Number, "TargetRightAscension"),
    put(
        "tracking",
        [](TelescopeApi& api, const Args& a) { return of(api.device.setTracking(a.flag[0])); },
        Plain, Arg::Bool, "Tracking"),
    put(
        "trackingrate",
        [](TelescopeApi&, const Args& a) {
            if (a.integer[0] == 0) return done();
            return fail(ErrorInvalidValue, "The ZR8 tracks at the sidereal rate (0) only.");
        },
        Plain, Arg::Integer, "TrackingRate"),
    put("unpark", notImplemented),
    put(
        "utcdate",
        [](TelescopeApi& api, const Args& a) {
            api.clock.setUtcNow(a.date);
            return done();
        },
        Plain, Arg::Date, "UTCDate"),

};
static_assert(sortedByName(std::begin(kPuts), std::end(kPuts)), "keep the rows sorted by name");

}  // namespace

const Member* findPut(std::string_view name) {
    return findIn(std::begin(kPuts), std::end(kPuts), name);
}

}  // namespace zr8::alpaca::members
