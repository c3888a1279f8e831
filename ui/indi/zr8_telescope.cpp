// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/indi/zr8_telescope.h"

#include <libindi/indicom.h>
#include <libnova/ln_types.h>

#include <chrono>
#include <cstring>
#include <string>

#include "link/positioning.h"
#include "link/status_codes.h"
#include "link/wire.h"
#include "mount/slew_rates.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::indi {

namespace {

// Only what works: no park, no guiding pulses, no track modes or rates.
constexpr uint32_t kCapabilities =
    INDI::Telescope::TELESCOPE_CAN_GOTO | INDI::Telescope::TELESCOPE_CAN_SYNC |
    INDI::Telescope::TELESCOPE_CAN_ABORT | INDI::Telescope::TELESCOPE_HAS_TIME |
    INDI::Telescope::TELESCOPE_HAS_LOCATION | INDI::Telescope::TELESCOPE_HAS_PIER_SIDE |
    INDI::Telescope::TELESCOPE_CAN_CONTROL_TRACK;

bool isError(const char* text) { return std::strncmp(text, "Error", 5) == 0; }

}  // namespace

Zr8Telescope::Zr8Telescope() {
    setVersion(ZR8_VERSION_MAJOR, ZR8_VERSION_MINOR);
    // The port is opened by the link itself: exclusively, with its reasons.
    setTelescopeConnection(CONNECTION_NONE);
    SetTelescopeCapability(kCapabilities, mount::kSlewRateCount);
}

Zr8Telescope::~Zr8Telescope() {
    mount_.reset();  // the link's threads end before the pipe goes
    events_.reset();
}

bool Zr8Telescope::initProperties() {
    INDI::Telescope::initProperties();
    addAuxControls();

    portSettings_.init(getDeviceName());
    flipSP_[0].fill("FLIP_WHEN_RECOMMENDED", "Flip when recommended", ISS_ON);
    flipSP_[1].fill("STAY_WHEN_ALLOWED", "Stay on this side when allowed", ISS_OFF);
    flipSP_.fill(getDeviceName(), "ZR8_MERIDIAN_FLIP", "Meridian flip", MAIN_CONTROL_TAB, IP_RW,
                 ISR_1OFMANY, 60, IPS_IDLE);
    setup_.init(getDeviceName());

    if (!mount_) {
        simulator_.offerIn(ports_);
        for (const PortEntry& entry : ports_.entries())
            if (entry.kind == PortKind::Provided) simulatorNumber_ = entry.number;
        events_ = std::make_unique<EventPipe>([this] { serviceMount(); });
        mount_ = std::make_unique<mount::RunningMount>(ports_, events_.get());
    }
    return true;
}

void Zr8Telescope::ISGetProperties(const char* dev) {
    INDI::Telescope::ISGetProperties(dev);
    portSettings_.define(*this);
    defineProperty(flipSP_);
    for (const char* saved : {"DEVICE_PORT", "DEVICE_BAUD_RATE", "ZR8_MERIDIAN_FLIP"})
        loadConfig(true, saved);
}

bool Zr8Telescope::updateProperties() {
    INDI::Telescope::updateProperties();
    defined_ = isConnected();
    if (defined_) {
        setup_.show(state_);
        setup_.define(*this);
    } else {
        setup_.remove(*this);
    }
    return true;
}

bool Zr8Telescope::saveConfigItems(FILE* fp) {
    INDI::Telescope::saveConfigItems(fp);
    portSettings_.save(fp);
    flipSP_.save(fp);
    return true;
}

