// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace zr8::sim {

namespace {

using Clock = std::chrono::steady_clock;

// A partial command frame older than this is given up, as a controller's
// receiver would after a pause on the line; the next 0xAA starts afresh.
constexpr auto kFrameGap = std::chrono::milliseconds(500);
// Replies that wait longer than this for a delayed write are dropped.
constexpr size_t kQueueSlots = 32;
// After the hang-up frame is answered the pty stays up this long, so the
// client can read the answer before the line drops.
constexpr auto kHangUpLinger = std::chrono::milliseconds(100);
constexpr auto kByteGap = std::chrono::milliseconds(1);
// With no client (or a line error) the master is looked at this often.
constexpr int kIdleBackOffMs = 50;

std::string osError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool makeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B115200);
    ::cfsetospeed(&t, B115200);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

struct PtyServer::Impl {
    struct Outgoing {
        std::array<uint8_t, 264> bytes{};
        size_t size = 0;
        size_t written = 0;
        Clock::time_point due;
    };

    SimConfig config;
    FaultConfig faults;
    TraceSink trace;
    Clock::time_point epoch = Clock::now();

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    // Guarded by mutex:
    Controller controller;
    std::vector<std::vector<uint8_t>> frames;
    size_t replies = 0;
    bool hungUp = false;
    bool running = false;
    std::string path;

    // Server thread only (and start/stop while it is not running):
    int master = -1;
    bool clientPresent = true;  // false once the last client closed the slave
    int wake[2] = {-1, -1};
    std::thread thread;
    FrameDecoder decoder;
    Clock::time_point lastByte;
    std::array<Outgoing, kQueueSlots> queue;
    size_t queueHead = 0;
    size_t queueCount = 0;
    int framesSeen = 0;
    int repliesMade = 0;
    bool hangUpArmed = false;
    Clock::time_point hangUpAt;
    uint32_t noiseState = 0x2545F491u;

    Impl(SimConfig c, FaultConfig f) : config(std::move(c)), faults(f), controller(config) {
        controller.ignoreCommand(faults.ignoredCommand);
    }

    SimTime simNow() const {
        const double scale = config.timeScale > 0 ? config.timeScale : 1.0;
        const auto elapsed = std::chrono::duration<double, std::nano>(Clock::now() - epoch).count();
        return SimTime(static_cast<int64_t>(elapsed * scale));
    }

    void emit(TraceDirection d, std::span<const uint8_t> bytes) {
        if (trace) trace(d, bytes);
    }

    uint8_t noiseByte() {
        for (;;) {
            noiseState ^= noiseState << 13;
            noiseState ^= noiseState >> 17;
            noiseState ^= noiseState << 5;
            const auto b = static_cast<uint8_t>(noiseState);
            if (b != kReplyStart) return b;
        }
    }

    void run();
    void onFrame(std::span<const uint8_t> frame);
    void queueReply(const ReplyFrame& reply);
    bool flushQueue(Clock::time_point now);
    int pollTimeout(Clock::time_point now, bool writable) const;
    void hangUp();
    void clientLeft();
};

void PtyServer::Impl::onFrame(std::span<const uint8_t> frame) {
    emit(TraceDirection::Received, frame);
    ReplyFrame reply;
    bool answered = false;
    {
        std::lock_guard lock(mutex);
        frames.emplace_back(frame.begin(), frame.end());
        answered = controller.handleFrame(frame, simNow(), reply);
    }
    changed.notify_all();
    ++framesSeen;
    if (hangUpArmed) return;  // the line is about to drop: nothing more is answered
    if (faults.hangUpAfterFrames > 0 && framesSeen >= faults.hangUpAfterFrames) {
        hangUpArmed = true;
        hangUpAt = Clock::now() + std::chrono::milliseconds(faults.replyDelayMs) + kHangUpLinger;
    }
    if (!answered || faults.silent) return;
    if (faults.wrongIdentify && frame[2] == 0x01) {
        // The same length, but not the controller the tool looks for.
        const uint8_t other[] = {0x7F, 0x00, 0x00, 0x00, 0x00};
        encodeReply(other, reply);
    }
    queueReply(reply);
}

