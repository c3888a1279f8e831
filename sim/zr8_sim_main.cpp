// SPDX-License-Identifier: GPL-3.0-or-later
// zr8-sim: a simulated ZR8 on a pseudo-terminal, in real time.

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "sim/pty_server.h"

namespace {

using namespace zr8::sim;

constexpr const char* kHelp = R"(Usage: zr8-sim [options]

Runs a simulated ZR8 mount controller on a pseudo-terminal and prints the
device path to open, e.g. /dev/pts/7. Give that path to the tool as its
serial port, or open it with any serial terminal. Runs until interrupted
(Ctrl-C).

General:
  --link PATH            also make PATH a symbolic link to the device, so it
                         has a stable name (replaces an existing link there;
                         removed on exit)
  --state FILE           the controller's settings memory: read at start when
                         the file exists (it then wins over the configuration
                         options below), written by store settings (0x0D)
  --trace                print every frame: seconds since start, direction
                         (in = to the controller, out = its reply, skip =
                         bytes that made no frame, closed = the client closed
                         the port), hex bytes
  --time-scale X         run the mount X times faster than real time (default 1)
  -h, --help             show this text

Initial configuration (defaults in brackets):
  --identity WORD        identify reply word [0x0138525A]
  --ra-gear N            RA gear ratio [270]
  --ra-resolution N      RA microsteps per axis turn [1728000]
  --ra-base-speed N      RA base speed, the sidereal rate [1000]
  --ra-speed-factor N    RA maximum speed in base speeds, 1..65535 [1000]
  --dec-gear N, --dec-resolution N, --dec-base-speed N, --dec-speed-factor N
                         the same for Dec
  --reverse-motor BITS   bit 0 RA, bit 1 Dec [0]
  --motor-option N       [0]
  --ra-format F,L,B,R    RA encoder format: flags (bit 0 invert, bit 1 Gray),
                         leading bits, bits per revolution, bits for
                         revolutions [0,12,25,0]
  --dec-format F,L,B,R   the same for Dec [0,12,25,0]
  --reverse-encoder BITS bit 0 RA, bit 1 Dec [0]
  --ra-offset N          RA encoder offset in counts [0]
  --dec-offset N         Dec encoder offset in counts [0]

Faults, for testing a client's error handling:
  --silent               never answer
  --wrong-identify       answer identify as a different device would
  --delay MS             hold every reply MS milliseconds
  --byte-by-byte         deliver replies one byte at a time
  --noise                send a few stray bytes before every reply
  --truncate-reply N     cut the Nth reply short (1 = the first)
  --hang-up-after N      close the pseudo-terminal once N frames are answered
  --stall-reads-after N  read nothing more once N frames arrived: the client's
                         writes back up until they block
  --ignore-command CMD   answer the settings write CMD as usual but do not
                         carry it out: 0x0D store, 0x18 encoder format,
                         0x32 motor reverse or 0x7C encoder calibration

Numbers may be decimal or 0x-prefixed hexadecimal.

The mount: positions in microsteps; manual speeds in base-speed units (the
base speed is the sidereal rate, the largest speed base x speed factor);
positioning at the largest speed; tracking turns RA at the sidereal rate.

Examples:
  zr8-sim --link /tmp/zr8 --trace
  zr8-sim --state ~/zr8-sim.state --ra-resolution 2764800 --ra-speed-factor 800
  zr8-sim --link /tmp/zr8 --delay 300 --noise
)";

bool parseNumber(std::string_view text, long long lo, long long hi, long long& out) {
    const std::string s(text);
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 0);
    if (errno || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseFormat(std::string_view text, EncoderFormat& out) {
    long long v[4];
    for (int i = 0; i < 4; ++i) {
        const size_t comma = text.find(',');
        const std::string_view part = i < 3 ? text.substr(0, comma) : text;
        if ((i < 3 && comma == std::string_view::npos) || !parseNumber(part, 0, 255, v[i]))
            return false;
        if (i < 3) text.remove_prefix(comma + 1);
    }
    out = {static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2]),
           static_cast<uint8_t>(v[3])};
    return true;
}

struct Options {
    SimConfig config;
    FaultConfig faults;
    std::string link;
    bool trace = false;
};

