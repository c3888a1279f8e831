// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A backup: the controller's whole configuration with the tool's version and
// the time it was taken, as one JSON document (docs/zr8ctl-backup.schema.json):
//
//   {"format": "zr8ctl-backup", "formatVersion": 1, "toolVersion": "1.1.0",
//    "time": "2026-12-08T21:30:00Z", "controller": {...}}
//
// Reading refuses anything else: text that is not JSON, another shape or
// version, a value out of range; the message names the field. Any text is
// safe to read: nothing in it makes the reading recurse, allocate beyond a
// few times its size, or take more than n log n.

#include <optional>
#include <string>

#include "app/sky_time.h"
#include "ui/cli/configuration_document.h"

namespace zr8::cli {

inline constexpr const char* kBackupFormat = "zr8ctl-backup";
inline constexpr int kBackupFormatVersion = 1;

struct Backup {
    std::string toolVersion;
    std::string time;
    Configuration configuration;
};

Json backupJson(const Configuration& configuration, const std::string& toolVersion,
                const std::string& time);

std::optional<Backup> readBackup(const std::string& text, std::string& error);

// "2026-12-08T21:30:00Z"
std::string utcTimeText(const UtcTime& time);

}  // namespace zr8::cli
