// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A program's per-user files: the folder they belong in, and replacing one
// so that a crash, a full disk or a power cut leaves the old content or the
// new, never a mix of both.
//
// Threads: any; callers serialise writes to the same file.

#include <filesystem>
#include <string>

namespace zr8 {

// Linux: $XDG_CONFIG_HOME/<program>, else ~/.config/<program>.
// Windows: %APPDATA%\<program>. Empty when the system names no such place.
std::filesystem::path userSettingsFolder(const std::string& program);

// Writes `content` beside `path`, flushes it to the disk and puts it in
// place of `path` in one step, making the folder first if needed. False,
// with the system's words in `error`, when any step failed; `path` is then
// as it was.
bool replaceFileAtomically(const std::filesystem::path& path, const std::string& content,
                           std::string& error);

}  // namespace zr8