bool Zr8Telescope::ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                               int n) {
    if (!dev || std::strcmp(dev, getDeviceName()) != 0)
        return INDI::Telescope::ISNewSwitch(dev, name, states, names, n);
    if (std::strcmp(name, "CONNECTION") == 0) {
        for (int i = 0; i < n; ++i) {
            if (states[i] != ISS_ON) continue;
            if (std::strcmp(names[i], "CONNECT") == 0) {
                if (isConnected() || connecting_)
                    setConnected(true, connecting_ ? IPS_BUSY : IPS_OK);
                else
                    startConnect();
            } else if (std::strcmp(names[i], "DISCONNECT") == 0) {
                mount_->session().disconnect();  // "Connection closed" finishes it
            }
        }
        return true;
    }
    if (portSettings_.newSwitch(name, states, names, n)) return true;
    if (flipSP_.isNameMatch(name)) {
        flipSP_.update(states, names, n);
        mount_->session().setFlipPolicy(flipSP_[1].getState() == ISS_ON
                                            ? mount::FlipPolicy::StayWhenAllowed
                                            : mount::FlipPolicy::FlipWhenRecommended);
        flipSP_.setState(IPS_OK);
        flipSP_.apply();
        return true;
    }
    if (isConnected() &&
        setup_.newSwitch(name, states, names, n, mount_->link(), mount_->session().snapshot()))
        return true;
    return INDI::Telescope::ISNewSwitch(dev, name, states, names, n);
}

bool Zr8Telescope::refuse(INumberVectorProperty& property, const char* why) {
    property.s = IPS_ALERT;
    IDSetNumber(&property, "%s", why);
    return true;
}

bool Zr8Telescope::ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                               int n) {
    if (!dev || std::strcmp(dev, getDeviceName()) != 0)
        return INDI::Telescope::ISNewNumber(dev, name, values, names, n);
    if (std::strcmp(name, "EQUATORIAL_EOD_COORD") == 0) {
        // Checked here: the base class drops a target out of range silently.
        mount::SkyPosition sky{EqN[AXIS_RA].value, EqN[AXIS_DE].value};
        for (int i = 0; i < n; ++i) {
            if (std::strcmp(names[i], "RA") == 0) sky.raHours = values[i];
            if (std::strcmp(names[i], "DEC") == 0) sky.decDegrees = values[i];
        }
        char why[160];
        if (mount::skyPositionError(sky, why, sizeof why)) return refuse(EqNP, why);
    }
    if (isConnected() &&
        setup_.newNumber(name, values, names, n, mount_->link(), mount_->session().snapshot()))
        return true;
    return INDI::Telescope::ISNewNumber(dev, name, values, names, n);
}

bool Zr8Telescope::ISNewText(const char* dev, const char* name, char* texts[], char* names[],
                             int n) {
    if (dev && std::strcmp(dev, getDeviceName()) == 0 &&
        portSettings_.newText(name, texts, names, n))
        return true;
    return INDI::Telescope::ISNewText(dev, name, texts, names, n);
}

void Zr8Telescope::startConnect() {
    const uint8_t number =
        isSimulation() ? simulatorNumber_ : ports_.addDevicePath(portSettings_.port());
    if (number == 0) {
        setConnected(false, IPS_ALERT, "No port to open: set DEVICE_PORT. Nothing has been sent.");
        return;
    }
    if (const char* why = mount_->session().connect(number, portSettings_.baudRate())) {
        setConnected(false, IPS_ALERT, why);
        return;
    }
    connecting_ = true;
    setConnected(true, IPS_BUSY);
}

void Zr8Telescope::serviceMount() {
    mount::MountEvent events[mount::MountSession::kEventCapacity];
    const size_t n = mount_->session().service(events, std::size(events), state_);
    for (size_t i = 0; i < n; ++i) {
        const mount::MountEvent& e = events[i];
        switch (e.kind) {
        case mount::MountEventKind::Status:
            onStatus(e.value);
            break;
        case mount::MountEventKind::Line:
            onLine(state_);
            break;
        case mount::MountEventKind::Configuration:
            onConfigured(state_);
            break;
        case mount::MountEventKind::Axes:
            if (defined_ && !state_.slewing) publishPosition(IPS_OK);
            break;
        case mount::MountEventKind::PierSide:
            if (defined_) publishPierSide(e.value);
            break;
        case mount::MountEventKind::Encoders:
            if (defined_) setup_.showEncoders(state_);
            break;
        case mount::MountEventKind::FlipAnswered:
            LOGF_INFO("Meridian flip question %d %s.", e.value,
                      e.detail == FlipChoiceCancel
                          ? "not answered: its slew was aborted or replaced"
                      : e.detail == FlipChoiceWithFlip ? "answered with the flip"
                                                       : "answered without the flip");
            break;
        case mount::MountEventKind::SlewEnded:
            if (slewFollowed_) slewEnded(e.value);
            break;
        case mount::MountEventKind::Lost:
            break;
        }
    }
}

