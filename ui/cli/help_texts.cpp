// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/cli/help_texts.h"

namespace zr8::cli {

const char* const kProgramDescription =
    "zr8ctl: the ZR8 mount controller from a terminal or a script. Each run opens\n"
    "the port, identifies the controller, reads its whole configuration, does one\n"
    "thing and closes the port. Values are checked as the dialogs check them, and\n"
    "one that does not fit is refused before anything is sent.";

const char* const kProgramFooter =
    "Common options may stand before or after the command. `zr8ctl COMMAND --help`\n"
    "says more about each command.\n"
    "\n"
    "Ports: on Linux a device path (/dev/ttyUSB0); on Windows COM3, com3, COM3:,\n"
    "\\\\.\\COM3 and 3 all name COM3, also one `zr8ctl ports` does not list. sim is\n"
    "the simulated controller built into zr8ctl, which lives as long as the run.\n"
    "\n"
    "--json prints one JSON document whatever happens (read --watch: one a line),\n"
    "in the shapes of docs/zr8ctl-output.schema.json; a failure adds\n"
    "\"error\": {\"kind\", \"message\", ...}. Text is UTF-8.\n"
    "\n"
    "Exit status: 0 done; 1 the port or the controller failed, an answer did not\n"
    "come within --timeout, a write did not read back, or the output could not be\n"
    "written; 2 the command line or a value or file it names is wrong (nothing\n"
    "written to the controller); 3 diff found differences; 130 interrupted by\n"
    "Ctrl-C (on Windows Ctrl-C or Ctrl-Break), 143 terminated (Windows: log-off\n"
    "or shut-down), 129 hung up (Windows: the console window closed). An\n"
    "interrupted run takes the link down cleanly and first stops a move or slew it\n"
    "started, waiting a few seconds at most (interrupt again not to wait).\n"
    "\n"
    "Settings written take effect at once and survive a power cycle only after\n"
    "`zr8ctl store`.";

const char* commandFooter(Command command) {
    switch (command) {
    case Command::Read:
        return "With --watch the reading is repeated until interrupted: on a terminal one\n"
               "line updated in place (on Windows where the console takes virtual-terminal\n"
               "sequences, else a line each), otherwise one line per reading. A lost\n"
               "connection ends the watch at once.";
    case Command::Format:
    case Command::Calibration:
    case Command::MotorReverse:
        return "What is not given keeps the controller's value. After the write zr8ctl\n"
               "connects again and reads the configuration back: a controller that did not\n"
               "take the write makes the exit status 1. Offsets are one 32-bit word in\n"
               "either spelling (-1 and 4294967295 are the same). The change lasts a power\n"
               "cycle only after `zr8ctl store`.";
    case Command::Move:
        return "north and south turn the Dec axis, west and east the RA axis, at speed step\n"
               "0 to 31 (10 unless given). Without --for the mount keeps moving after zr8ctl\n"
               "ends, as after the dialog's arrows, until `zr8ctl stop` or another move. A\n"
               "lost connection ends zr8ctl at once, saying the mount may still be moving.";
    case Command::Backup:
        return "The backup is one JSON document (docs/zr8ctl-backup.schema.json), the same\n"
               "on Linux and Windows. An existing FILE is replaced only with --force, and\n"
               "only when it is a regular file; a file that appears meanwhile is never\n"
               "replaced without it. It is written whole under a temporary name beside\n"
               "FILE, made durable, and only then given the name, so a failed write, even a\n"
               "power cut, leaves an older file whole.";
    case Command::Diff:
        return "FILE is a regular file or - for standard input, at most 256 KiB. A file\n"
               "that is not a valid backup is refused, naming the field. Exit status 0 when\n"
               "nothing differs, 3 when something does.";
    case Command::Restore:
        return "Writes the encoder format (all eight bytes as saved), the calibration and\n"
               "the motor reverse bits with the motor option, connects again and compares\n"
               "field by field: a written field that does not read back as saved makes the\n"
               "exit status 1, and nothing is stored. Fields restore cannot write (gear\n"
               "ratios, resolutions, speeds, motor blocks) are listed when they differ. A\n"
               "backup of another controller (its identity or a microstep resolution\n"
               "differ) is refused with exit status 2 unless --other-controller is given.\n"
               "Cut short, it says which parts it had written.";
    case Command::Position:
        return "A new connection takes the telescope to be east of the pier; the Dec\n"
               "counter, which turns one way from the pole on the east side and the other\n"
               "way on the west side, tells the side the mount was left on, and position,\n"
               "goto and sync go by it. The sidereal time is that of --longitude.";
    case Command::Goto:
    case Command::Sync:
        return "RA in hours and Dec in degrees, decimal (5.5, -10.25) or sexagesimal\n"
               "(05:30:00, -10:15:00; the sign stands for the whole value). Anything else,\n"
               "or a value beyond 0 to 24 h or -90 to +90 degrees, is refused before the\n"
               "port is opened. goto shows on a terminal how the slew goes, waits for\n"
               "\"Ready\" after the controller's correction pass, says which meridian flips\n"
               "it made and where the mount points; Ctrl-C or a failure stops both axes.\n"
               "sync sets the axis counters to RA and Dec on the current side and reads\n"
               "them back.";
    default:
        return "";
    }
}

}  // namespace zr8::cli
