// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Alpaca telescope members: one table row per member and verb, with the
// parameters it takes, whether it answers before the device is connected,
// and what it does. A request is read in this order: its parameters (a
// missing or unreadable one is HTTP 400), then the connection (NotConnected),
// then the member's own checks.
//
// Threads: any; the device and the clock guard themselves.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "mount/site_clock.h"
#include "ui/alpaca/alpaca_params.h"
#include "ui/alpaca/alpaca_reply.h"
#include "ui/alpaca/telescope_device.h"

namespace zr8::alpaca {

enum class Verb { Get, Put };

struct Site {
    double latitude = 0;
    double longitude = 0;
    double elevation = 0;
};

class TelescopeApi {
public:
    // `onSite` is told every site a client sets, to keep it; it answers why
    // it could not, or nothing.
    using SiteKeeper = std::function<std::string(const Site&)>;
    TelescopeApi(TelescopeDevice& device, mount::SiteClock& clock, std::string version,
                 SiteKeeper onSite);

    enum class Lookup { Found, NoSuchMember, WrongVerb };
    Lookup find(std::string_view member, Verb verb) const;
    // Members that wait for the mount (connecting, a sync) or the disk.
    bool waits(std::string_view member, Verb verb) const;

    // A member that find() knows.
    HttpReply handle(std::string_view member, Verb verb, const Parameters& params,
                     uint32_t clientTransaction, uint32_t serverTransaction);

    // The table's handlers reach these.
    TelescopeDevice& device;
    mount::SiteClock& clock;
    const std::string version;
    const SiteKeeper onSite;
};

// "2024-03-01T22:05:07.1234567Z" for a UTC time, and back (the Z may be
// left out; any number of fraction digits).
std::string utcText(std::chrono::system_clock::time_point t);
std::optional<std::chrono::system_clock::time_point> parseUtc(std::string_view text);

}  // namespace zr8::alpaca