void Zr8Telescope::onStatus(int32_t code) {
    if (const char* text = statusText(code)) {
        if (isError(text))
            LOG_ERROR(text);
        else
            LOG_INFO(text);
    }
    if (defined_) setup_.onStatus(code);
    switch (code) {
    case StatusCannotOpenPort:
    case StatusCannotConnect:
    case StatusNotSupportedDevice:
        connecting_ = false;
        setConnected(false, IPS_ALERT);
        break;
    case StatusConnectionClosed:
    case StatusConnectionLost:
        lostOrClosed(code);
        break;
    case StatusPositioning:
        // Not for a slew aborted since: its stop follows.
        if (!state_.slewing) break;
        TrackState = SCOPE_SLEWING;
        if (defined_) publishPosition(IPS_BUSY);
        break;
    case StatusNotConnectedYet:
        if (defined_ && EqNP.s == IPS_BUSY) refuse(EqNP, "The slew did not start.");
        break;
    default:
        break;
    }
}

void Zr8Telescope::onLine(const mount::MountState& state) {
    if (state.line.state != LineState::OpenFailed) return;
    const std::string why = rules::openFailureText(state.line);
    LOGF_ERROR("%s", why.c_str());
}

void Zr8Telescope::onConfigured(const mount::MountState& state) {
    connecting_ = false;
    // The speed steps are named by speed: their names follow this controller.
    const mount::SlewRateTable rates = mount::slewRates(state.mount);
    for (int i = 0; i < mount::kSlewRateCount; ++i) {
        const mount::SlewRate& rate = rates[static_cast<size_t>(i)];
        char label[MAXINDILABEL];
        std::snprintf(label, sizeof label, "%s (step %u)", rate.name, rate.speedStep);
        IUFillSwitch(&SlewRateS[i], rate.name, label, i == slewRate_ ? ISS_ON : ISS_OFF);
    }
    setConnected(true, IPS_OK);
    updateProperties();
    publishPierSide(state.pierState);
    mount_->session().requestPosition();
    if (pollTimer_ >= 0) RemoveTimer(pollTimer_);
    pollTimer_ = SetTimer(getCurrentPollingPeriod());
}

void Zr8Telescope::lostOrClosed(int32_t code) {
    connecting_ = false;
    const bool lost = code == StatusConnectionLost;
    if (defined_ && lost) {
        // Say what became of the motion before the properties go.
        for (ISwitchVectorProperty* motion : {&MovementNSSP, &MovementWESP}) {
            if (motion->s != IPS_BUSY && !slewFollowed_) continue;
            motion->s = IPS_ALERT;
            IDSetSwitch(motion, nullptr);
        }
        if (EqNP.s == IPS_BUSY || slewFollowed_) refuse(EqNP, "Connection to the device lost.");
    }
    slewFollowed_ = false;
    TrackState = SCOPE_IDLE;
    if (pollTimer_ >= 0) RemoveTimer(pollTimer_);
    pollTimer_ = -1;
    setConnected(false, lost ? IPS_ALERT : IPS_IDLE);
    if (defined_) updateProperties();
}

void Zr8Telescope::publishPosition(IPState state) {
    const mount::MountState now = mount_->session().snapshot();
    mount::SkyPosition sky;
    if (!mount_->session().skyPosition(now, sky)) return;
    EqN[AXIS_RA].value = sky.raHours;
    EqN[AXIS_DE].value = sky.decDegrees;
    EqNP.s = state;
    // Sent every period, moved or not: the period is what clients see.
    IDSetNumber(&EqNP, nullptr);
}

void Zr8Telescope::publishPierSide(int32_t pierState) {
    switch (static_cast<PierState>(pierState)) {
    case PierState::East:
        setPierSide(PIER_EAST);
        break;
    case PierState::West:
        setPierSide(PIER_WEST);
        break;
    default:
        setPierSide(PIER_UNKNOWN);  // a flip is under way
        break;
    }
}

