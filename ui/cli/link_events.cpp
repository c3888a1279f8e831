// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/link_events.h"

#include <algorithm>

#include "link/status_codes.h"

namespace zr8::cli {

bool isErrorStatus(int32_t code) {
    switch (code) {
    case StatusCannotOpenPort:
    case StatusCannotConnect:
    case StatusUnknownDevice:
    case StatusNotSupportedDevice:
    case StatusCommunicationError:
    case StatusAlreadyConnected:
    case StatusNotConnectedYet:
    case StatusConnectionLost:
    case StatusSlewOverdue:
        return true;
    default:
        return false;
    }
}

EventMark LinkEvents::mark() const {
    std::lock_guard lock(mutex_);
    return {statuses_.size(), configurations_, positionCount_, axesCount_, flipQuestions_};
}

bool LinkEvents::statusSince(const EventMark& from, int32_t statusCode) const {
    std::lock_guard lock(mutex_);
    return std::find(statuses_.begin() + static_cast<std::ptrdiff_t>(from.statuses),
                     statuses_.end(), statusCode) != statuses_.end();
}

WaitResult LinkEvents::waitFor(const EventMark& from, std::initializer_list<int32_t> wanted,
                               Record record, Deadline deadline, int interruptsAllowed) {
    std::unique_lock lock(mutex_);
    WaitResult result;
    size_t looked = from.statuses;
    const auto ended = [&] {
        if (record == Record::Configuration && configurations_ > from.configurations) return true;
        if (record == Record::Positions && positionCount_ > from.positions) return true;
        if (record == Record::Axes && axesCount_ > from.axes) return true;
        if (record == Record::FlipQuestion && flipQuestions_ > from.flipQuestions) return true;
        for (; looked < statuses_.size(); ++looked) {
            const int32_t code = statuses_[looked];
            if (std::find(wanted.begin(), wanted.end(), code) != wanted.end()) return true;
            if (isErrorStatus(code)) {
                result.end = WaitEnd::Failed;
                result.status = code;
                return true;
            }
        }
        if (lineLost_) {
            result.end = WaitEnd::Failed;
            result.status = StatusConnectionLost;
            return true;
        }
        if (interruptions_ > interruptsAllowed) {
            result.end = WaitEnd::Interrupted;
            return true;
        }
        return false;
    };
    if (!changed_.wait_until(lock, deadline, ended)) result.end = WaitEnd::TimedOut;
    return result;
}

void LinkEvents::interrupt(int exitStatus) {
    {
        std::lock_guard lock(mutex_);
        if (interruptions_++ == 0) interruptStatus_ = exitStatus;
    }
    changed_.notify_all();
}

int LinkEvents::interruptions() const {
    std::lock_guard lock(mutex_);
    return interruptions_;
}

int LinkEvents::interruptStatus() const {
    std::lock_guard lock(mutex_);
    return interruptStatus_;
}

MountConfig LinkEvents::mount() const {
    std::lock_guard lock(mutex_);
    return mount_;
}

EncoderConfig LinkEvents::encoder() const {
    std::lock_guard lock(mutex_);
    return encoder_;
}

EncoderPositions LinkEvents::positions() const {
    std::lock_guard lock(mutex_);
    return positions_;
}

ConnectionInfo LinkEvents::connection() const {
    std::lock_guard lock(mutex_);
    return connection_;
}

void LinkEvents::onStatus(int32_t statusCode) {
    if (next_) next_->onStatus(statusCode);
    {
        std::lock_guard lock(mutex_);
        statuses_.push_back(statusCode);
        if (statusCode == StatusConnectionLost) lineLost_ = true;
    }
    changed_.notify_all();
}

void LinkEvents::onConfiguration(int32_t statusCode, int32_t extra, const MountConfig& mount,
                                 const EncoderConfig& encoder) {
    if (next_) next_->onConfiguration(statusCode, extra, mount, encoder);
    {
        // The records before the count: a wait that sees the count sees them.
        std::lock_guard lock(mutex_);
        mount_ = mount;
        encoder_ = encoder;
        ++configurations_;
        statuses_.push_back(statusCode);
    }
    changed_.notify_all();
}

void LinkEvents::onPositions(const EncoderPositions& positions) {
    if (next_) next_->onPositions(positions);
    {
        std::lock_guard lock(mutex_);
        positions_ = positions;
        ++positionCount_;
    }
    changed_.notify_all();
}

void LinkEvents::onConnection(const ConnectionInfo& connection) {
    if (next_) next_->onConnection(connection);
    {
        std::lock_guard lock(mutex_);
        connection_ = connection;
    }
    changed_.notify_all();
}

void LinkEvents::onMeridianFlipQuery(int32_t flipCase) {
    if (next_) next_->onMeridianFlipQuery(flipCase);
    {
        std::lock_guard lock(mutex_);
        ++flipQuestions_;
    }
    changed_.notify_all();
}

void LinkEvents::onAxisPositions(const AxisReading& reading) {
    if (next_) next_->onAxisPositions(reading);
    {
        std::lock_guard lock(mutex_);
        ++axesCount_;
    }
    changed_.notify_all();
}

void LinkEvents::onPierSide(int32_t pierState) {
    if (next_) next_->onPierSide(pierState);
}

}  // namespace zr8::cli
