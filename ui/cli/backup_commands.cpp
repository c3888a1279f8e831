// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/backup_commands.h"

#include <filesystem>
#include <string>
#include <vector>

#include "link/status_codes.h"
#include "link/wire.h"
#include "ui/cli/commands.h"
#include "ui/cli/text_report.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::cli {

namespace {

struct Writes {
    WireFormat format;
    CalibrationValues calibration;
    MotorReverseValues motorReverse;
};

Writes writesOf(const Configuration& c) {
    return {formatInWireOrder(c.encoder),
            {static_cast<uint8_t>(c.encoder.reverseEncoder & (kReverseRa | kReverseDec)),
             c.encoder.raOffset, c.encoder.decOffset},
            {static_cast<uint8_t>(c.mount.reverseMotor & (kReverseRa | kReverseDec)),
             c.mount.motorOption}};
}

Json writesJson(const Writes& w) {
    Json written = Json::object();
    written["format"] = formatJson(w.format);
    written["calibration"] = calibrationJson(w.calibration);
    written["motorReverse"] = motorReverseJson(w.motorReverse);
    return written;
}

std::string writesText(const Writes& w) {
    return "  " + formatText(w.format) + "\n  " + calibrationText(w.calibration) + "\n  " +
           motorReverseText(w.motorReverse) + "\n";
}

}  // namespace

int backup(const Run& run) {
    const std::string& file = run.inv.file;
    std::error_code ignored;
    if (file != "-" && !run.inv.force && std::filesystem::exists(file, ignored)) {
        return refuse(run, file + " exists; --force replaces it");
    }
    return withController(run, [&](ControllerSession& session) {
        const std::string time = now();
        const Json document = backupJson(configurationOf(session), ZR8_VERSION, time);
        std::string error;
        if (!writeTextFile(file, document.dump(2) + "\n", error)) {
            return run.out.error(kExitFailed, "file", error);
        }
        if (file == "-") return kExitDone;  // the backup is the output
        run.out.document(Json{{"backup", {{"file", file}, {"time", time}}}});
        run.out.text("Backup of " + rules::connectionText(session.connection()) + " written to " +
                     file + "\n");
        return kExitDone;
    });
}

int diff(const Run& run) {
    int code = kExitDone;
    const std::optional<Backup> backup = loadBackup(run, code);
    if (!backup) return code;
    return withController(run, [&](ControllerSession& session) {
        const std::vector<Difference> list =
            differences(backup->configuration, configurationOf(session));
        run.out.document(differencesJson(list));
        run.out.text(list.empty()
                         ? "No difference.\n"
                         : differencesText(list) + std::to_string(list.size()) +
                               (list.size() == 1 ? " field differs.\n" : " fields differ.\n"));
        return list.empty() ? kExitDone : kExitDifferent;
    });
}

int restore(const Run& run) {
    int code = kExitDone;
    const std::optional<Backup> backup = loadBackup(run, code);
    if (!backup) return code;
    const Writes writes = writesOf(backup->configuration);
    if (run.inv.dryRun) {
        run.out.document(Json{{"dryRun", true}, {"written", writesJson(writes)}});
        run.out.text("Would write (nothing sent):\n" + writesText(writes));
        return kExitDone;
    }
    return withController(run, [&](ControllerSession& session) {
        // Calibration last: its confirmation comes after the two writes that
        // the controller does not answer.
        Result r = session.writeFormat(writes.format);
        if (r)
            r = session.writeMotorReverse(writes.motorReverse.reverseBits,
                                          writes.motorReverse.motorOption);
        if (r) {
            r = session.writeCalibration(writes.calibration.reverseBits,
                                         writes.calibration.raOffset, writes.calibration.decOffset);
        }
        if (!r) return reportFailure(run, r, session.connection());
        run.out.text("Wrote:\n" + writesText(writes));
        // What the controller holds now, as it reports it on connect.
        if (r = session.reconnect(); !r) return reportFailure(run, r, session.connection());
        std::vector<Difference> readBack, notWritten;
        for (Difference& d : differences(backup->configuration, configurationOf(session))) {
            (d.writable ? readBack : notWritten).push_back(std::move(d));
        }
        Json document = Json::object();
        document["dryRun"] = false;
        document["written"] = writesJson(writes);
        document["readBack"] = differencesJson(readBack);
        document["notWritten"] = differencesJson(notWritten)["differences"];
        document["stored"] = false;
        if (!notWritten.empty()) {
            run.out.text("Not written (restore cannot change them), these differ:\n" +
                         differencesText(notWritten));
        }
        if (!readBack.empty()) {
            run.out.document(document);
            run.out.text("Read back differs:\n" + differencesText(readBack));
            return run.out.error(kExitFailed, "controller",
                                 "the controller does not hold what was written; nothing stored");
        }
        run.out.text("Read back: every written field matches.\n");
        if (run.inv.store) {
            if (r = session.store(); !r) {
                run.out.document(document);
                return reportFailure(run, r, session.connection());
            }
            document["stored"] = true;
            run.out.text(std::string(statusText(StatusParametersStored)) + "\n");
        }
        run.out.document(document);
        return kExitDone;
    });
}

}  // namespace zr8::cli
