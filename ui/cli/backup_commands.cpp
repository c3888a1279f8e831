// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/backup_commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "link/status_codes.h"
#include "ui/cli/commands.h"
#include "ui/cli/configuration_writes.h"
#include "ui/cli/file_access.h"
#include "ui/cli/setting_commands.h"
#include "ui/cli/text_report.h"
#include "ui/rules/main_dialog_fields.h"

namespace zr8::cli {

namespace {

// Calibration last: its confirmation comes after the two writes that the
// controller does not answer.
const std::vector<WritePart> kRestoreOrder = {WritePart::Format, WritePart::MotorReverse,
                                              WritePart::Calibration};

// What tells one controller from another: a backup of another one would
// set encoders and motors that are not there.
bool namesController(const Difference& d) {
    return d.field.rfind("identity.", 0) == 0 || d.field == "ra.microstepResolution" ||
           d.field == "dec.microstepResolution";
}

std::string fileName(const std::string& file) { return file == "-" ? "standard input" : file; }

int fileRefusal(Run& run, const std::string& message) {
    return run.out.error(kExitUsage, "file", message);
}

// The restore's writes in order; on a failure `document` says what was
// written and what may have been, and so does the failure's message.
int writeAll(Run& run, ControllerSession& session, const Writes& writes, Json& document) {
    std::vector<WritePart> done;
    for (const WritePart part : kRestoreOrder) {
        if (Result r = write(session, writes, part); !r) {
            std::vector<WritePart> left;
            for (const WritePart p : kRestoreOrder) {
                if (p != part && std::find(done.begin(), done.end(), p) == done.end()) {
                    left.push_back(p);
                }
            }
            document["written"] = writtenJson(writes, done);
            document["unconfirmed"] = writtenJson(writes, {part});
            run.out.document(document);
            run.out.amend("restore cut short: written " + partNames(done) + "; perhaps written " +
                          partName(part) + "; not written " + partNames(left));
            return reportFailure(run, r, session);
        }
        done.push_back(part);
    }
    document["written"] = writtenJson(writes, done);
    return kExitDone;
}

}  // namespace

int backup(Run& run) {
    const std::string& file = run.inv.file;
    if (file != "-") {
        bool exists = false;
        std::string error;
        if (checkWritable(file, run.inv.force, exists, error) != FileOutcome::Done) {
            return fileRefusal(run, exists ? file + " exists; --force replaces it" : error);
        }
    }
    return withController(run, [&](ControllerSession& session) {
        const std::string time = now();
        const std::string text =
            jsonText(backupJson(configurationOf(session), ZR8_VERSION, time)) + "\n";
        if (file == "-") {
            if (writeStandardOutput(text)) return kExitDone;  // the backup is the output
            return run.out.error(kExitFailed, "file",
                                 "standard output: " + standardOutputFailure());
        }
        bool exists = false;
        std::string error;
        switch (writeWholeFile(file, text, run.inv.force, exists, error)) {
        case FileOutcome::Done:
            break;
        case FileOutcome::Refused:
            return fileRefusal(run, exists ? file + " appeared meanwhile and is left as it is" +
                                                 (run.inv.force ? "" : "; --force replaces it")
                                           : error);
        case FileOutcome::Failed:
            return run.out.error(kExitFailed, "file", error);
        }
        run.out.document(Json{{"backup", {{"file", file}, {"time", time}}}});
        run.out.text("Backup of " + rules::connectionText(session.connection()) + " written to " +
                     file + "\n");
        return kExitDone;
    });
}

int diff(Run& run) {
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

int restore(Run& run) {
    int code = kExitDone;
    const std::optional<Backup> backup = loadBackup(run, code);
    if (!backup) return code;
    const Writes writes = writesOf(backup->configuration);
    return withController(run, [&](ControllerSession& session) {
        std::vector<Difference> changes, notWritten, otherController;
        for (Difference& d : differences(backup->configuration, configurationOf(session))) {
            if (namesController(d)) otherController.push_back(d);
            (d.writable ? changes : notWritten).push_back(std::move(d));
        }
        if (!otherController.empty() && !run.inv.otherController) {
            run.out.text("These fields tell the controllers apart:\n" +
                         differencesText(otherController));
            return run.out.error(
                kExitUsage, "file",
                fileName(run.inv.file) +
                    ": a backup of another controller (its identity or microstep resolution "
                    "differ); --other-controller restores it all the same\nNothing has been "
                    "written.",
                {{"differences", differencesJson(otherController)["differences"]}});
        }
        Json document = Json::object();
        document["dryRun"] = run.inv.dryRun;
        if (run.inv.dryRun) {
            document["written"] = writtenJson(writes, kRestoreOrder);
            document["changes"] = differencesJson(changes);
            document["notWritten"] = differencesJson(notWritten)["differences"];
            run.out.document(document);
            run.out.text("Would write:\n" + writtenText(writes, kRestoreOrder) +
                         (changes.empty()
                              ? "Nothing would change.\n"
                              : "These fields would change:\n" + differencesText(changes)) +
                         "Dry run: nothing has been written.\n");
            return kExitDone;
        }
        document["stored"] = false;
        if (const int wrote = writeAll(run, session, writes, document); wrote != kExitDone) {
            return wrote;
        }
        run.out.text("Wrote:\n" + writtenText(writes, kRestoreOrder));
        document["notWritten"] = differencesJson(notWritten)["differences"];
        if (!notWritten.empty()) {
            run.out.text("Not written (restore cannot change them), these differ:\n" +
                         differencesText(notWritten));
        }
        if (const int held =
                readBack(run, session, backup->configuration, kRestoreOrder, document, "file");
            held != kExitDone) {
            run.out.amend("nothing stored");
            return held;
        }
        if (!run.inv.store) {
            run.out.text(kStoreReminder);
            return kExitDone;
        }
        if (Result r = session.store(); !r) return reportFailure(run, r, session);
        document["stored"] = true;
        run.out.document(document);
        run.out.text(std::string(statusText(StatusParametersStored)) + "\n");
        return kExitDone;
    });
}

}  // namespace zr8::cli
