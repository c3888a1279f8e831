// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The setup pages (/setup and /setup/v1/telescope/0/setup): the serial
// line, the site, the flip policy, where the server listens, and the
// device's state, as a plain HTML form that works without scripts. Saving
// writes the settings file and applies what can change at once; the
// listening address and port take effect at the next start.
//
// A form carries a token made at start: a page elsewhere on the web cannot
// post one (it cannot read this page to learn it).
//
// Threads: any.

#include <functional>
#include <string>

#include "platform/port_catalogue.h"
#include "ui/alpaca/alpaca_params.h"
#include "ui/alpaca/alpaca_reply.h"
#include "ui/alpaca/server_settings.h"
#include "ui/alpaca/telescope_device.h"

namespace zr8::alpaca {

class SetupPage {
public:
    struct Context {
        SettingsFile& file;
        TelescopeDevice& device;
        PortCatalogue& ports;
        // The settings of this run (the file's, and the command line's over them).
        std::function<ServerSettings()> effective;
        // Called with what was saved, to use it now.
        std::function<void(const ServerSettings&)> apply;
        std::string commandLineNote;  // what the command line overrides, or empty
    };

    explicit SetupPage(Context context);

    // "http://127.0.0.1:11111/", once the server listens (before it serves).
    void setListeningOn(std::string base) { listeningOn_ = std::move(base); }

    static bool isSetupPath(const std::string& path);

    HttpReply page(const std::string& notice);
    HttpReply submit(const Parameters& form);

    const std::string& token() const { return token_; }

private:
    Context c_;
    const std::string token_;
    std::string listeningOn_;
};

std::string htmlEscape(const std::string& text);

}  // namespace zr8::alpaca
