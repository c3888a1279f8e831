// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the server keeps between runs, per user, in one JSON file: the ZR8's
// serial line, the site, the flip policy, where it listens, and the device's
// UniqueID (made once from a random GUID). A file that cannot be read as
// such is reported and not trusted: it is kept beside as "<name>.damaged"
// and the defaults take its place.
//
// Threads: SettingsFile guards itself; any thread.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "mount/flip_policy.h"

namespace zr8::alpaca {

inline constexpr uint16_t kDefaultHttpPort = 11111;
inline constexpr const char* kDefaultListenAddress = "127.0.0.1";

struct ServerSettings {
    std::string serialPort;  // "/dev/ttyUSB0", "COM3", or a provided port's name
    uint32_t baudRate = 115200;
    double latitude = 0;
    double longitude = 19.5;
    double elevation = 0;
    mount::FlipPolicy flipPolicy = mount::FlipPolicy::FlipWhenRecommended;
    std::string listenAddress = kDefaultListenAddress;
    uint16_t httpPort = kDefaultHttpPort;
    std::string uniqueId;

    friend bool operator==(const ServerSettings&, const ServerSettings&) = default;
};

// Why the values cannot be used ("SiteLatitude -95 is outside -90 to 90."),
// or empty.
std::string settingsProblem(const ServerSettings& settings);

std::string settingsToJson(const ServerSettings& settings);
// False, with the reason, when the text is not such a document.
bool settingsFromJson(const std::string& text, ServerSettings& settings, std::string& why);

// A path as UTF-8 text, on every system.
std::string pathText(const std::filesystem::path& path);

// A random (version 4) GUID, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx".
std::string newUniqueId();

class SettingsFile {
public:
    explicit SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

    // Reads the file. A missing file gives the defaults, a damaged one the
    // defaults and `report()`; either way a UniqueID is made and the file
    // written. False when the file could not be written (see report()).
    bool load();
    ServerSettings current() const;
    // Checks and writes; the reason when the values are refused or the
    // write failed (the file is then as it was).
    std::string save(const ServerSettings& settings);

    // What went wrong with the file at load, for the operator; empty when
    // nothing did.
    std::string report() const;
    const std::filesystem::path& path() const { return path_; }

private:
    const std::filesystem::path path_;
    mutable std::mutex lock_;
    ServerSettings settings_;
    std::string report_;
};

}  // namespace zr8::alpaca