void PtyServer::Impl::queueReply(const ReplyFrame& reply) {
    if (queueCount == kQueueSlots)
        return;  // a client that never reads loses replies, as on a real line
    Outgoing& out = queue[(queueHead + queueCount) % kQueueSlots];
    out.size = 0;
    out.written = 0;
    out.due = Clock::now() + std::chrono::milliseconds(faults.replyDelayMs);
    if (faults.noise) {
        const size_t count = 1 + noiseState % 3;
        for (size_t i = 0; i < count; ++i) out.bytes[out.size++] = noiseByte();
    }
    size_t length = reply.size;
    if (++repliesMade == faults.truncateReplyNumber) length = 2 + (reply.size - 2) / 2;
    std::memcpy(out.bytes.data() + out.size, reply.bytes.data(), length);
    out.size += length;
    ++queueCount;
}

// Writes what is due; false when the master would block.
bool PtyServer::Impl::flushQueue(Clock::time_point now) {
    while (queueCount) {
        Outgoing& out = queue[queueHead];
        if (out.due > now) return true;
        const size_t chunk = faults.byteByByte ? 1 : out.size - out.written;
        const ssize_t n = ::write(master, out.bytes.data() + out.written, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) return false;  // the client reads slowly; wait for room
            queueCount = 0;                     // line error: nothing more can go out
            return true;
        }
        emit(TraceDirection::Sent, {out.bytes.data() + out.written, static_cast<size_t>(n)});
        out.written += static_cast<size_t>(n);
        if (out.written < out.size) {
            if (faults.byteByByte) out.due = now + kByteGap;
            continue;
        }
        queueHead = (queueHead + 1) % kQueueSlots;
        --queueCount;
        {
            std::lock_guard lock(mutex);
            ++replies;
        }
        changed.notify_all();
    }
    return true;
}

int PtyServer::Impl::pollTimeout(Clock::time_point now, bool writable) const {
    auto until = Clock::time_point::max();
    if (queueCount && writable) until = std::min(until, queue[queueHead].due);
    if (decoder.inFrame()) until = std::min(until, lastByte + kFrameGap);
    if (hangUpArmed && queueCount == 0)
        until = std::min(until, hangUpAt);  // else the queue's own time
    if (until == Clock::time_point::max()) return -1;
    if (until <= now) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return static_cast<int>(std::min<int64_t>(ms, 60'000));
}

void PtyServer::Impl::hangUp() {
    {
        // Flagged first, so whoever sees the line drop also sees hungUp().
        std::lock_guard lock(mutex);
        hungUp = true;
        running = false;
    }
    closeFd(master);
    emit(TraceDirection::HungUp, {});
    changed.notify_all();
}

// A serial line loses what is sent while nobody listens; a pty keeps it for
// the next client. When the last client has gone, what it left unread is
// thrown away through a short-lived open of the slave.
void PtyServer::Impl::clientLeft() {
    clientPresent = false;
    queueCount = 0;
    decoder.reset();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::tcflush(fd, TCIFLUSH);
        ::close(fd);
    }
    emit(TraceDirection::ClientGone, {});
}

void PtyServer::Impl::run() {
    uint8_t chunk[256];
    bool writable = true;
    for (;;) {
        auto now = Clock::now();
        if (hangUpArmed && now >= hangUpAt && queueCount == 0) {
            hangUp();
            return;
        }
        // A stalled controller takes no more bytes; hang-ups still show.
        const bool stalled =
            faults.stallReadsAfterFrames > 0 && framesSeen >= faults.stallReadsAfterFrames;
        pollfd fds[2] = {{master, static_cast<short>(stalled ? 0 : POLLIN), 0},
                         {wake[0], POLLIN, 0}};
        if (queueCount && !writable) fds[0].events |= POLLOUT;
        // A blocked write waits for POLLOUT, not for the reply's due time.
        int timeout = pollTimeout(now, writable);
        if (queueCount && !writable)
            timeout = timeout < 0 ? kIdleBackOffMs : std::min(timeout, kIdleBackOffMs);
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) return;
        if (fds[1].revents) return;  // stop() asked
        now = Clock::now();

        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            for (ssize_t i = 0; i < n; ++i) {
                switch (decoder.feed(chunk[i])) {
                case FrameDecoder::Result::Frame:
                    onFrame(decoder.frame());
                    break;
                case FrameDecoder::Result::Skipped:
                    emit(TraceDirection::Skipped, decoder.lastSkipped());
                    break;
                case FrameDecoder::Result::Pending:
                    break;
                }
            }
            if (n > 0) {
                lastByte = now;
                clientPresent = true;
            }
        }
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            // No client holds the slave: the master reports this until one
            // opens it, so look again after a pause instead of spinning.
            if (clientPresent) clientLeft();
            pollfd w{wake[0], POLLIN, 0};
            if (::poll(&w, 1, kIdleBackOffMs) > 0) return;
            continue;
        }
        clientPresent = true;
        if (decoder.inFrame() && now - lastByte >= kFrameGap) {
            decoder.reset();
            emit(TraceDirection::Skipped, decoder.lastSkipped());
        }
        writable = flushQueue(Clock::now());
    }
}

