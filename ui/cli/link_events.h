// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the link reports, kept for zr8ctl's main thread, which waits
// for what it asked for with a deadline; and the operator's interrupt,
// which ends every interruptible wait at once.
//
// Each report is handed on first to the listener given to forwardTo (the
// mount session), so that a wait that sees a report finds it there too.
//
// Threads: the link's worker calls the iNotificationListener operations;
// interrupt() may come from any thread (the interrupt watch's); the rest
// belongs to the main thread. One mutex guards everything; nothing is
// called while it is held.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "link/notification_listener.h"
#include "link/records.h"

namespace zr8::cli {

using Deadline = std::chrono::steady_clock::time_point;

// A place in the stream of reports: a wait looks only at what came after it.
struct EventMark {
    size_t statuses = 0;
    uint64_t configurations = 0;
    uint64_t positions = 0;
    uint64_t axes = 0;
    uint64_t flipQuestions = 0;
};

enum class WaitEnd {
    Wanted,  // a wanted status, or the awaited record, arrived
    Failed,  // an error status arrived first
    TimedOut,
    Interrupted,
};

struct WaitResult {
    WaitEnd end = WaitEnd::Wanted;
    int32_t status = -1;  // the error status, for Failed
};

class LinkEvents final : public iNotificationListener {
public:
    // What a wait looks for after its mark besides the wanted statuses.
    enum class Record { None, Configuration, Positions, Axes, FlipQuestion };

    // Before the link starts: every report goes to `next` first.
    void forwardTo(iNotificationListener* next) { next_ = next; }

    EventMark mark() const;
    // Whether `statusCode` came after `from`.
    bool statusSince(const EventMark& from, int32_t statusCode) const;

    // Until one of `wanted` (or the record) arrives after `from`, an error
    // status does (a lost line counts however long ago it was lost), the
    // deadline passes, or the operator interrupts more often than
    // `interruptsAllowed` times in all.
    WaitResult waitFor(const EventMark& from, std::initializer_list<int32_t> wanted, Record record,
                       Deadline deadline, int interruptsAllowed = 0);

    // `exitStatus`: what the program ends with for it; the first one counts.
    void interrupt(int exitStatus);
    bool interrupted() const { return interruptions() > 0; }
    int interruptions() const;
    int interruptStatus() const;  // 0 while not interrupted

    MountConfig mount() const;
    EncoderConfig encoder() const;
    EncoderPositions positions() const;
    ConnectionInfo connection() const;  // the last one reported

    // iNotificationListener, on the link's worker thread.
    void onStatus(int32_t statusCode) override;
    void onConfiguration(int32_t statusCode, int32_t extra, const MountConfig& mount,
                         const EncoderConfig& encoder) override;
    void onMeridianFlipQuery(int32_t flipCase) override;
    void reservedNotification(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                              int32_t) override {}
    void onPositions(const EncoderPositions& positions) override;
    void onConnection(const ConnectionInfo& connection) override;
    void onAxisPositions(const AxisReading& reading) override;
    void onPierSide(int32_t pierState) override;

private:
    iNotificationListener* next_ = nullptr;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int32_t> statuses_;
    uint64_t configurations_ = 0;
    uint64_t positionCount_ = 0;
    uint64_t axesCount_ = 0;
    uint64_t flipQuestions_ = 0;
    MountConfig mount_;
    EncoderConfig encoder_;
    EncoderPositions positions_;
    ConnectionInfo connection_;
    bool lineLost_ = false;
    int interruptions_ = 0;
    int interruptStatus_ = 0;
};

// The statuses that say something went wrong (the "Error: ..." texts and
// the lost connection).
bool isErrorStatus(int32_t statusCode);

}  // namespace zr8::cli
