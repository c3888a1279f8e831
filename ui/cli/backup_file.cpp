// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/backup_file.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace zr8::cli {

namespace {

const char* const kTopLevel[] = {"format", "formatVersion", "toolVersion", "time", "controller"};

bool isDigits(const std::string& text, size_t from, size_t count) {
    for (size_t i = from; i < from + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

// YYYY-MM-DDTHH:MM:SSZ, as utcTimeText writes it.
bool isUtcTime(const std::string& t) {
    return t.size() == 20 && isDigits(t, 0, 4) && t[4] == '-' && isDigits(t, 5, 2) && t[7] == '-' &&
           isDigits(t, 8, 2) && t[10] == 'T' && isDigits(t, 11, 2) && t[13] == ':' &&
           isDigits(t, 14, 2) && t[16] == ':' && isDigits(t, 17, 2) && t[19] == 'Z';
}

}  // namespace

Json backupJson(const Configuration& configuration, const std::string& toolVersion,
                const std::string& time) {
    Json document = Json::object();
    document["format"] = kBackupFormat;
    document["formatVersion"] = kBackupFormatVersion;
    document["toolVersion"] = toolVersion;
    document["time"] = time;
    document["controller"] = configurationJson(configuration);
    return document;
}

std::optional<Backup> readBackup(const std::string& text, std::string& error) {
    JsonInput document;
    try {
        document = JsonInput::parse(text);
    } catch (const JsonInput::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 1: ..."; a
        // number too large for a double comes as out_of_range.406 instead.
        const std::string what = e.what();
        const size_t tag = what.find("] ");
        error = "not valid JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2));
        return std::nullopt;
    }
    if (!document.is_object()) {
        error = "not a zr8ctl backup: the document is not a JSON object";
        return std::nullopt;
    }
    if (!document.contains("format") || document["format"] != kBackupFormat) {
        error = std::string("format: not a zr8ctl backup (\"format\" must be \"") + kBackupFormat +
                "\")";
        return std::nullopt;
    }
    const JsonInput& version =
        document.contains("formatVersion") ? document["formatVersion"] : JsonInput();
    const std::string versionText = version.is_number() ? wholeNumberText(version) : "";
    if (versionText.empty() || versionText.find_first_not_of("-0123456789") != std::string::npos) {
        error = "formatVersion: missing or not a whole number";
        return std::nullopt;
    }
    if (versionText != std::to_string(kBackupFormatVersion)) {
        error = "formatVersion: version " + versionText + " is not one this zr8ctl reads (" +
                std::to_string(kBackupFormatVersion) + ")";
        return std::nullopt;
    }
    for (const auto& [key, value] : document.items()) {
        if (std::find(std::begin(kTopLevel), std::end(kTopLevel), key) == std::end(kTopLevel)) {
            error = shownName(key) + ": not a field of a zr8ctl backup";
            return std::nullopt;
        }
    }
    Backup backup;
    if (!document.contains("toolVersion") || !document["toolVersion"].is_string()) {
        error = "toolVersion: missing or not a string";
        return std::nullopt;
    }
    backup.toolVersion = document["toolVersion"].get<std::string>();
    if (!document.contains("time") || !document["time"].is_string() ||
        !isUtcTime(document["time"].get<std::string>())) {
        error = "time: missing or not a UTC time such as 2026-12-08T21:30:00Z";
        return std::nullopt;
    }
    backup.time = document["time"].get<std::string>();
    if (!document.contains("controller")) {
        error = "controller: missing";
        return std::nullopt;
    }
    std::string fieldError;
    std::optional<Configuration> configuration =
        readConfigurationJson(document["controller"], fieldError);
    if (!configuration) {
        error = "controller." + fieldError;
        if (fieldError.rfind("must be", 0) == 0) error = "controller: " + fieldError;
        return std::nullopt;
    }
    backup.configuration = *configuration;
    return backup;
}

std::string utcTimeText(const UtcTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", static_cast<int>(t.year),
                  static_cast<int>(t.month), static_cast<int>(t.day), static_cast<int>(t.hour),
                  static_cast<int>(t.minute), static_cast<int>(t.second));
    return text;
}

}  // namespace zr8::cli