void Zr8Telescope::slewEnded(int32_t code) {
    if (code == StatusReady) return afterSlew();
    slewFollowed_ = false;
    TrackState = SCOPE_IDLE;
    if (defined_) refuse(EqNP, statusText(code));  // the link's time limit
    mount_->session().requestPosition();
}

void Zr8Telescope::afterSlew() {
    slewFollowed_ = false;
    const bool tracking = mount_->session().snapshot().tracking;
    if (tracking != trackAfterSlew_) mount_->session().setTracking(trackAfterSlew_);
    TrackState = trackAfterSlew_ ? SCOPE_TRACKING : SCOPE_IDLE;
    TrackStateS[TRACK_ON].s = trackAfterSlew_ ? ISS_ON : ISS_OFF;
    TrackStateS[TRACK_OFF].s = trackAfterSlew_ ? ISS_OFF : ISS_ON;
    TrackStateSP.s = trackAfterSlew_ ? IPS_BUSY : IPS_IDLE;
    IDSetSwitch(&TrackStateSP, nullptr);
    mount_->session().requestPosition();
}

void Zr8Telescope::TimerHit() {
    pollTimer_ = -1;
    if (!isConnected()) return;
    if (mount_->session().snapshot().slewing)
        publishPosition(IPS_BUSY);  // no reads while slewing: the target
    else
        mount_->session().requestPosition();
    pollTimer_ = SetTimer(getCurrentPollingPeriod());
}

bool Zr8Telescope::Goto(double ra, double dec) {
    if (const char* why = mount_->session().slewTo({ra, dec})) {
        LOG_ERROR(why);
        return false;
    }
    const ISwitch* track = IUFindSwitch(&CoordSP, "TRACK");
    trackAfterSlew_ = track && track->s == ISS_ON;
    slewFollowed_ = true;
    TrackState = SCOPE_SLEWING;
    return true;
}

bool Zr8Telescope::Sync(double ra, double dec) {
    if (const char* why = mount_->session().syncTo({ra, dec})) {
        LOG_ERROR(why);
        return false;
    }
    return true;
}

bool Zr8Telescope::Abort() {
    slewFollowed_ = false;
    mount_->session().abort();
    return true;
}

bool Zr8Telescope::move(uint8_t direction, TelescopeMotionCommand command) {
    if (command == MOTION_STOP) {
        mount_->session().stopMove(direction);  // stops the direction's axis
        return true;
    }
    if (const char* why = mount_->session().startMove(direction, slewRate_)) {
        LOG_ERROR(why);
        return false;
    }
    slewFollowed_ = false;
    return true;
}

bool Zr8Telescope::MoveNS(INDI_DIR_NS dir, TelescopeMotionCommand command) {
    return move(dir == DIRECTION_NORTH ? DirectionNorth : DirectionSouth, command);
}

bool Zr8Telescope::MoveWE(INDI_DIR_WE dir, TelescopeMotionCommand command) {
    return move(dir == DIRECTION_WEST ? DirectionWest : DirectionEast, command);
}

bool Zr8Telescope::SetSlewRate(int index) {
    if (index < 0 || index >= mount::kSlewRateCount) return false;
    slewRate_ = index;
    return true;
}

bool Zr8Telescope::SetTrackEnabled(bool enabled) {
    if (const char* why = mount_->session().setTracking(enabled)) {
        LOG_ERROR(why);
        return false;
    }
    return true;
}

bool Zr8Telescope::updateTime(ln_date* utc, double) {
    using namespace std::chrono;
    const sys_days day = year{utc->years} / month{static_cast<unsigned>(utc->months)} /
                         static_cast<unsigned>(utc->days);
    const auto now = day + hours{utc->hours} + minutes{utc->minutes} +
                     duration_cast<system_clock::duration>(duration<double>(utc->seconds));
    mount_->clock().setUtcNow(time_point_cast<system_clock::duration>(now));
    return true;
}

bool Zr8Telescope::updateLocation(double latitude, double longitude, double) {
    if (latitude < 0) {
        LOGF_ERROR(
            "Latitude %g is south of the equator: the ZR8's pointing assumes a northern "
            "mount. Nothing has been changed.",
            latitude);
        return false;
    }
    mount_->clock().setLongitude(longitude);
    return true;
}

}  // namespace zr8::indi
