// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The files zr8ctl reads and writes, handled so that a script can rely on
// them. Reading takes a regular file or standard input ("-"), never waits
// on a pipe or device that has no end, and stops at a limit. Writing puts
// the whole text under a temporary name in the same folder, makes it
// durable, and only then gives it the name, so that the name never holds
// half a file, even across a power cut; it never replaces what it was not
// told to, even something that appeared while zr8ctl was busy, and through a
// symbolic link it writes the file the link names.
//
// Names are UTF-8; on Windows they are used as wide names, so that every
// name the system takes can be given.
//
// One implementation per system, chosen by CMake.

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace zr8::cli {

// At most this much of a file is read (a backup is a few kilobytes).
inline constexpr size_t kReadLimit = 256 * 1024;

enum class FileOutcome {
    Done,
    Refused,  // the name is wrong for it: `error` says why
    Failed,   // the system failed: `error` gives its words
};

// The whole of `path`, or of standard input for "-". Refused when `path` is
// not a regular file or holds more than `limit` bytes; Failed when it
// cannot be opened or read.
FileOutcome readWholeFile(const std::string& path, size_t limit, std::string& text,
                          std::string& error);

// Whether `path` can take a file: Refused when something is there and
// `replace` is false, or when what is there is not a regular file (nor a
// link to one). `exists` tells the first case from the second.
FileOutcome checkWritable(const std::string& path, bool replace, bool& exists, std::string& error);

// Writes `text` as `path` (the checks of checkWritable hold at the moment
// the name is given). A replaced file keeps its permissions and, where the
// system lets it, its owner; a new one gets those the process's umask
// gives. On failure nothing under `path` has changed.
FileOutcome writeWholeFile(const std::string& path, std::string_view text, bool replace,
                           bool& exists, std::string& error);

// A text file `path` opened for writing from its start (made, or emptied),
// for a log; null with `error` saying why.
std::FILE* openLog(const std::string& path, std::string& error);

}  // namespace zr8::cli
