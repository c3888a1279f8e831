// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where zr8ctl's results and failures go. Texts for people are printed as
// they come; with --json a command's result is kept and printed once at the
// end, with the failure (if any) inside it, so standard output always holds
// exactly one document (or, for a watched reading, one compact document a
// line). Failures are also told on standard error, a line at a time, each
// starting with "zr8ctl: ".
//
// A write to standard output that fails (a full disk, a closed pipe) is
// remembered and turns a successful exit into 1.

#include <string>
#include <string_view>

#include "ui/cli/configuration_document.h"

namespace zr8::cli {

// The document as text; bytes that are not UTF-8 become U+FFFD instead of
// ending the program. Compact when `indent` is negative.
std::string jsonText(const Json& document, int indent = 2);

// `text` with control characters other than line feeds and tabs shown as
// \xNN, so a file's content cannot steer the terminal.
std::string printable(std::string_view text);

class Output {
public:
    // `lines`: results come one compact document a line, as they happen.
    explicit Output(bool json, bool lines = false) : json_(json), lines_(lines) {}
    bool json() const { return json_; }

    // The command's result; with --json printed at finish().
    void document(Json document) { document_ = std::move(document); }
    Json& result() { return document_; }
    // A line of results at once: the compact document with --json, `text`
    // without.
    void line(const Json& document, const std::string& text);
    // Printed at once, without --json only.
    void text(const std::string& text);
    // A remark on standard error at once, whatever the mode.
    void note(const std::string& message);

    // Records the failure (the first one counts) and returns `exitCode`:
    // `message` goes to standard error, and with --json {"kind": kind,
    // "message": message, ...details} under "error" beside the result.
    int error(int exitCode, const char* kind, const std::string& message,
              Json details = Json::object());
    bool failed() const { return !kind_.empty(); }
    const std::string& failureKind() const { return kind_; }
    // A line for the end of the failure's message and members for its
    // details, kept for the failure recorded before or after it (if any).
    void amend(const std::string& line, const Json& details = Json::object());
    // Leaves the failure out of standard output (the stream of lines ends
    // without an error document).
    void quietFailure() { quiet_ = true; }

    // Prints what is kept, and returns `code`, or 1 when standard output
    // could not be written and nothing worse happened.
    int finish(int code);

private:
    bool json_;
    bool lines_;
    bool quiet_ = false;
    Json document_;
    std::string kind_;
    std::string message_;
    Json details_ = Json::object();
    std::string amendments_;
    Json amendedDetails_ = Json::object();
};

// Writes to standard output at once; false (remembered) when it failed.
bool writeStandardOutput(std::string_view text);
// Why standard output failed, or empty; flushes what is buffered first.
std::string standardOutputFailure();

}  // namespace zr8::cli