// Returns 0 to go on, otherwise the exit status (after printing why).
int parseOptions(int argc, char** argv, Options& o) {
    ControllerSettings& s = o.config.settings;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](const char** out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        const char* text = nullptr;
        long long n = 0;
        auto number = [&](long long lo, long long hi) {
            if (!value(&text)) {
                std::fprintf(stderr, "zr8-sim: %s needs a value\n", argv[i]);
                return false;
            }
            if (!parseNumber(text, lo, hi, n)) {
                std::fprintf(stderr, "zr8-sim: %s: \"%s\" is not a number in %lld..%lld\n",
                             argv[i - 1], text, lo, hi);
                return false;
            }
            return true;
        };
        constexpr long long u32 = 0xFFFFFFFFLL;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return -1;
        } else if (arg == "--trace") {
            o.trace = true;
        } else if (arg == "--silent") {
            o.faults.silent = true;
        } else if (arg == "--wrong-identify") {
            o.faults.wrongIdentify = true;
        } else if (arg == "--byte-by-byte") {
            o.faults.byteByByte = true;
        } else if (arg == "--noise") {
            o.faults.noise = true;
        } else if (arg == "--link" || arg == "--state") {
            if (!value(&text) || !*text) {
                std::fprintf(stderr, "zr8-sim: %s needs a path\n", argv[i]);
                return 2;
            }
            (arg == "--link" ? o.link : o.config.stateFile) = text;
        } else if (arg == "--time-scale") {
            if (!value(&text)) {
                std::fprintf(stderr, "zr8-sim: --time-scale needs a value\n");
                return 2;
            }
            char* end = nullptr;
            const double x = std::strtod(text, &end);
            if (*end != '\0' || !(x > 0) || x > 1e6) {
                std::fprintf(stderr, "zr8-sim: --time-scale: \"%s\" is not a number above 0\n",
                             text);
                return 2;
            }
            o.config.timeScale = x;
        } else if (arg == "--ignore-command") {
            if (!number(0, 255)) return 2;
            if (!Controller::ignorable(static_cast<uint8_t>(n))) {
                std::fprintf(stderr,
                             "zr8-sim: --ignore-command: %s is not 0x0D, 0x18, 0x32 or 0x7C\n",
                             text);
                return 2;
            }
            o.faults.ignoredCommand = static_cast<uint8_t>(n);
        } else if (arg == "--ra-format" || arg == "--dec-format") {
            if (!value(&text) ||
                !parseFormat(text, arg == "--ra-format" ? s.raFormat : s.decFormat)) {
                std::fprintf(stderr, "zr8-sim: %s needs four numbers 0..255, e.g. 0,12,25,0\n",
                             std::string(arg).c_str());
                return 2;
            }
        } else {
            struct NumberOption {
                const char* name;
                long long lo, hi;
                void (*apply)(Options&, long long);
            };
            static const NumberOption table[] = {
                {"--identity", 0, u32,
                 [](Options& x, long long v) { x.config.settings.identityWord = uint32_t(v); }},
                {"--ra-gear", 0, u32,
                 [](Options& x, long long v) { x.config.settings.ra.gearRatio = uint32_t(v); }},
                {"--ra-resolution", 1, u32,
                 [](Options& x, long long v) {
                     x.config.settings.ra.microstepResolution = uint32_t(v);
                 }},
                {"--ra-base-speed", 1, u32,
                 [](Options& x, long long v) { x.config.settings.ra.baseSpeed = uint32_t(v); }},
                {"--ra-speed-factor", 1, 0xFFFF,
                 [](Options& x, long long v) { x.config.settings.ra.speedFactor = uint16_t(v); }},
                {"--dec-gear", 0, u32,
                 [](Options& x, long long v) { x.config.settings.dec.gearRatio = uint32_t(v); }},
                {"--dec-resolution", 1, u32,
                 [](Options& x, long long v) {
                     x.config.settings.dec.microstepResolution = uint32_t(v);
                 }},
                {"--dec-base-speed", 1, u32,
                 [](Options& x, long long v) { x.config.settings.dec.baseSpeed = uint32_t(v); }},
                {"--dec-speed-factor", 1, 0xFFFF,
                 [](Options& x, long long v) { x.config.settings.dec.speedFactor = uint16_t(v); }},
                {"--reverse-motor", 0, 3,
                 [](Options& x, long long v) { x.config.settings.reverseMotor = uint8_t(v); }},
                {"--motor-option", 0, 255,
                 [](Options& x, long long v) { x.config.settings.motorOption = uint8_t(v); }},
                {"--reverse-encoder", 0, 3,
                 [](Options& x, long long v) { x.config.settings.reverseEncoder = uint8_t(v); }},
                {"--ra-offset", INT32_MIN, INT32_MAX,
                 [](Options& x, long long v) { x.config.settings.raOffset = int32_t(v); }},
                {"--dec-offset", INT32_MIN, INT32_MAX,
                 [](Options& x, long long v) { x.config.settings.decOffset = int32_t(v); }},
                {"--delay", 0, 60'000,
                 [](Options& x, long long v) { x.faults.replyDelayMs = int(v); }},
                {"--truncate-reply", 1, INT32_MAX,
                 [](Options& x, long long v) { x.faults.truncateReplyNumber = int(v); }},
                {"--hang-up-after", 1, INT32_MAX,
                 [](Options& x, long long v) { x.faults.hangUpAfterFrames = int(v); }},
                {"--stall-reads-after", 1, INT32_MAX,
                 [](Options& x, long long v) { x.faults.stallReadsAfterFrames = int(v); }},
            };
            const NumberOption* found = nullptr;
            for (const NumberOption& opt : table)
                if (arg == opt.name) found = &opt;
            if (!found) {
                std::fprintf(stderr, "zr8-sim: unknown option \"%s\" (see zr8-sim --help)\n",
                             argv[i]);
                return 2;
            }
            if (!number(found->lo, found->hi)) return 2;
            found->apply(o, n);
        }
    }
    return 0;
}

