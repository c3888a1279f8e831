// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the command line asked for, once CLI11 has read it.

#include <cstdint>
#include <string>

#include "ui/cli/settings_edit.h"

namespace zr8::cli {

enum class Command {
    Ports,
    Info,
    Read,
    Format,
    Calibration,
    MotorReverse,
    Tracking,
    Move,
    Stop,
    Store,
    Backup,
    Diff,
    Restore,
    Position,
    Goto,
    Sync,
};

struct Invocation {
    Command command = Command::Info;

    // Common options.
    std::string port;  // empty: not given
    uint32_t baudRate = 9600;
    bool json = false;
    double timeoutSeconds = 15;
    std::string tracePath;    // empty: no trace; "-": standard error
    double longitude = 19.5;  // degrees east, for the sidereal time

    // read
    double watchSeconds = 0;  // 0: read once

    // format, calibration, motor-reverse: the dialog's controls they change
    ControlChanges changes;

    // tracking
    bool trackingOn = false;

    // move
    uint8_t direction = 0;
    std::string speedText;   // checked as the trackbar's step
    double forSeconds = -1;  // below 0: leave the mount moving

    // backup, diff, restore
    std::string file;
    bool force = false;            // backup over an existing file
    bool dryRun = false;           // restore
    bool store = false;            // restore
    bool otherController = false;  // restore a backup of another controller

    // goto, sync: as typed, read by sky_coordinates
    std::string raText;
    std::string decText;
    std::string flipPolicy = "recommended";  // goto: or "avoid"
};

// Reads the command line. Returns the exit code to end with when the
// program should not go on (help and version: 0, usage errors: 2, after
// printing why, with --json also as an error document), or -1 with
// `invocation` filled.
int readCommandLine(int argc, char** argv, Invocation& invocation);

}  // namespace zr8::cli
