// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/connect_sequence.h"

#include "link/frames.h"
#include "link/reply_decode.h"
#include "link/status_codes.h"

namespace zr8 {

namespace {

using Decoder = void (*)(const uint8_t* frame, size_t length, MountConfig&, EncoderConfig&);

struct Step {
    LinkState state;  // the query has been sent and its reply is awaited
    uint8_t command;
    Decoder decode;
    LinkState next;  // Idle: the configuration is complete
};

// In the order the controller is asked.
constexpr Step kSteps[] = {
    {LinkState::Query03Sent, CmdSetupQuery03,
     [](const uint8_t* f, size_t n, MountConfig& m, EncoderConfig&) { decodeQuery03(f, n, m); },
     LinkState::Query02Sent},
    {LinkState::Query02Sent, CmdSetupQuery02,
     [](const uint8_t* f, size_t, MountConfig& m, EncoderConfig&) { decodeQuery02(f, m); },
     LinkState::AxisQuerySent},
    {LinkState::AxisQuerySent, CmdSetupQuery14,
     [](const uint8_t* f, size_t, MountConfig& m, EncoderConfig&) {
         decodeAxisConfiguration(f, m);
     },
     LinkState::MotorQuerySent},
    {LinkState::MotorQuerySent, CmdSetupQuery15,
     [](const uint8_t* f, size_t, MountConfig& m, EncoderConfig&) {
         decodeMotorConfiguration(f, m);
     },
     LinkState::FormatQuerySent},
    {LinkState::FormatQuerySent, CmdReadEncoderFormat,
     [](const uint8_t* f, size_t, MountConfig&, EncoderConfig& e) { decodeEncoderFormat(f, e); },
     LinkState::CalibrationQuerySent},
    {LinkState::CalibrationQuerySent, CmdReadEncoderCalibration,
     [](const uint8_t* f, size_t, MountConfig&, EncoderConfig& e) { decodeCalibration(f, e); },
     LinkState::Idle},
};

const Step* stepFor(LinkState state) {
    for (const Step& step : kSteps) {
        if (step.state == state) return &step;
    }
    return nullptr;
}

// The first query follows identify after a delay.
constexpr LinkState kFirstQuery = kSteps[0].state;

}  // namespace

void ConnectSequence::begin() {
    link_.mount.connectMarker = 7;
    link_.encoder.reverseEncoder = 0;
    link_.encoder.raOffset = 0;
    link_.encoder.decOffset = 0;
    ticksLeft_ = kConnectTimeoutTicks;
    link_.seq.state = LinkState::IdentifySent;
    sendCommand(link_.transport, CmdIdentify);
}

bool ConnectSequence::awaits(LinkState state) {
    return state == LinkState::IdentifySent || stepFor(state) != nullptr;
}

LinkResult ConnectSequence::onReply(const uint8_t* frame, size_t length) {
    if (link_.seq.state == LinkState::IdentifySent) {
        if (!decodeIdentify(frame, link_.mount.identityWord)) {
            link_.listener.onStatus(StatusNotSupportedDevice);
            link_.seq.state = LinkState::Idle;
            return LinkResult::ClosePort;
        }
        // The controller wants a moment after identifying itself.
        link_.seq.waitThen(kFirstQuery, kIdentifyDelayTicks);
        return LinkResult::None;
    }
    const Step* step = stepFor(link_.seq.state);
    if (step == nullptr) return LinkResult::None;
    step->decode(frame, length, link_.mount, link_.encoder);
    link_.seq.state = step->next;
    if (step->next != LinkState::Idle) {
        sendQuery(step->next);
        return LinkResult::None;
    }
    deriveAxisQuantities(link_.mount, link_.encoder);
    link_.listener.onConfiguration(StatusConnected, 1, link_.mount, link_.encoder);
    return LinkResult::Ready;
}

void ConnectSequence::sendQuery(LinkState state) const {
    if (const Step* step = stepFor(state)) sendCommand(link_.transport, step->command);
}

LinkResult ConnectSequence::onTick() {
    if (ticksLeft_ <= 0) return LinkResult::None;
    --ticksLeft_;
    // Every step is covered, the delay after identify and the last query
    // included: none of them may leave the operator on "Connecting..." for
    // ever.
    const LinkState state = link_.seq.state;
    const bool running =
        awaits(state) || (state == LinkState::Delay && link_.seq.next == kFirstQuery);
    if (ticksLeft_ == 0 && running) {
        link_.listener.onStatus(StatusCannotConnect);
        return LinkResult::ClosePort;
    }
    return LinkResult::None;
}

}  // namespace zr8
