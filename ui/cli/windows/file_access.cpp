// SPDX-License-Identifier: GPL-3.0-or-later
// Windows files, by their wide names. What is under a name is opened and
// asked (GetFileType, GetFileInformationByHandle) before a byte is read;
// links are followed to the file they name (GetFinalPathNameByHandleW). The
// temporary file is made new (CREATE_NEW) beside its target, written
// through and flushed. A new name is given with MoveFileExW, written
// through and without MOVEFILE_REPLACE_EXISTING, so nothing that appeared
// meanwhile is replaced; a file is replaced with ReplaceFileW, which keeps
// its attributes and security as the replaced one had them, and the result
// is flushed.
#include "ui/cli/file_access.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <random>
#include <utility>

#include "platform/windows/port_open_error.h"
#include "platform/windows/wide_text.h"

namespace zr8::cli {

namespace {

// A handle closed when it goes.
class WinHandle {
public:
    WinHandle() = default;
    explicit WinHandle(HANDLE handle) : handle_(handle) {}
    WinHandle(WinHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    WinHandle& operator=(WinHandle&&) = delete;
    ~WinHandle() {
        if (valid()) ::CloseHandle(handle_);
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

std::string systemError(const std::string& name, DWORD code = ::GetLastError()) {
    return name + ": " + systemErrorText(code);
}

std::string shown(const std::wstring& path) { return utf8FromWide(path); }

const char* kindOf(DWORD fileType) {
    switch (fileType) {
    case FILE_TYPE_CHAR:
        return "a character device";
    case FILE_TYPE_PIPE:
        return "a pipe";
    default:
        return "not a plain file";
    }
}

std::string notRegular(const std::string& name, const char* kind) {
    return name + ": not a regular file (" + kind + ")";
}

// Opened to be looked at, not to be read or written; links followed.
HANDLE openToLookAt(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Empty when `file` is a regular file; else what it is.
const char* notAFile(HANDLE file) {
    const DWORD type = ::GetFileType(file);
    if (type != FILE_TYPE_DISK) return kindOf(type);
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "a directory";
    }
    return nullptr;
}

// Reads until the end or one byte past `limit`.
bool readUpTo(HANDLE file, size_t limit, std::string& text) {
    char buffer[16384];
    while (text.size() <= limit) {
        DWORD n = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            return ::GetLastError() == ERROR_BROKEN_PIPE;  // the writer closed it: the end
        }
        if (n == 0) return true;
        text.append(buffer, n);
    }
    return true;
}

// What is under `path` now: the regular file to write (`target`, links
// followed), or why it cannot take the file.
struct Target {
    std::wstring path;
    bool present = false;
};

FileOutcome resolve(const std::string& path, bool replace, Target& target, bool& exists,
                    std::string& error) {
    target = Target{};
    target.path = wideFromUtf8(path);
    exists = false;
    const WinHandle file(openToLookAt(target.path));
    if (!file.valid()) {
        const DWORD code = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(target.path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            exists = true;
            if (!replace) return FileOutcome::Refused;
            exists = false;
            error = path + ": a symbolic link to nothing that can be written (" +
                    systemErrorText(code) + ")";
            return FileOutcome::Refused;
        }
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return FileOutcome::Done;
        error = systemError(path, code);
        return FileOutcome::Failed;
    }
    exists = true;
    if (const char* kind = notAFile(file.get())) {
        exists = false;
        error = notRegular(path, kind);
        return FileOutcome::Refused;
    }
    wchar_t final[MAX_PATH * 4] = {};
    const DWORD length = ::GetFinalPathNameByHandleW(file.get(), final, MAX_PATH * 4,
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length > 0 && length < MAX_PATH * 4) target.path.assign(final, length);
    if (!replace) return FileOutcome::Refused;
    target.present = true;
    return FileOutcome::Done;
}

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : L".";
    // "C:\x": the root keeps its backslash.
    return slash == 2 && path[1] == L':' ? path.substr(0, 3) : path.substr(0, slash);
}

// A file of our own beside the target, made new: `name` is its path.
WinHandle makeTemporary(const std::wstring& folder, DWORD flags, std::wstring& name) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[16];
        std::swprintf(suffix, 16, L"%08x", static_cast<unsigned>(random()));
        name = folder + L"\\.zr8ctl-" + suffix + L".tmp";
        WinHandle file(::CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | flags, nullptr));
        if (file.valid() || ::GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return WinHandle();
}

bool writeAll(HANDLE file, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
        DWORD n = 0;
        if (!::WriteFile(file, text.data() + done, chunk, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

// Gives the temporary file its name; `temporary` is gone on success.
FileOutcome publish(const std::wstring& temporary, const Target& target, bool& exists,
                    std::string& error) {
    if (target.present) {
        if (!::ReplaceFileW(target.path.c_str(), temporary.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                            nullptr, nullptr)) {
            error = systemError(shown(target.path));
            return FileOutcome::Failed;
        }
        // ReplaceFileW has no write-through of its own: the file's data and
        // its entry are flushed after it.
        const WinHandle replaced(::CreateFileW(target.path.c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!replaced.valid() || !::FlushFileBuffers(replaced.get())) {
            error = systemError(shown(target.path));
            return FileOutcome::Failed;
        }
        return FileOutcome::Done;
    }
    if (::MoveFileExW(temporary.c_str(), target.path.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return FileOutcome::Done;
    }
    const DWORD code = ::GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
        exists = true;
        return FileOutcome::Refused;
    }
    error = systemError(shown(target.path), code);
    return FileOutcome::Failed;
}

}  // namespace

FileOutcome readWholeFile(const std::string& path, size_t limit, std::string& text,
                          std::string& error) {
    text.clear();
    if (path == "-") {
        if (!readUpTo(::GetStdHandle(STD_INPUT_HANDLE), limit, text)) {
            error = systemError("standard input");
            return FileOutcome::Failed;
        }
    } else {
        const WinHandle file(::CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                           nullptr));
        if (!file.valid()) {
            error = systemError(path);
            return FileOutcome::Failed;
        }
        if (const char* kind = notAFile(file.get())) {
            error = notRegular(path, kind);
            return FileOutcome::Refused;
        }
        LARGE_INTEGER size{};
        if (::GetFileSizeEx(file.get(), &size) && static_cast<uint64_t>(size.QuadPart) > limit) {
            text.resize(limit + 1);  // known too large without reading it
        } else if (!readUpTo(file.get(), limit, text)) {
            error = systemError(path);
            return FileOutcome::Failed;
        }
    }
    if (text.size() > limit) {
        error = (path == "-" ? std::string("standard input") : path) + ": more than " +
                std::to_string(limit / 1024) + " KiB, far more than any backup holds";
        return FileOutcome::Refused;
    }
    return FileOutcome::Done;
}

FileOutcome checkWritable(const std::string& path, bool replace, bool& exists, std::string& error) {
    Target target;
    const FileOutcome outcome = resolve(path, replace, target, exists, error);
    if (outcome != FileOutcome::Done) return outcome;
    // The folder must take a new file: said now rather than after the work.
    const std::wstring folder = folderOf(target.path);
    std::wstring probe;
    if (!makeTemporary(folder, FILE_FLAG_DELETE_ON_CLOSE, probe).valid()) {
        error = systemError(shown(folder));
        return FileOutcome::Refused;
    }
    return outcome;
}

FileOutcome writeWholeFile(const std::string& path, std::string_view text, bool replace,
                           bool& exists, std::string& error) {
    Target target;
    FileOutcome outcome = resolve(path, replace, target, exists, error);
    if (outcome != FileOutcome::Done) return outcome;

    const std::wstring folder = folderOf(target.path);
    std::wstring temporary;
    {
        const WinHandle file = makeTemporary(folder, FILE_FLAG_WRITE_THROUGH, temporary);
        if (!file.valid()) {
            error = systemError(shown(folder));
            return FileOutcome::Failed;
        }
        if (!writeAll(file.get(), text) || !::FlushFileBuffers(file.get())) {
            error = systemError(shown(temporary));
            ::DeleteFileW(temporary.c_str());
            return FileOutcome::Failed;
        }
    }
    // Published as the check at this moment allows, so that what appeared
    // since the first look is neither replaced nor written through.
    outcome = resolve(path, replace, target, exists, error);
    if (outcome == FileOutcome::Done) outcome = publish(temporary, target, exists, error);
    if (outcome != FileOutcome::Done) ::DeleteFileW(temporary.c_str());
    return outcome;
}

std::FILE* openLog(const std::string& path, std::string& error) {
    std::FILE* file = ::_wfopen(wideFromUtf8(path).c_str(), L"w");
    if (file == nullptr) error = systemError(path);
    return file;
}

}  // namespace zr8::cli
