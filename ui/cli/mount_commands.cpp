// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/mount_commands.h"

#include <optional>
#include <string>

#include "link/positioning.h"
#include "link/status_codes.h"
#include "mount/flip_policy.h"
#include "ui/cli/commands.h"
#include "ui/cli/console.h"
#include "ui/cli/sky_coordinates.h"

namespace zr8::cli {

namespace {

// The side the counters show; at the pole, where they show none, the
// side the link holds.
int32_t pierSideOf(const mount::MountState& state) {
    const PierState side = mount::pierSideOfAxes(state.axes.decSteps);
    return side != PierState::Unknown ? static_cast<int32_t>(side) : state.pierState;
}

const char* pierSideName(int32_t pierState) {
    switch (static_cast<PierState>(pierState)) {
    case PierState::East:
        return "east";
    case PierState::West:
        return "west";
    case PierState::FlipToWest:
        return "flipping to west";
    case PierState::FlipToEast:
        return "flipping to east";
    default:
        return "unknown";
    }
}

Json skyJson(const mount::SkyPosition& sky) {
    Json position = Json::object();
    position["ra"] = {{"hours", sky.raHours}, {"text", hoursText(sky.raHours)}};
    position["dec"] = {{"degrees", sky.decDegrees}, {"text", degreesText(sky.decDegrees)}};
    return position;
}

std::string skyText(const mount::SkyPosition& sky) {
    return "RA " + hoursText(sky.raHours) + "   Dec " + degreesText(sky.decDegrees);
}

// Ends a command with where the counters of `state` point: `document`
// gains "position" and becomes the result; `before` leads the text.
int showPosition(Run& run, const ControllerSession& session, const mount::MountState& state,
                 Json document, const std::string& before) {
    mount::SkyPosition sky;
    if (!session.skyPosition(state, sky)) {
        run.out.document(document);
        return run.out.error(kExitFailed, "controller", "the controller gave no axis position");
    }
    Json position = skyJson(sky);
    position["pierSide"] = pierSideName(pierSideOf(state));
    position["axes"] = {{"ra", state.axes.raSteps}, {"dec", state.axes.decSteps}};
    position["siderealTime"] = mount::normalizedHours(state.axesSiderealTime);
    position["longitude"] = session.longitude();
    position["time"] = nowPrecise();
    document["position"] = std::move(position);
    run.out.document(document);
    run.out.text(before + skyText(sky) + "   pier side " + pierSideName(pierSideOf(state)) + "\n");
    return kExitDone;
}

std::optional<mount::SkyPosition> typedSkyPosition(Run& run, int& code) {
    std::string error;
    std::optional<mount::SkyPosition> sky = readSkyPosition(run.inv.raText, run.inv.decText, error);
    if (!sky) code = refuse(run, error);
    return sky;
}

std::string flipText(const SlewProgress::FlipAnswer& answer, const char* policy) {
    const bool recommended =
        answer.flipCase == FlipCaseWestNear || answer.flipCase == FlipCaseEastNear;
    if (!recommended) return "Meridian flip needed: made.\n";
    return std::string("Meridian flip recommended: ") +
           (answer.flip ? "made" : "not made, staying on this side") + ", as --flip " + policy +
           " says.\n";
}

// Where a slew stands, for a terminal.
std::string progressText(const std::string& target, const SlewProgress& p) {
    std::string side;
    switch (static_cast<PierState>(p.pierState)) {
    case PierState::FlipToWest:
        side = "meridian flip to the west side";
        break;
    case PierState::FlipToEast:
        side = "meridian flip to the east side";
        break;
    default:
        side = std::string("on the ") + pierSideName(p.pierState) + " side";
        break;
    }
    return "Positioning to " + target + ", " + side;
}

}  // namespace

int position(Run& run) {
    return withController(run, [&](ControllerSession& session) {
        mount::MountState state;
        if (Result r = session.readAxes(state); !r) return reportFailure(run, r, session);
        return showPosition(run, session, state, Json::object(), "");
    });
}

int gotoPosition(Run& run) {
    int code = kExitDone;
    const std::optional<mount::SkyPosition> sky = typedSkyPosition(run, code);
    if (!sky) return code;
    const mount::FlipPolicy policy =
        mount::flipPolicyNamed(run.inv.flipPolicy).value_or(mount::FlipPolicy::FlipWhenRecommended);
    return withController(run, [&](ControllerSession& session) {
        const LiveOutput live = run.out.json() ? LiveOutput::NotATerminal : liveOutput();
        const std::string target = skyText(*sky);
        std::string shown;  // the progress as last shown
        const auto watch = [&](const SlewProgress& p) {
            const std::string text = progressText(target, p);
            if (live == LiveOutput::InPlace) {
                writeStandardOutput("\r" + text + "... " +
                                    std::to_string(p.elapsed.count() / 1000) + " s\x1b[K");
            } else if (live == LiveOutput::Lines && text != shown) {
                writeStandardOutput(text + "\n");
            }
            shown = text;
        };
        SlewProgress progress;
        const Result r = session.slewTo(*sky, policy, watch, progress);
        if (live == LiveOutput::InPlace && !shown.empty()) writeStandardOutput("\r\x1b[K");

        Json slew = Json::object();
        slew["target"] = skyJson(*sky);
        slew["flipPolicy"] = mount::flipPolicyName(policy);
        slew["flipQuestions"] = Json::array();
        std::string flips;
        for (const SlewProgress::FlipAnswer& answer : progress.answers) {
            slew["flipQuestions"].push_back({{"case", answer.flipCase}, {"flip", answer.flip}});
            flips += flipText(answer, mount::flipPolicyName(policy));
        }
        slew["seconds"] = static_cast<double>(progress.elapsed.count()) / 1000.0;
        Json document = {{"goto", slew}};
        run.out.text(flips);
        if (!r) {
            run.out.document(document);
            return reportFailure(run, r, session);
        }
        document["status"] = statusText(StatusReady);
        mount::MountState state;
        if (Result read = session.readAxes(state); !read) {
            run.out.document(document);
            return reportFailure(run, read, session);
        }
        return showPosition(run, session, state, document,
                            "Ready after " + seconds(slew["seconds"].get<double>()) + ": ");
    });
}

int sync(Run& run) {
    int code = kExitDone;
    const std::optional<mount::SkyPosition> sky = typedSkyPosition(run, code);
    if (!sky) return code;
    return withController(run, [&](ControllerSession& session) {
        mount::MountState state;
        if (Result r = session.syncTo(*sky, state); !r) return reportFailure(run, r, session);
        return showPosition(run, session, state, Json{{"sync", skyJson(*sky)}},
                            "Synced; the counters now read ");
    });
}

}  // namespace zr8::cli