// Points `link` at `target`, replacing an older symlink but never a file.
bool makeLink(const std::string& link, const std::string& target, std::string& error) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = link + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    const std::string temp = link + ".zr8-sim-" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), link.c_str()) != 0) {
        error = link + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void removeLinkIfOurs(const std::string& link, const std::string& target) {
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    if (n < 0) return;
    buf[n] = '\0';
    if (target == buf) ::unlink(link.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int status = parseOptions(argc, argv, o); status != 0) return status < 0 ? 0 : status;

    // Signals are taken by sigtimedwait below, so the server thread (which
    // inherits this mask) is never interrupted by them. A handler is set
    // because an ignored signal (a shell's background job ignores SIGINT)
    // would never reach sigtimedwait.
    sigset_t signals;
    sigemptyset(&signals);
    struct sigaction action {};
    action.sa_handler = [](int) {};
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&signals, sig);
        sigaction(sig, &action, nullptr);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    PtyServer server(o.config, o.faults);
    std::mutex printLock;
    const auto started = std::chrono::steady_clock::now();
    if (o.trace) {
        server.setTraceSink([&](TraceDirection d, std::span<const uint8_t> bytes) {
            const double t =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            static const char* names[] = {"in  ", "out ", "skip", "hang-up", "closed"};
            std::lock_guard lock(printLock);
            std::printf("%10.6f %s", t, names[static_cast<int>(d)]);
            for (uint8_t b : bytes) std::printf(" %02X", b);
            std::printf("\n");
            std::fflush(stdout);
        });
    }
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "zr8-sim: %s\n", error.c_str());
        return 1;
    }
    const std::string path = server.slavePath();
    if (!o.link.empty() && !makeLink(o.link, path, error)) {
        std::fprintf(stderr, "zr8-sim: %s\n", error.c_str());
        return 1;
    }
    {
        std::lock_guard lock(printLock);
        std::printf("%s\n", path.c_str());
        if (!o.link.empty()) std::printf("linked as %s\n", o.link.c_str());
        std::fflush(stdout);
    }

    int status = 0;
    const timespec tick{0, 200'000'000};
    for (;;) {
        const int sig = sigtimedwait(&signals, nullptr, &tick);
        if (sig > 0) break;
        if (server.hungUp()) {
            std::fprintf(stderr, "zr8-sim: hung up after %d frames, as asked\n",
                         o.faults.hangUpAfterFrames);
            break;
        }
        const std::string storeError = server.storeError();
        static std::string reported;
        if (storeError != reported) {
            if (!storeError.empty())
                std::fprintf(stderr, "zr8-sim: store settings failed: %s\n", storeError.c_str());
            reported = storeError;
            status = storeError.empty() ? 0 : 1;
        }
    }
    server.stop();
    if (!o.link.empty()) removeLinkIfOurs(o.link, path);
    return status;
}
