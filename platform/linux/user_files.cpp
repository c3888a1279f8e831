// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/user_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zr8 {

namespace fs = std::filesystem;

fs::path userSettingsFolder(const std::string& program) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return fs::path(config) / program;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return fs::path(home) / ".config" / program;
    return {};
}

namespace {

bool failed(const char* what, const fs::path& path, std::string& error) {
    error = std::string(what) + " " + path.string() + ": " + std::strerror(errno);
    return false;
}

bool writeAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool replaceFileAtomically(const fs::path& path, const std::string& content, std::string& error) {
    std::error_code ec;
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot make " + folder.string() + ": " + ec.message();
        return false;
    }
    const fs::path temporary = path.string() + ".new-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return failed("cannot create", temporary, error);
    // The data reaches the disk before the name does: a crash between the
    // two steps leaves the old file.
    const bool written = writeAll(fd, content) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temporary.c_str());
        errno = writeErrno;
        return failed("cannot write", temporary, error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameErrno = errno;
        ::unlink(temporary.c_str());
        errno = renameErrno;
        return failed("cannot replace", path, error);
    }
    // The new name itself, made lasting.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace zr8
