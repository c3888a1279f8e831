// SPDX-License-Identifier: GPL-3.0-or-later
// termios serial port. Opened non-blocking so that neither side ever sleeps in
// read() or write(): the reader waits in poll() beside its stop event, the
// writer in poll() against its deadline.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

namespace zr8 {

namespace {

bool speedFor(uint32_t baudRate, speed_t& speed) {
    struct Rate {
        uint32_t baud;
        speed_t speed;
    };
    static constexpr Rate kRates[] = {
        {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
        {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
        {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const Rate& rate : kRates) {
        if (rate.baud == baudRate) {
            speed = rate.speed;
            return true;
        }
    }
    return false;
}

void fail(PortError& error, const char* device, int osError) {
    error.device = device;
    error.systemMessage = std::strerror(osError);
    switch (osError) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        error.code = PortErrorCode::NotFound;
        error.remedy = "check that the device is plugged in and choose it again";
        break;
    case EACCES:
    case EPERM:
        error.code = PortErrorCode::PermissionDenied;
        error.remedy = "add your user to the dialout group, then log in again";
        break;
    case EBUSY:
    case EWOULDBLOCK:
        error.code = PortErrorCode::Busy;
        error.systemMessage = "Device or resource busy";
        error.remedy = "another program is using the port; close it and connect again";
        break;
    case ENOTTY:
    case EINVAL:
        error.code = PortErrorCode::NotASerialDevice;
        error.remedy = "choose a serial device such as /dev/ttyUSB0";
        break;
    default:
        error.code = PortErrorCode::Other;
        error.remedy.clear();
        break;
    }
}

// True when the device is gone for good rather than briefly unable.
bool deviceLost(int osError) {
    return osError != EINTR && osError != EAGAIN && osError != EWOULDBLOCK;
}

}  // namespace

struct SerialPort::SystemState {
    termios found{};  // as open found the line
    bool changed = false;
};

SerialPort::SerialPort() = default;
SerialPort::~SerialPort() { close(); }

bool SerialPort::open(const char* device, uint32_t baudRate, PortError& error) {
    close();
    error = PortError{};
    speed_t speed = B0;
    if (!speedFor(baudRate, speed)) {
        error.code = PortErrorCode::Other;
        error.device = device;
        error.systemMessage = "Unsupported baud rate " + std::to_string(baudRate);
        error.remedy = "choose 9600 or 115200 baud";
        return false;
    }
    const int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fail(error, device, errno);
        return false;
    }
    auto abandon = [&](int osError) {
        ::close(fd);
        fail(error, device, osError);
        return false;
    };
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return abandon(errno);
    if (!system_) system_ = std::make_unique<SystemState>();
    system_->found = settings;
    system_->changed = false;
    // Both locks: TIOCEXCL keeps other opens out (unless privileged), the
    // advisory lock is what other serial programs check, and it holds for root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return abandon(errno);
    if (::ioctl(fd, TIOCEXCL) != 0) return abandon(errno);

    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // Reads are driven by poll(); one byte is enough for a read to return.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0) {
        return abandon(errno);
    }
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) return abandon(errno);
    system_->changed = true;
    ::tcflush(fd, TCIOFLUSH);
    handle_ = fd;
    return true;
}

void SerialPort::close() {
    if (handle_ == kNoHandle) return;
    const int fd = static_cast<int>(handle_);
    handle_ = kNoHandle;
    // Output the driver still queues is left to go, for a while; a flush
    // would throw away frames already handed over (on a pty, even those the
    // other side has not read yet).
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainOnCloseMs);
    int queued = 0;
    while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 &&
           std::chrono::steady_clock::now() < deadline) {
        ::poll(nullptr, 0, 1);
    }
    // Whatever could not leave in time is dropped, so close() cannot wait
    // on a stalled line.
    ::tcflush(fd, queued > 0 ? TCIOFLUSH : TCIFLUSH);
    // The line as we found it: a terminal chosen by mistake must not stay
    // raw at another rate. Fails harmlessly on a device that went away.
    if (system_ && system_->changed) {
        ::tcsetattr(fd, TCSANOW, &system_->found);
        system_->changed = false;
    }
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);  // also drops the advisory lock
}

bool SerialPort::write(const uint8_t* bytes, size_t count, int timeoutMs,
                       const WaitableEvent* giveUp) {
    if (handle_ == kNoHandle) return false;
    const int fd = static_cast<int>(handle_);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < count) {
        const ssize_t written = ::write(fd, bytes + done, count - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && deviceLost(errno)) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (giveUp != nullptr && giveUp->isSet()) return false;
        pollfd entries[2] = {
            {fd, POLLOUT, 0},
            {giveUp != nullptr ? static_cast<int>(giveUp->nativeHandle()) : -1, POLLIN, 0}};
        const int ready = ::poll(entries, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) return false;
        if (ready > 0 && (entries[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
        if (ready > 0 && entries[1].revents != 0) return false;
    }
    return true;
}

SerialPort::ReadOutcome SerialPort::readSome(uint8_t* buffer, size_t capacity, size_t& received,
                                             const WaitableEvent& stop) {
    received = 0;
    if (handle_ == kNoHandle || capacity == 0) return ReadOutcome::Lost;
    const int fd = static_cast<int>(handle_);
    pollfd waits[2] = {{static_cast<int>(stop.nativeHandle()), POLLIN, 0}, {fd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(waits, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return ReadOutcome::Lost;
        }
        if (waits[0].revents != 0) return ReadOutcome::Stopped;
        const short events = waits[1].revents;
        if ((events & POLLNVAL) != 0) return ReadOutcome::Lost;
        if ((events & POLLIN) == 0 && (events & (POLLHUP | POLLERR)) != 0) return ReadOutcome::Lost;
        const ssize_t got = ::read(fd, buffer, capacity);
        if (got > 0) {
            received = static_cast<size_t>(got);
            return ReadOutcome::Data;
        }
        // Readable but no bytes: the line hung up.
        if (got == 0 || deviceLost(errno)) return ReadOutcome::Lost;
    }
}

}  // namespace zr8
