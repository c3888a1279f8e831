// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every mount front end (the INDI driver, zr8ctl's goto, a telescope
// server) does over the controller link: it keeps the mount's state from the
// link's reports (line, configuration, axis position, pier side, slewing
// from a goto until "Ready", failures), answers flip questions by policy,
// and checks commands before they reach the link.
//
// Slews. The session counts the gotos and flip answers it sent and the
// answers the link gave them (a flip question or "Positioning", one each, in
// order), so it knows which reports belong to the slew it wants now: a
// "Ready" from a stop or an earlier slew does not end it, and a question
// asked for a slew aborted or replaced since is not answered. A goto the
// link does not take because a flip is under way is sent again once the
// flip has ended.
//
// Threads. The link's worker calls the iNotificationListener operations: they
// store under a lock, queue an event and tell the observer, which must only
// wake the front end's thread. Everything else is called on that one front
// end thread: service() takes the events, answers flip questions and gives
// a snapshot of the state. Nothing is called while the lock is held.

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "link/notification_listener.h"
#include "link/records.h"
#include "link/zr6_control.h"
#include "mount/flip_policy.h"
#include "mount/site_clock.h"
#include "mount/sky_axes.h"
#include "mount/slew_rates.h"

namespace zr8::mount {

enum class MountEventKind : uint8_t {
    Status,         // value: the status code
    Line,           // the serial line opened, closed or failed to open
    Configuration,  // the connect sequence completed
    Axes,           // a new axis reading
    PierSide,       // value: the new PierState
    Encoders,       // a new encoder reading
    FlipAnswered,   // value: the flip case; detail: the choice sent, 0 when none was
                    // (the slew it was asked for was aborted or replaced since)
    SlewEnded,      // value: StatusReady, or the failure that ended it (StatusSlewOverdue)
    Lost,           // events were dropped: the front end reads the state anew
};

struct MountEvent {
    MountEventKind kind = MountEventKind::Status;
    int32_t value = 0;
    int32_t detail = 0;
};

struct MountState {
    ConnectionInfo line;
    bool ready = false;  // the connect sequence completed; the line is open
    MountConfig mount;
    EncoderConfig encoder;
    EncoderPositions encoders;
    AxisReading axes;
    long double axesSiderealTime = 0;  // when the axes were read
    int32_t pierState = 0;
    bool slewing = false;   // from a goto until its "Ready" or a failure
    bool tracking = false;  // as last switched: the controller does not say
    bool haveTarget = false;
    SkyPosition target;
    int32_t lastStatus = -1;
};

class iMountObserver {
public:
    // On the link's worker: an event is queued. Wake the front end only.
    virtual void onMountEvent() = 0;

protected:
    ~iMountObserver() = default;
};

class MountSession final : public iNotificationListener {
public:
    static constexpr size_t kEventCapacity = 64;
    static constexpr int kMessageCapacity = 160;

    MountSession(SiteClock& clock, iMountObserver* observer);
    MountSession(const MountSession&) = delete;
    MountSession& operator=(const MountSession&) = delete;

    // The link this session drives, made with the session as its listener.
    void attach(iZR6Control* link) { link_ = link; }

    // Front end thread. Takes up to `capacity` queued events into `out`,
    // sends the answer to each flip question of the slew wanted now (and
    // the goto a flip held back), and copies the state.
    size_t service(MountEvent* out, size_t capacity, MountState& state);
    MountState snapshot() const;

    void setFlipPolicy(FlipPolicy policy) { policy_ = policy; }
    FlipPolicy flipPolicy() const { return policy_; }

    // Commands. Those that can be refused return nullptr when the request
    // went to the link, else why not (and nothing was sent).
    const char* connect(uint8_t portNumber, uint32_t baudRate);
    void disconnect();
    const char* slewTo(const SkyPosition& sky);
    const char* syncTo(const SkyPosition& sky);
    void abort();
    // `rate` indexes slewRates(); a slew under way is aborted first.
    const char* startMove(uint8_t direction, int rate);
    void stopMove(uint8_t direction);
    const char* setTracking(bool on);
    // Asks for the axis position unless not ready or slewing.
    void requestPosition();
    // A new connection takes the east side of the pier: service() tells the
    // link the side the first axis reading after connecting shows instead
    // (through this; true when the link was told otherwise), before the
    // front end can count on it.
    bool settlePierSideFromAxes();

    // Where the mount points: the target while slewing, else the last
    // reading at its own sidereal time. False before any reading.
    bool skyPosition(const MountState& state, SkyPosition& sky) const;

    // iNotificationListener, on the link's worker.
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
    // Under lock_: queues one event; the oldest are dropped when full.
    void queueLocked(MountEventKind kind, int32_t value, int32_t detail = 0);
    void tell();
    const char* refuse(const char* text);
    bool readyForMotion(const char*& refusal);
    // Under lock_: what the link still answers belongs to nothing now.
    void forgetSlewsLocked();
    // Under lock_: a "Ready" or a failure status; true when it ended the
    // slew wanted now.
    bool slewEndedLocked(int32_t statusCode);

    SiteClock& clock_;
    iMountObserver* observer_;
    iZR6Control* link_ = nullptr;
    FlipPolicy policy_ = FlipPolicy::FlipWhenRecommended;  // front end thread
    char message_[kMessageCapacity] = {};                  // front end thread

    mutable std::mutex lock_;
    MountState state_;
    // Gotos and flip answers sent, and the answers the link gave them; those
    // up to voidUpTo_ were sent before an abort.
    uint32_t requestsSent_ = 0;
    uint32_t answersSeen_ = 0;
    uint32_t voidUpTo_ = 0;
    int readiesOwed_ = 0;          // by stops and aborts, which the link answers at once
    bool chainAfterFlip_ = false;  // the goto met a flip under way: sent again after it
    bool chainDue_ = false;        // that flip has ended: service() sends the goto
    bool flipStopped_ = false;     // a flip was stopped half done; no slew since
    bool sideSettled_ = false;     // the side from the first reading is told
    MountEvent events_[kEventCapacity];
    size_t head_ = 0;  // oldest queued
    size_t count_ = 0;
    bool dropped_ = false;
};

}  // namespace zr8::mount
