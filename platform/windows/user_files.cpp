// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/user_files.h"

#include <windows.h>

#include <shlobj.h>

namespace zr8 {

namespace fs = std::filesystem;

fs::path userSettingsFolder(const std::string& program) {
    PWSTR roaming = nullptr;
    fs::path folder;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming) == S_OK)
        folder = fs::path(roaming) / program;  // an ASCII name
    CoTaskMemFree(roaming);
    return folder;
}

namespace {

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool failed(const char* what, const fs::path& path, DWORD code, std::string& error) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text - 1, nullptr);
    std::string words(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r')) words.pop_back();
    error = std::string(what) + " " + utf8(path) + ": " + words;
    return false;
}

}  // namespace

bool replaceFileAtomically(const fs::path& path, const std::string& content, std::string& error) {
    std::error_code ec;
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot make " + utf8(folder) + ": " + ec.message();
        return false;
    }
    fs::path temporary = path;
    temporary += L".new-" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failed("cannot create", temporary, GetLastError(), error);
    DWORD written = 0;
    // The data reaches the disk before the name does.
    const bool ok =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size() && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return failed("cannot write", temporary, writeError, error);
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD moveError = GetLastError();
        DeleteFileW(temporary.c_str());
        return failed("cannot replace", path, moveError, error);
    }
    return true;
}

}  // namespace zr8
