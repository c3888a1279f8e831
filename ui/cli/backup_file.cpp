// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/backup_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <system_error>

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
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 1: ..."
        const std::string what = e.what();
        const size_t at = what.find("parse error");
        error = "not valid JSON: " + (at == std::string::npos ? what : what.substr(at));
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
    const Json& version = document.contains("formatVersion") ? document["formatVersion"] : Json();
    if (!version.is_number_integer()) {
        error = "formatVersion: missing or not a whole number";
        return std::nullopt;
    }
    if (version != kBackupFormatVersion) {
        error = "formatVersion: version " + version.dump() + " is not one this zr8ctl reads (" +
                std::to_string(kBackupFormatVersion) + ")";
        return std::nullopt;
    }
    for (const auto& [key, value] : document.items()) {
        if (std::find(std::begin(kTopLevel), std::end(kTopLevel), key) == std::end(kTopLevel)) {
            error = key + ": not a field of a zr8ctl backup";
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

std::optional<std::string> readTextFile(const std::string& path, std::string& error) {
    if (path == "-") {
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    return text.str();
}

bool writeTextFile(const std::string& path, const std::string& text, std::string& error) {
    if (path == "-") {
        std::cout << text << std::flush;
        if (!std::cout) error = "standard output: cannot be written";
        return static_cast<bool>(std::cout);
    }
    namespace fs = std::filesystem;
    const fs::path target(path);
    fs::path temporary = target;
    temporary += ".zr8ctl-partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = temporary.string() + ": " + std::strerror(errno);
            return false;
        }
        out << text;
        out.flush();
        if (!out) {
            error = temporary.string() + ": cannot be written";
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code failed;
    fs::rename(temporary, target, failed);
    if (failed) {
        error = path + ": " + failed.message();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

}  // namespace zr8::cli
