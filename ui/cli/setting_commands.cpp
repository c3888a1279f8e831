// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/setting_commands.h"

#include <optional>

#include "link/status_codes.h"
#include "ui/cli/commands.h"
#include "ui/cli/text_report.h"

namespace zr8::cli {

namespace {

// Writes `part` of `writes` over the configuration the controller reported,
// and reads it back.
int writeAndCheck(Run& run, ControllerSession& session, const Writes& writes, WritePart part,
                  const char* status = nullptr) {
    Configuration expected = configurationOf(session);
    apply(expected, writes, part);
    if (Result r = write(session, writes, part); !r) return reportFailure(run, r, session);
    Json document = Json::object();
    document["written"] = writtenJson(writes, {part});
    if (status != nullptr) document["status"] = status;
    run.out.text("Wrote:\n" + writtenText(writes, {part}) +
                 (status != nullptr ? std::string(status) + "\n" : ""));
    const int code = readBack(run, session, expected, {part}, document, "written");
    if (code == kExitDone) run.out.text(kStoreReminder);
    return code;
}

}  // namespace

int readBack(Run& run, ControllerSession& session, const Configuration& expected,
             const std::vector<WritePart>& parts, Json& document, const char* expectedFrom) {
    run.out.document(document);
    // What the controller holds now, as it reports it on connect.
    if (Result r = session.reconnect(); !r) return reportFailure(run, r, session);
    const std::vector<Difference> differing = notHeld(expected, configurationOf(session), parts);
    document["readBack"] = differencesJson(differing);
    run.out.document(document);
    if (!differing.empty()) {
        run.out.text("Read back differs:\n" + differencesText(differing, expectedFrom));
        return run.out.error(kExitFailed, "controller",
                             "the controller does not hold what was written");
    }
    run.out.text("Read back: the controller holds what was written.\n");
    return kExitDone;
}

int format(Run& run) {
    rules::Refusal refusal;
    if (!editedFormat(EncoderConfig{}, run.inv.changes, refusal)) {
        return refuse(run, refusal.message);
    }
    return withController(run, [&](ControllerSession& session) {
        Writes writes;
        writes.format = *editedFormat(session.encoder(), run.inv.changes, refusal);
        return writeAndCheck(run, session, writes, WritePart::Format);
    });
}

int calibration(Run& run) {
    rules::Refusal refusal;
    if (!editedCalibration(EncoderConfig{}, run.inv.changes, refusal)) {
        return refuse(run, refusal.message);
    }
    return withController(run, [&](ControllerSession& session) {
        Writes writes;
        writes.calibration = *editedCalibration(session.encoder(), run.inv.changes, refusal);
        return writeAndCheck(run, session, writes, WritePart::Calibration,
                             statusText(StatusCalibrationUpdated));
    });
}

int motorReverse(Run& run) {
    return withController(run, [&](ControllerSession& session) {
        Writes writes;
        writes.motorReverse = editedMotorReverse(session.mount(), run.inv.changes);
        return writeAndCheck(run, session, writes, WritePart::MotorReverse);
    });
}

}  // namespace zr8::cli
