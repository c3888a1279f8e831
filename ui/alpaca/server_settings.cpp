// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/server_settings.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "platform/user_files.h"

namespace zr8::alpaca {

namespace {

using nlohmann::json;

std::string describe(const char* name, double value, double low, double high) {
    char text[160];
    std::snprintf(text, sizeof text, "%s %.10g is outside %g to %g.", name, value, low, high);
    return text;
}

}  // namespace

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string settingsProblem(const ServerSettings& s) {
    if (s.baudRate != 9600 && s.baudRate != 115200)
        return "Baud rate " + std::to_string(s.baudRate) + ": the ZR8 speaks 9600 or 115200 baud.";
    if (!(s.latitude >= -90 && s.latitude <= 90))
        return describe("Site latitude", s.latitude, -90, 90);
    if (s.latitude < 0)
        return "Site latitude " + std::to_string(s.latitude) +
               " is south of the equator: the ZR8's pointing assumes a northern mount.";
    if (!(s.longitude >= -180 && s.longitude <= 180))
        return describe("Site longitude", s.longitude, -180, 180);
    if (!(s.elevation >= -300 && s.elevation <= 10000))
        return describe("Site elevation", s.elevation, -300, 10000);
    if (s.listenAddress.empty()) return "The listening address is empty.";
    return {};
}

std::string settingsToJson(const ServerSettings& s) {
    const json doc = {
        {"serialPort", s.serialPort},       {"baudRate", s.baudRate},
        {"siteLatitude", s.latitude},       {"siteLongitude", s.longitude},
        {"siteElevation", s.elevation},     {"flipPolicy", mount::flipPolicyName(s.flipPolicy)},
        {"listenAddress", s.listenAddress}, {"httpPort", s.httpPort},
        {"uniqueId", s.uniqueId},
    };
    return doc.dump(2) + "\n";
}

bool settingsFromJson(const std::string& text, ServerSettings& out, std::string& why) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        why = "it is not a JSON object";
        return false;
    }
    ServerSettings s;
    // Every key is optional; a key that is there must have its type.
    auto take = [&](const char* key, auto& field, bool (json::*is)() const) {
        const auto it = doc.find(key);
        if (it == doc.end()) return true;
        if (!((*it).*is)()) {
            why = std::string("\"") + key + "\" has the wrong type";
            return false;
        }
        field = it->get<std::remove_reference_t<decltype(field)>>();
        return true;
    };
    std::string policy = mount::flipPolicyName(s.flipPolicy);
    uint64_t baud = s.baudRate, port = s.httpPort;
    if (!take("serialPort", s.serialPort, &json::is_string) ||
        !take("baudRate", baud, &json::is_number_unsigned) ||
        !take("siteLatitude", s.latitude, &json::is_number) ||
        !take("siteLongitude", s.longitude, &json::is_number) ||
        !take("siteElevation", s.elevation, &json::is_number) ||
        !take("flipPolicy", policy, &json::is_string) ||
        !take("listenAddress", s.listenAddress, &json::is_string) ||
        !take("httpPort", port, &json::is_number_unsigned) ||
        !take("uniqueId", s.uniqueId, &json::is_string))
        return false;
    if (baud > 0xFFFFFFFF || port > 65535) {
        why = "a number is too large";
        return false;
    }
    s.baudRate = static_cast<uint32_t>(baud);
    s.httpPort = static_cast<uint16_t>(port);
    const auto named = mount::flipPolicyNamed(policy);
    if (!named) {
        why = "flipPolicy \"" + policy + "\" is neither \"recommended\" nor \"avoid\"";
        return false;
    }
    s.flipPolicy = *named;
    if (std::string problem = settingsProblem(s); !problem.empty()) {
        why = problem;
        return false;
    }
    out = s;
    return true;
}

std::string newUniqueId() {
    std::random_device source;
    std::uniform_int_distribution<unsigned> byte(0, 255);
    unsigned char b[16];
    for (unsigned char& x : b) x = static_cast<unsigned char>(byte(source));
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[40];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

bool SettingsFile::load() {
    std::lock_guard guard(lock_);
    settings_ = ServerSettings{};
    report_.clear();
    std::ifstream in(path_, std::ios::binary);
    bool write = !in;  // a first start writes the defaults and the new UniqueID
    bool mayWrite = true;
    if (in) {
        std::ostringstream text;
        text << in.rdbuf();
        in.close();
        std::string why;
        if (!settingsFromJson(text.str(), settings_, why)) {
            // Kept for the operator to look at; not used, not overwritten.
            std::filesystem::path aside = path_;
            aside += ".damaged";
            std::error_code ec;
            std::filesystem::rename(path_, aside, ec);
            report_ = "The settings file " + pathText(path_) + " is damaged (" + why +
                      "); the defaults are in use" +
                      (ec ? std::string(", and it could not be moved aside: ") + ec.message()
                          : ", and it was kept as " + pathText(aside)) +
                      ".";
            settings_ = ServerSettings{};
            write = true;
            mayWrite = !ec;
        }
    }
    if (settings_.uniqueId.empty()) {
        settings_.uniqueId = newUniqueId();
        write = true;
    }
    std::string error;
    if (write && mayWrite && !replaceFileAtomically(path_, settingsToJson(settings_), error)) {
        report_ +=
            (report_.empty() ? "" : " ") + std::string("The settings cannot be kept: ") + error;
        return false;
    }
    return true;
}

ServerSettings SettingsFile::current() const {
    std::lock_guard guard(lock_);
    return settings_;
}

std::string SettingsFile::save(const ServerSettings& settings) {
    if (std::string problem = settingsProblem(settings); !problem.empty()) return problem;
    std::lock_guard guard(lock_);
    ServerSettings next = settings;
    next.uniqueId = settings_.uniqueId;  // made once, kept
    std::string error;
    if (!replaceFileAtomically(path_, settingsToJson(next), error)) return error;
    settings_ = next;
    return {};
}

std::string SettingsFile::report() const {
    std::lock_guard guard(lock_);
    return report_;
}

}  // namespace zr8::alpaca
