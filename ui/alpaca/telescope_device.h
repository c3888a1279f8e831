// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ZR8 as one ASCOM telescope: connection, slews, moves, sync, abort and
// the state a client reads, over the mount layer's session.
//
// Slewing follows the link, not a guess: it is true from the moment a slew
// is asked for (before the reply goes out) until the session reports that
// slew ended, or until it is aborted or fails; a failure found later (the
// link's time limit, a lost line) is kept for the next reader of Slewing.
// While MoveAxis turns an axis, that counts as slewing too.
//
// (telescope_device.cpp holds the commands and what clients read,
// telescope_device_reports.cpp what the link's reports and deadlines do.)
//
// Threads: every public operation may be called from any thread (the HTTP
// server's); one lock guards the state, held only for short work and never
// while waiting. service() and tick() are called by one pump thread, woken
// by the session's observer. The link's worker never takes this lock.

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mount/mount_session.h"
#include "platform/port_catalogue.h"
#include "ui/alpaca/alpaca_reply.h"
#include "ui/alpaca/telescope_figures.h"

namespace zr8::alpaca {

using Clock = std::chrono::steady_clock;

struct TelescopeView {
    bool connected = false;
    bool connecting = false;
    bool slewing = false;  // a slew, or MoveAxis on either axis
    bool tracking = false;
    bool havePosition = false;
    mount::SkyPosition position;
    int32_t pierState = 0;
    MountConfig mount;
    std::optional<double> targetRa, targetDec;
    double latitude = 0, longitude = 0, elevation = 0;
};

class TelescopeDevice final {
public:
    struct Timing {
        Clock::duration connectLimit = std::chrono::seconds(15);
        Clock::duration syncLimit = std::chrono::seconds(3);
        // How often the position is read: at rest, and while MoveAxis turns
        // an axis (a slew is not read: the link answers no reads then).
        Clock::duration pollPeriod = std::chrono::milliseconds(1000);
        Clock::duration movingPollPeriod = std::chrono::milliseconds(250);
    };

    TelescopeDevice(mount::MountSession& session, mount::SiteClock& clock, iZR6Control& link,
                    PortCatalogue& ports, Timing timing);
    ~TelescopeDevice();
    TelescopeDevice(const TelescopeDevice&) = delete;
    TelescopeDevice& operator=(const TelescopeDevice&) = delete;

    // What the next connect opens: a device path, "COM3", or the name of a
    // port the catalogue provides (the built-in simulator).
    void setLine(const std::string& port, uint32_t baudRate);
    void setSite(double latitude, double longitude, double elevation);
    void setFlipPolicy(mount::FlipPolicy policy);

    Outcome connect();         // starts connecting; Connecting tells the end
    Outcome connectAndWait();  // Connected = true: returns connected or why not
    void disconnect();
    // After disconnect(): true once the link has closed the line (the stop
    // and the close reached the controller), false after `limit`.
    bool awaitLineClosed(Clock::duration limit);

    TelescopeView view() const;
    // The failure of the last slew, once; ok when there is none.
    Outcome takeSlewFailure();

    // The range and state checks are the API's; these answer what only the
    // mount knows, and refusals of the session.
    Outcome slewTo(const mount::SkyPosition& sky);
    Outcome syncTo(const mount::SkyPosition& sky);  // waits for the new position
    Outcome abort();
    Outcome moveAxis(int axis, double degreesPerSecond);
    Outcome setTracking(bool on);
    void setTarget(std::optional<double> ra, std::optional<double> dec);
    // The pointing state a slew to `sky` would end in now, under the policy.
    int destinationSideOf(const mount::SkyPosition& sky) const;

    // Pump thread: takes the session's events; then the periodic work
    // (position polls, deadlines). Both cheap.
    void service();
    void tick(Clock::time_point now);
    // Wakes every waiting caller with a failure; later waits fail at once.
    void shutdown();

private:
    enum class LinkPhase { Closed, Connecting, Connected };
    struct SyncWait {
        bool pending = false;
        mount::SkyPosition target;
        Clock::time_point deadline;
        Outcome result;
    };

    Outcome startConnectLocked();
    void onStatusLocked(int32_t code);
    void onAxesLocked();
    void lineEndedLocked(const std::string& why);
    void slewEndedLocked(int32_t code);
    void abortMotionLocked();
    void endSyncLocked(Outcome result);
    bool movingLocked() const { return gotoActive_ || moving_[0] || moving_[1]; }
    mount::SkyPosition positionLocked(bool& valid) const;
    Outcome refusalLocked(const char* why) const;

    mount::MountSession& session_;
    mount::SiteClock& clock_;
    PortCatalogue& ports_;
    const Timing timing_;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    mount::MountState state_;  // as of the last service()
    std::string port_;
    uint32_t baud_ = 115200;
    double latitude_ = 0, elevation_ = 0;
    LinkPhase phase_ = LinkPhase::Closed;
    bool awaitingPosition_ = false;  // connected once the first reading is in
    Clock::time_point connectDeadline_;
    std::string connectFailure_;
    int closesAsked_ = 0;  // disconnects sent whose report is still to come
    std::string lineFailure_;

    bool gotoActive_ = false;  // a slew of ours, until the session says it ended
    mount::SkyPosition gotoTarget_;
    // After a slew, the reading before it would send a client elsewhere:
    // the target stands for the position until the next reading.
    bool targetStandsIn_ = false;
    std::array<bool, 2> moving_{};
    std::string slewFailure_;
    std::optional<double> targetRa_, targetDec_;

    SyncWait sync_;
    Clock::time_point lastPoll_;
    bool shutDown_ = false;
};

}  // namespace zr8::alpaca
