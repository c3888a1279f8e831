// SPDX-License-Identifier: GPL-3.0-or-later
// POSIX files: the descriptor is checked with fstat before a byte is read,
// the temporary name comes from mkstemp (created new, never followed), and
// a new name is given with renameat2(RENAME_NOREPLACE), or link() where the
// file system lacks it, so nothing that appeared meanwhile is replaced.
#include "ui/cli/file_access.h"

#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace zr8::cli {

namespace {

std::string systemError(const std::string& name) { return name + ": " + std::strerror(errno); }

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a plain file";
}

std::string notRegular(const std::string& name, mode_t mode) {
    return name + ": not a regular file (" + kindOf(mode) + ")";
}

// Reads until the end or one byte past `limit`.
bool readUpTo(int fd, size_t limit, std::string& text) {
    char buffer[16384];
    while (text.size() <= limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            return true;
        } else if (errno == EAGAIN) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, -1);
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

mode_t processUmask() {
    // Read, not set: umask() would change it for every thread meanwhile.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    return 022;
}

bool writeAll(int fd, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// What is under `path` now: the regular file to write (`target`, links
// followed) and its status, or why it cannot take the file.
struct Target {
    std::string path;
    bool present = false;
    struct stat status {};
};

FileOutcome resolve(const std::string& path, bool replace, Target& target, bool& exists,
                    std::string& error) {
    target = Target{};
    target.path = path;
    exists = false;
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        if (errno == ENOENT) return FileOutcome::Done;
        error = systemError(path);
        return FileOutcome::Failed;
    }
    exists = true;
    if (S_ISLNK(link.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) {
            if (!replace) return FileOutcome::Refused;
            exists = false;
            error = path + ": a symbolic link to nothing that can be written (" +
                    std::strerror(errno) + ")";
            return FileOutcome::Refused;
        }
        target.path = real;
        ::free(real);
        if (::stat(target.path.c_str(), &link) != 0) {
            error = systemError(path);
            return FileOutcome::Failed;
        }
    }
    if (!S_ISREG(link.st_mode)) {
        exists = false;
        error = notRegular(path, link.st_mode);
        return FileOutcome::Refused;
    }
    if (!replace) return FileOutcome::Refused;
    target.present = true;
    target.status = link;
    return FileOutcome::Done;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Gives the temporary file its name; `temporary` is gone on success.
FileOutcome publish(const std::string& temporary, const Target& target, bool& exists,
                    std::string& error) {
    if (target.present) {
        if (::rename(temporary.c_str(), target.path.c_str()) == 0) return FileOutcome::Done;
        error = systemError(target.path);
        return FileOutcome::Failed;
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.path.c_str(), RENAME_NOREPLACE) ==
        0) {
        return FileOutcome::Done;
    }
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        if (::link(temporary.c_str(), target.path.c_str()) == 0) {
            ::unlink(temporary.c_str());
            return FileOutcome::Done;
        }
    }
    if (errno == EEXIST) {
        exists = true;
        return FileOutcome::Refused;
    }
    error = systemError(target.path);
    return FileOutcome::Failed;
}

}  // namespace

FileOutcome readWholeFile(const std::string& path, size_t limit, std::string& text,
                          std::string& error) {
    const bool input = path == "-";
    const std::string name = input ? "standard input" : path;
    // Non-blocking, so that opening a pipe nobody writes does not wait.
    const int fd =
        input ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = systemError(name);
        return FileOutcome::Failed;
    }
    FileOutcome outcome = FileOutcome::Done;
    struct stat status {};
    text.clear();
    if (::fstat(fd, &status) != 0) {
        error = systemError(name);
        outcome = FileOutcome::Failed;
    } else if (!input && !S_ISREG(status.st_mode)) {
        error = notRegular(name, status.st_mode);
        outcome = FileOutcome::Refused;
    } else if (!input && static_cast<size_t>(status.st_size) > limit) {
        text.resize(limit + 1);  // known too large without reading it
    } else {
        if (!input) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (!readUpTo(fd, limit, text)) {
            error = systemError(name);
            outcome = FileOutcome::Failed;
        }
    }
    if (outcome == FileOutcome::Done && text.size() > limit) {
        error = name + ": more than " + std::to_string(limit / 1024) +
                " KiB, far more than any backup holds";
        outcome = FileOutcome::Refused;
    }
    if (!input) ::close(fd);
    return outcome;
}

FileOutcome checkWritable(const std::string& path, bool replace, bool& exists, std::string& error) {
    Target target;
    const FileOutcome outcome = resolve(path, replace, target, exists, error);
    if (outcome != FileOutcome::Done) return outcome;
    // The folder must take a new file: said now rather than after the work.
    const std::string folder = folderOf(target.path);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        error = systemError(folder);
        return FileOutcome::Refused;
    }
    return outcome;
}

FileOutcome writeWholeFile(const std::string& path, std::string_view text, bool replace,
                           bool& exists, std::string& error) {
    Target target;
    FileOutcome outcome = resolve(path, replace, target, exists, error);
    if (outcome != FileOutcome::Done) return outcome;

    const std::string folder = folderOf(target.path);
    std::string temporary = folder + "/.zr8ctl-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = systemError(folder);
        return FileOutcome::Failed;
    }
    const mode_t mode = target.present ? target.status.st_mode & 07777 : 0666 & ~processUmask();
    bool written = writeAll(fd, text) && ::fchmod(fd, mode) == 0;
    if (written && target.present) {
        // Only root may give a file away; others keep the group where they may.
        if (::fchown(fd, target.status.st_uid, target.status.st_gid) != 0 &&
            ::fchown(fd, static_cast<uid_t>(-1), target.status.st_gid) != 0) {
            // The file stays the writer's own, as any new file would be.
        }
    }
    written = written && ::fsync(fd) == 0;
    if (!written) error = systemError(temporary);
    if (::close(fd) != 0 && written) {
        error = systemError(temporary);
        written = false;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return FileOutcome::Failed;
    }
    // Published as the check at this moment allows, so that what appeared
    // since the first look is neither replaced nor written through.
    outcome = resolve(path, replace, target, exists, error);
    if (outcome == FileOutcome::Done) outcome = publish(temporary, target, exists, error);
    if (outcome != FileOutcome::Done) {
        ::unlink(temporary.c_str());
        return outcome;
    }
    // The new name itself survives a power cut only once its folder is on disk.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || (::fsync(dir) != 0 && errno != EINVAL)) {
        error = systemError(folder);
        outcome = FileOutcome::Failed;
    }
    if (dir >= 0) ::close(dir);
    return outcome;
}

std::FILE* openLog(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) error = systemError(path);
    return file;
}

}  // namespace zr8::cli