PtyServer::PtyServer(SimConfig config, FaultConfig faults)
    : impl_(std::make_unique<Impl>(std::move(config), faults)) {}

PtyServer::~PtyServer() { stop(); }

void PtyServer::setTraceSink(TraceSink sink) { impl_->trace = std::move(sink); }

bool PtyServer::start(std::string* error) {
    Impl& d = *impl_;
    auto fail = [&](const std::string& why) {
        closeFd(d.master);
        closeFd(d.wake[0]);
        closeFd(d.wake[1]);
        if (error) *error = why;
        return false;
    };
    if (d.thread.joinable() || d.hungUp) return fail("the simulator was already started");
    {
        std::lock_guard lock(d.mutex);
        if (!d.controller.ok()) return fail("cannot use the state file " + d.controller.error());
    }
    d.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (d.master < 0) return fail(osError("posix_openpt"));
    if (::grantpt(d.master) != 0) return fail(osError("grantpt"));
    if (::unlockpt(d.master) != 0) return fail(osError("unlockpt"));
    char name[128] = {};
    if (::ptsname_r(d.master, name, sizeof name) != 0) return fail(osError("ptsname_r"));
    // Raw line (set through the master, it holds for the slave side too):
    // bytes such as 0x0D, 0x11 and 0x13 must pass untouched, and nothing
    // may be echoed back.
    if (!makeRaw(d.master)) return fail(osError("tcsetattr on the pty master"));
    const int flags = ::fcntl(d.master, F_GETFL);
    if (flags < 0 || ::fcntl(d.master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail(osError("fcntl"));
    if (::pipe2(d.wake, O_CLOEXEC | O_NONBLOCK) != 0) return fail(osError("pipe2"));
    {
        std::lock_guard lock(d.mutex);
        d.path = name;
        d.running = true;
    }
    d.thread = std::thread([&d] { d.run(); });
    return true;
}

void PtyServer::stop() {
    Impl& d = *impl_;
    if (d.thread.joinable()) {
        const uint8_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(d.wake[1], &one, 1);
        d.thread.join();
    }
    closeFd(d.master);
    closeFd(d.wake[0]);
    closeFd(d.wake[1]);
    {
        std::lock_guard lock(d.mutex);
        d.running = false;
    }
    d.changed.notify_all();
}

std::string PtyServer::slavePath() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->path;
}

bool PtyServer::running() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->running;
}

std::vector<std::vector<uint8_t>> PtyServer::receivedFrames() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->frames;
}

bool PtyServer::waitForFrames(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->frames.size() >= count; });
}

size_t PtyServer::repliesSent() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->replies;
}

bool PtyServer::waitForReplies(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->replies >= count; });
}

bool PtyServer::hungUp() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->hungUp;
}

MountSnapshot PtyServer::snapshot() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->controller.snapshot(impl_->simNow());
}

std::string PtyServer::storeError() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->controller.storeError();
}

}  // namespace zr8::sim
