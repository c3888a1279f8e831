// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/line_trace.h"

namespace zr8::cli {

namespace {
constexpr uint8_t kReplyStart = 0x55;
// No reply pauses this long between its bytes: what was begun is dead.
constexpr std::chrono::milliseconds kReplyGap{100};
}  // namespace

LineTrace::LineTrace(std::FILE* trace) : trace_(trace) {}

void LineTrace::print(const char* direction, const uint8_t* bytes, size_t count) {
    const double t = std::chrono::duration<double>(Clock::now() - start_).count();
    std::fprintf(trace_, "%10.6f %s", t, direction);
    for (size_t i = 0; i < count; ++i) std::fprintf(trace_, " %02X", bytes[i]);
    std::fputc('\n', trace_);
    std::fflush(trace_);
}

void LineTrace::onSent(const uint8_t* bytes, size_t count) {
    if (trace_ == nullptr) return;
    std::lock_guard lock(mutex_);
    print("in  ", bytes, count);
}

void LineTrace::onReceived(const uint8_t* bytes, size_t count) {
    received_ += count;
    if (trace_ == nullptr) return;
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    if (replyLength_ > 0 && now - lastByte_ > kReplyGap) flushPartial();
    lastByte_ = now;
    for (size_t i = 0; i < count; ++i) cut(bytes[i]);
    if (strayLength_ > 0) {
        print("skip", stray_, strayLength_);
        strayLength_ = 0;
    }
}

void LineTrace::cut(uint8_t byte) {
    if (replyLength_ == 0 && byte != kReplyStart) {
        if (strayLength_ == sizeof stray_) {
            print("skip", stray_, strayLength_);
            strayLength_ = 0;
        }
        stray_[strayLength_++] = byte;
        return;
    }
    if (replyLength_ == 0 && strayLength_ > 0) {
        print("skip", stray_, strayLength_);
        strayLength_ = 0;
    }
    reply_[replyLength_++] = byte;
    if (replyLength_ >= 2 && replyLength_ == 2 + size_t{reply_[1]}) {
        print("out ", reply_, replyLength_);
        replyLength_ = 0;
    }
}

void LineTrace::flushPartial() {
    if (replyLength_ > 0) print("skip", reply_, replyLength_);
    replyLength_ = 0;
}

void LineTrace::onLost() {
    if (trace_ == nullptr) return;
    std::lock_guard lock(mutex_);
    flushPartial();
    print("lost", nullptr, 0);
}

void LineTrace::onClosed() {
    if (trace_ == nullptr) return;
    std::lock_guard lock(mutex_);
    flushPartial();
    print("closed", nullptr, 0);
}

}  // namespace zr8::cli
