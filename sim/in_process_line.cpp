// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/in_process_line.h"

#include <algorithm>
#include <span>

namespace zr8::sim {

namespace {
// A partial frame older than this is given up, as zr8-sim does.
constexpr auto kFrameGap = std::chrono::milliseconds(500);
}  // namespace

InProcessLine::InProcessLine(SimConfig config)
    : timeScale_(config.timeScale > 0 ? config.timeScale : 1.0), controller_(config) {}

bool InProcessLine::ok() const {
    std::lock_guard guard(lock_);
    return controller_.ok() && repliesWaiting_.valid();
}

std::string InProcessLine::error() const {
    std::lock_guard guard(lock_);
    if (!repliesWaiting_.valid()) return "no event could be made for the line";
    return controller_.error();
}

SimTime InProcessLine::simNow() const {
    const auto elapsed = std::chrono::duration<double, std::nano>(Clock::now() - epoch_).count();
    return SimTime(static_cast<int64_t>(elapsed * timeScale_));
}

void InProcessLine::attach() {
    std::lock_guard guard(lock_);
    clearLocked();
    open_ = true;
}

uint32_t InProcessLine::framesHandled() const {
    std::lock_guard guard(lock_);
    return framesHandled_;
}

MountSnapshot InProcessLine::snapshot() const {
    std::lock_guard guard(lock_);
    return controller_.snapshot(simNow());
}

bool InProcessLine::isOpen() const {
    std::lock_guard guard(lock_);
    return open_;
}

void InProcessLine::clearLocked() {
    decoder_.reset();
    replyHead_ = 0;
    replyCount_ = 0;
    repliesWaiting_.reset();
}

void InProcessLine::queueLocked(const ReplyFrame& reply) {
    for (size_t i = 0; i < reply.size && replyCount_ < replies_.size(); ++i) {
        replies_[(replyHead_ + replyCount_) % replies_.size()] = reply.bytes[i];
        ++replyCount_;
    }
}

// The line takes every byte at once: nothing is ever pending, so neither
// the time-out nor `giveUp` has anything to wait for.
bool InProcessLine::write(const uint8_t* bytes, size_t count, int, const WaitableEvent*) {
    std::lock_guard guard(lock_);
    if (!open_) return false;
    const Clock::time_point now = Clock::now();
    if (decoder_.inFrame() && now - lastByte_ >= kFrameGap) decoder_.reset();
    for (size_t i = 0; i < count; ++i) {
        if (decoder_.feed(bytes[i]) != FrameDecoder::Result::Frame) continue;
        ++framesHandled_;
        ReplyFrame reply;
        if (controller_.handleFrame(decoder_.frame(), simNow(), reply)) queueLocked(reply);
    }
    if (count > 0) lastByte_ = now;
    if (replyCount_ > 0) repliesWaiting_.set();
    return true;
}

iByteStream::ReadOutcome InProcessLine::readSome(uint8_t* buffer, size_t capacity, size_t& received,
                                                 const WaitableEvent& stop) {
    received = 0;
    for (;;) {
        if (stop.isSet()) return ReadOutcome::Stopped;
        {
            std::lock_guard guard(lock_);
            if (!open_ || capacity == 0) return ReadOutcome::Lost;
            if (replyCount_ > 0) {
                received = std::min(capacity, replyCount_);
                for (size_t i = 0; i < received; ++i) {
                    buffer[i] = replies_[(replyHead_ + i) % replies_.size()];
                }
                replyHead_ = (replyHead_ + received) % replies_.size();
                replyCount_ -= received;
                if (replyCount_ == 0) repliesWaiting_.reset();
                return ReadOutcome::Data;
            }
        }
        if (waitForEither(stop, repliesWaiting_, -1) != 1) return ReadOutcome::Stopped;
    }
}

void InProcessLine::close() {
    std::lock_guard guard(lock_);
    open_ = false;
    clearLocked();
}

}  // namespace zr8::sim
