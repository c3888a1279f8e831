// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One conversation with the controller, as zr8ctl holds it: the program's
// link and heartbeat wired as the dialog program wires them, and each
// request followed until the controller has answered it, with a deadline.
//
// Requests the controller does not answer (format, motor reverse, tracking,
// moves, stop) are followed by an encoder reading: its answer shows that the
// controller has received everything before it, so nothing is lost when the
// port is closed right afterwards.
//
// Sky positions go through the mount layer as in every mount front end: a
// MountSession hears everything the link reports, checks and sends gotos
// and syncs, and answers the flip questions by the policy given.
//
// Threads: main thread only, apart from what LinkEvents says. The session
// starts the link's and the heartbeat's threads; close() (or the
// destructor) ends them.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/records.h"
#include "link/wire.h"
#include "mount/mount_session.h"
#include "mount/site_clock.h"
#include "ui/cli/link_events.h"

namespace zr8 {
class CommControl;
class HeartBeat;
class PortCatalogue;
}  // namespace zr8

namespace zr8::cli {

class LineTrace;

// What a connect awaits; a connection that does not come in time is what the
// link itself reports as "Error: Cannot connect to device.".
inline constexpr const char* kAwaitingConnection = "the connection";

// The connect's own pauses (half a second after the port opens, two ticks
// after the identify reply, a tick's lag), which come on top of the time-out
// that bounds each wait for an answer.
inline constexpr std::chrono::milliseconds kConnectPauses{1500};
// How long closing waits for a stop to be confirmed: a controller that
// answers does so at once, and one that does not must not hold the exit.
inline constexpr std::chrono::milliseconds kExitStopWait{3000};

// How often a slew's progress is told.
inline constexpr std::chrono::milliseconds kSlewProgressPeriod{1000};

// A slew as far as it has come: the flip questions the policy answered
// (the case, and whether with the flip) and the side of the pier.
struct SlewProgress {
    struct FlipAnswer {
        int32_t flipCase = 0;
        bool flip = false;
    };
    std::vector<FlipAnswer> answers;
    int32_t pierState = 0;
    std::chrono::milliseconds elapsed{0};
};

// What became of the stop that closing sends after a move this session
// started (when it was not left moving on purpose).
enum class ExitStop {
    NotNeeded,    // nothing was moving
    Confirmed,    // the controller stopped and answered
    Unconfirmed,  // sent, but no answer within kExitStopWait
    NotWaited,    // the operator interrupted again while it was awaited
    NotSent,      // the line was gone
};

// How a request ended. Failed carries the status that said why, TimedOut
// what was awaited.
struct Result {
    WaitEnd end = WaitEnd::Wanted;
    int32_t status = -1;
    const char* awaited = "";
    explicit operator bool() const { return end == WaitEnd::Wanted; }
};

class ControllerSession {
public:
    // `events`, `ports` and `line` outlive the session. `timeout` bounds each
    // wait for the controller's answer; the connection may take
    // kConnectPauses longer. `longitude` (degrees east) sets the sidereal
    // time the link counts sky positions with.
    ControllerSession(LinkEvents& events, PortCatalogue& ports, std::chrono::milliseconds timeout,
                      LineTrace& line, double longitude);
    ~ControllerSession();
    ControllerSession(const ControllerSession&) = delete;
    ControllerSession& operator=(const ControllerSession&) = delete;

    // Opens the port and waits for the configuration.
    Result connect(uint8_t portNumber, uint32_t baudRate);
    // Closes the port and connects again, reading the configuration anew.
    Result reconnect();

    Result readPositions(EncoderPositions& positions);
    Result writeFormat(const WireFormat& format);
    Result writeCalibration(uint8_t reverseBits, int32_t raOffset, int32_t decOffset);
    Result writeMotorReverse(uint8_t reverseBits, uint8_t motorOption);
    Result setTracking(bool on);
    // The move goes on until stop(), another move, or close() unless it was
    // left running with leaveMoving().
    Result startMove(uint8_t direction, uint8_t speedStep);
    // The mount keeps moving after the session, as the dialog's arrows leave
    // it, until a later stop.
    void leaveMoving() { leaveMoving_ = true; }
    Result stop();
    Result store();
    // Waits out `duration`; Interrupted when the operator interrupts first,
    // Failed when the line is lost meanwhile.
    Result pause(std::chrono::milliseconds duration);

    // Reads the axis counters; `state` then holds them and the side of the
    // pier they show.
    Result readAxes(mount::MountState& state);
    // Slews to `sky` and waits for "Ready", answering flip questions by
    // `policy` and telling `watch` how it goes every kSlewProgressPeriod.
    // The side of the pier is taken from the counters first. Until
    // "Ready", close() stops the mount. The controller answering nothing
    // for the time-out ends the wait.
    Result slewTo(const mount::SkyPosition& sky, mount::FlipPolicy policy,
                  const std::function<void(const SlewProgress&)>& watch, SlewProgress& progress);
    // Sets the counters to `sky` on the side they show, and reads them back
    // into `state`.
    Result syncTo(const mount::SkyPosition& sky, mount::MountState& state);
    // Where the counters of `state` point.
    bool skyPosition(const mount::MountState& state, mount::SkyPosition& sky) const {
        return mount_.skyPosition(state, sky);
    }
    double longitude() const { return clock_.longitude(); }

    // Whether close() will stop a move first.
    bool stopsOnClose() const;
    // Stops a move this session started (unless left running and not
    // interrupted), then takes the link down; no thread of it runs
    // afterwards. Says how the stop went; an interrupt beyond the
    // `interruptsSeen` first ones cuts its wait short.
    ExitStop close(int interruptsSeen);

    // As reported by the last connect.
    MountConfig mount() const { return events_.mount(); }
    EncoderConfig encoder() const { return events_.encoder(); }
    ConnectionInfo connection() const { return connection_; }

private:
    Result await(const EventMark& from, std::initializer_list<int32_t> wanted,
                 LinkEvents::Record record, const char* awaited);
    Result fence();
    Result stopMotion();
    Result abortSlew();
    Result settlePierSide();
    // Takes the mount session's events; flip answers go to `progress`.
    void serviceMount(SlewProgress* progress);

    LinkEvents& events_;
    PortCatalogue& ports_;
    LineTrace& line_;
    std::chrono::milliseconds timeout_;
    int interruptsAllowed_ = 0;  // more than these end a wait
    mount::SiteClock clock_;
    mount::MountSession mount_;
    std::unique_ptr<HeartBeat> heartBeat_;
    std::unique_ptr<CommControl> link_;
    ConnectionInfo connection_;
    bool readingInFlight_ = false;  // the last reading's wait ended without it
    uint8_t portNumber_ = 0;
    uint32_t baudRate_ = 0;
    bool moving_ = false;
    bool slewing_ = false;  // a goto of this session's, until "Ready"
    bool leaveMoving_ = false;
    bool closed_ = false;
};

}  // namespace zr8::cli
