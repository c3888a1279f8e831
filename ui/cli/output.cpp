// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ui/cli/commands.h"

namespace zr8::cli {

namespace {

std::string& outputFailure() {
    static std::string reason;
    return reason;
}

void rememberFailure() {
    if (outputFailure().empty()) outputFailure() = std::strerror(errno != 0 ? errno : EIO);
}

void printLines(const std::string& message) {
    const std::string shown = printable(message);
    size_t from = 0;
    while (from < shown.size()) {
        const size_t end = shown.find('\n', from);
        std::fprintf(stderr, "zr8ctl: %s\n", shown.substr(from, end - from).c_str());
        if (end == std::string::npos) break;
        from = end + 1;
    }
    std::fflush(stderr);
}

}  // namespace

std::string jsonText(const Json& document, int indent) {
    return document.dump(indent, ' ', false, Json::error_handler_t::replace);
}

std::string printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

bool writeStandardOutput(std::string_view text) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        rememberFailure();
        return false;
    }
    return true;
}

std::string standardOutputFailure() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) rememberFailure();
    return outputFailure();
}

void Output::line(const Json& document, const std::string& text) {
    writeStandardOutput(json_ ? jsonText(document, -1) + "\n" : text);
}

void Output::text(const std::string& text) {
    if (!json_) writeStandardOutput(text);
}

void Output::note(const std::string& message) { printLines(message); }

int Output::error(int exitCode, const char* kind, const std::string& message, Json details) {
    if (kind_.empty()) {
        kind_ = kind;
        message_ = message;
        details_ = std::move(details);
    }
    return exitCode;
}

void Output::amend(const std::string& line, const Json& details) {
    amendments_ += "\n" + line;
    for (const auto& [key, value] : details.items()) amendedDetails_[key] = value;
}

int Output::finish(int code) {
    message_ += amendments_;
    for (const auto& [key, value] : amendedDetails_.items()) details_[key] = value;
    if (!kind_.empty()) printLines(message_);
    const bool withError = !kind_.empty() && !quiet_;
    if (json_ && (withError || (!lines_ && !document_.is_null()))) {
        Json document = !lines_ && document_.is_object() ? document_ : Json::object();
        if (withError) {
            Json error = Json::object();
            error["kind"] = kind_;
            error["message"] = message_;
            for (const auto& [key, value] : details_.items()) error[key] = value;
            document["error"] = std::move(error);
        }
        writeStandardOutput(jsonText(document, lines_ ? -1 : 2) + "\n");
    }
    const std::string failure = standardOutputFailure();
    if (!failure.empty() && (code == kExitDone || code == kExitDifferent)) {
        printLines("standard output: " + failure);
        return kExitFailed;
    }
    return code;
}

}  // namespace zr8::cli
