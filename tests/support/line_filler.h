// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fills a serial line from a second opening of its device until it takes
// nothing more, so that the next frame written to it has to wait.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace zr8::test {

// A second opening of a device, made before the link opens it exclusively:
// it fills the line towards a controller that stopped reading, so that the
// link's next write cannot go out.
class LineFiller {
public:
    explicit LineFiller(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~LineFiller() {
        if (fd_ >= 0) ::close(fd_);
    }
    LineFiller(const LineFiller&) = delete;
    LineFiller& operator=(const LineFiller&) = delete;
    bool ok() const { return fd_ >= 0; }
    // Writes until the line has taken nothing for a while; false if it never fills.
    bool fill() {
        const uint8_t block[256] = {};
        for (int rounds = 0; rounds < 10'000; ++rounds) {
            while (::write(fd_, block, sizeof block) > 0) {}
            pollfd entry{fd_, POLLOUT, 0};
            if (::poll(&entry, 1, 100) == 0) return true;
        }
        return false;
    }

private:
    int fd_;
};

}  // namespace zr8::test
