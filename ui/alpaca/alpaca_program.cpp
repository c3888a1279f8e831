// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/alpaca_program.h"

#include <cstdio>
#include <mutex>

#include "mount/running_mount.h"
#include "platform/port_catalogue.h"
#include "platform/user_files.h"
#include "sim/built_in_simulator.h"
#include "ui/alpaca/alpaca_router.h"
#include "ui/alpaca/device_pump.h"
#include "ui/alpaca/discovery_responder.h"
#include "ui/alpaca/http_server.h"
#include "ui/alpaca/server_settings.h"
#include "ui/alpaca/setup_page.h"
#include "ui/alpaca/stop_request.h"
#include "ui/alpaca/telescope_api.h"

namespace zr8::alpaca {

namespace {

// The settings this run uses: the file's, with the command line's over them
// until the setup page saves new ones.
class RunSettings {
public:
    RunSettings(SettingsFile& file, const CommandLine& options) : file_(file) {
        effective_ = file.current();
        if (options.httpPort) effective_.httpPort = *options.httpPort;
        if (options.listenAddress) effective_.listenAddress = *options.listenAddress;
        if (options.serialPort) effective_.serialPort = *options.serialPort;
        if (options.baudRate) effective_.baudRate = *options.baudRate;
        if (options.httpPort || options.listenAddress || options.serialPort || options.baudRate)
            note_ =
                "Some values come from the command line for this run: saving the form "
                "makes the form's values the settings.";
    }

    ServerSettings effective() const {
        std::lock_guard guard(lock_);
        return effective_;
    }
    const std::string& note() const { return note_; }

    void saved(const ServerSettings& s) {
        std::lock_guard guard(lock_);
        effective_ = s;
    }

    // A client set the site: kept in the file, the rest as the file has it.
    std::string keepSite(const Site& site) {
        ServerSettings s = file_.current();
        s.latitude = site.latitude;
        s.longitude = site.longitude;
        s.elevation = site.elevation;
        std::string why = file_.save(s);
        std::lock_guard guard(lock_);
        effective_.latitude = site.latitude;
        effective_.longitude = site.longitude;
        effective_.elevation = site.elevation;
        return why;
    }

private:
    SettingsFile& file_;
    mutable std::mutex lock_;
    ServerSettings effective_;
    std::string note_;
};

bool onlyThisComputer(const std::string& address) {
    return address.rfind("127.", 0) == 0 || address == "::1";
}

void applyToDevice(TelescopeDevice& device, const ServerSettings& s) {
    device.setLine(s.serialPort, s.baudRate);
    device.setSite(s.latitude, s.longitude, s.elevation);
    device.setFlipPolicy(s.flipPolicy);
}

std::filesystem::path settingsPath(const CommandLine& options) {
    if (!options.settingsFile.empty()) return options.settingsFile;
    const std::filesystem::path folder = userSettingsFolder("zr8-alpaca");
    return folder.empty() ? std::filesystem::path() : folder / "settings.json";
}

}  // namespace

int runServer(const CommandLine& options, const std::string& version) {
    prepareStopRequest();
    const std::filesystem::path path = settingsPath(options);
    if (path.empty()) {
        std::fprintf(stderr, "zr8-alpaca: no folder for the settings file: give --settings FILE\n");
        return 1;
    }
    SettingsFile file(path);
    const bool kept = file.load();
    if (const std::string report = file.report(); !report.empty())
        std::fprintf(stderr, "zr8-alpaca: %s\n", report.c_str());
    if (!kept) return 1;
    RunSettings settings(file, options);
    const ServerSettings start = settings.effective();
    if (std::string problem = settingsProblem(start); !problem.empty()) {
        std::fprintf(stderr, "zr8-alpaca: %s\n", problem.c_str());
        return 2;
    }

    PortCatalogue ports;
    sim::BuiltInSimulator simulator;
    simulator.offerIn(ports);
    DevicePump pump;
    mount::RunningMount mount(ports, &pump);
    TelescopeDevice device(mount.session(), mount.clock(), mount.link(), ports, {});
    applyToDevice(device, start);
    TelescopeApi api(device, mount.clock(), version,
                     [&](const Site& site) { return settings.keepSite(site); });

    const std::string url =
        "http://" +
        (start.listenAddress.find(':') != std::string::npos ? "[" + start.listenAddress + "]"
                                                            : start.listenAddress) +
        ":";
    SetupPage setup({file, device, ports, [&] { return settings.effective(); },
                     [&](const ServerSettings& s) {
                         settings.saved(s);
                         applyToDevice(device, s);
                     },
                     settings.note()});
    AlpacaRouter router(api, setup, version, localHostName());
    router.setUniqueId(file.current().uniqueId);

    HttpServer server(router);
    std::string error;
    if (!server.listen(start.listenAddress, start.httpPort, error)) {
        std::fprintf(stderr, "zr8-alpaca: %s\n", error.c_str());
        return 1;
    }
    const std::string base = url + std::to_string(server.port()) + "/";
    setup.setListeningOn(base);
    pump.start(device, std::chrono::milliseconds(250));
    server.start();
    // Discovery first: once the address is printed, everything answers.
    DiscoveryResponder discovery;
    std::string discoveryNote;
    if (!onlyThisComputer(start.listenAddress)) {
        if (discovery.start(server.port(), error))
            discoveryNote = std::string("answering Alpaca discovery on UDP 32227") +
                            (discovery.answersIpv6() ? " (IPv4 and IPv6)" : " (IPv4)");
        else
            discoveryNote = error + "; clients must be given the address";
    }
    std::printf("zr8-alpaca %s: listening on %s (setup page: %ssetup)\n", version.c_str(),
                base.c_str(), base.c_str());
    if (!onlyThisComputer(start.listenAddress)) {
        std::printf(
            "zr8-alpaca: the API is open to the network and has no password: anyone who can "
            "reach this computer can move the telescope.\nzr8-alpaca: %s\n",
            discoveryNote.c_str());
    }
    std::fflush(stdout);

    waitForStopRequest();
    std::printf("zr8-alpaca: stopping\n");
    std::fflush(stdout);
    // No request waits any more, none comes in; a moving mount is stopped
    // and the line closed before the link goes.
    device.shutdown();
    server.stop();
    discovery.stop();
    device.disconnect();
    device.awaitLineClosed(std::chrono::seconds(3));
    pump.stop();
    stopRequestDone();
    return 0;
}

}  // namespace zr8::alpaca
