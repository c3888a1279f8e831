// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/setup_page.h"

#include <cstdio>
#include <sstream>

#include "ui/alpaca/telescope_api.h"

namespace zr8::alpaca {

namespace {

std::string number(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", x);
    return text;
}

std::string selected(bool yes) { return yes ? " selected" : ""; }

std::string stateText(const TelescopeView& v) {
    if (v.connecting) return "Connecting...";
    if (!v.connected) return "Not connected";
    std::string text = v.slewing ? "Connected, slewing" : "Connected";
    text += v.tracking ? ", tracking" : ", not tracking";
    if (v.havePosition) {
        text += "; RA " + number(v.position.raHours) + " h, Dec " + number(v.position.decDegrees) +
                " deg";
    }
    const int side = pointingStateOf(v.pierState);
    if (side >= 0)
        text += side == 0 ? "; pier side east (normal)" : "; pier side west (through the pole)";
    return text;
}

}  // namespace

std::string htmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

SetupPage::SetupPage(Context context) : c_(std::move(context)), token_(newUniqueId()) {}

bool SetupPage::isSetupPath(const std::string& path) {
    return path == "/setup" || path == "/setup/v1/telescope/0/setup";
}

HttpReply SetupPage::page(const std::string& notice) {
    const ServerSettings s = c_.effective();
    const TelescopeView v = c_.device.view();
    const bool everywhere = s.listenAddress != "127.0.0.1" && s.listenAddress != "::1" &&
                            s.listenAddress != "localhost";
    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<title>ZR8 Alpaca server - setup</title></head><body>\n"
            "<h1>ZR8 Alpaca server</h1>\n";
    if (!notice.empty()) html << "<p><strong>" << htmlEscape(notice) << "</strong></p>\n";
    if (const std::string report = c_.file.report(); !report.empty())
        html << "<p><strong>" << htmlEscape(report) << "</strong></p>\n";
    html << "<p>State: <span id=\"state\">" << htmlEscape(stateText(v)) << "</span></p>\n"
         << "<p>Telescope 0 answers at " << htmlEscape(listeningOn_)
         << "api/v1/telescope/0/ (ASCOM Alpaca).</p>\n";
    if (!c_.commandLineNote.empty()) html << "<p>" << htmlEscape(c_.commandLineNote) << "</p>\n";
    html << "<form method=\"post\" action=\"/setup\">\n"
         << "<input type=\"hidden\" name=\"token\" value=\"" << token_ << "\">\n"
         << "<fieldset><legend>Serial line</legend>\n"
         << "<p><label>Port <input name=\"serialPort\" list=\"ports\" size=\"40\" value=\""
         << htmlEscape(s.serialPort) << "\"></label> (takes effect at the next connect)</p>\n"
         << "<datalist id=\"ports\">";
    for (const PortEntry& entry : c_.ports.entries()) {
        const std::string name =
            entry.kind == PortKind::Provided ? entry.description : entry.devicePath;
        html << "<option value=\"" << htmlEscape(name) << "\">" << htmlEscape(entry.label())
             << "</option>";
    }
    html << "</datalist>\n<p>Known ports:</p><ul>";
    for (const PortEntry& entry : c_.ports.entries())
        html << "<li>" << htmlEscape(entry.label()) << "</li>";
    html << "</ul>\n<p><label>Baud rate <select name=\"baudRate\">"
         << "<option value=\"115200\"" << selected(s.baudRate == 115200) << ">115200</option>"
         << "<option value=\"9600\"" << selected(s.baudRate == 9600) << ">9600</option>"
         << "</select></label></p></fieldset>\n"
         << "<fieldset><legend>Site</legend>\n"
         << "<p><label>Latitude (degrees, north positive; the ZR8 is set up for the northern "
            "sky) <input name=\"siteLatitude\" value=\""
         << number(v.latitude) << "\"></label></p>\n"
         << "<p><label>Longitude (degrees, east positive) <input name=\"siteLongitude\" value=\""
         << number(v.longitude) << "\"></label></p>\n"
         << "<p><label>Elevation (metres) <input name=\"siteElevation\" value=\""
         << number(v.elevation) << "\"></label></p></fieldset>\n"
         << "<fieldset><legend>Meridian flip</legend>\n<p><label>When a flip is recommended "
            "<select name=\"flipPolicy\">"
         << "<option value=\"recommended\""
         << selected(s.flipPolicy == mount::FlipPolicy::FlipWhenRecommended)
         << ">flip</option><option value=\"avoid\""
         << selected(s.flipPolicy == mount::FlipPolicy::StayWhenAllowed)
         << ">stay on this side</option></select></label> (a needed flip is always made)</p>"
            "</fieldset>\n"
         << "<fieldset><legend>Network (takes effect at the next start)</legend>\n"
         << "<p><label><input type=\"radio\" name=\"listen\" value=\"local\""
         << (everywhere ? "" : " checked")
         << "> This computer only (127.0.0.1): programs on other computers cannot reach the "
            "server, and it does not answer discovery.</label></p>\n"
         << "<p><label><input type=\"radio\" name=\"listen\" value=\"network\""
         << (everywhere ? " checked" : "")
         << "> The network too, at address <input name=\"listenAddress\" value=\""
         << htmlEscape(everywhere ? s.listenAddress : std::string("0.0.0.0"))
         << "\"> (0.0.0.0: all). The API has no password: anyone on the network can then move "
            "the telescope.</label></p>\n"
         << "<p><label>HTTP port <input name=\"httpPort\" value=\"" << s.httpPort
         << "\"></label></p></fieldset>\n"
         << "<p><button type=\"submit\">Save</button></p>\n</form>\n"
         << "<p>Settings file: " << htmlEscape(pathText(c_.file.path())) << "</p>\n"
         << "</body></html>\n";
    HttpReply reply;
    reply.contentType = "text/html; charset=utf-8";
    reply.body = html.str();
    return reply;
}

HttpReply SetupPage::submit(const Parameters& form) {
    const std::string* token = form.find("token");
    if (!token || *token != token_)
        return textReply(403, "The form is out of date: reload the setup page and save again.");
    ServerSettings s = c_.effective();  // what the form showed
    auto text = [&](const char* name) -> const std::string* { return form.find(name); };
    auto numberOf = [&](const char* name, double& out) {
        const std::string* t = text(name);
        if (!t) return true;
        const auto n = parseNumber(*t);
        if (n) out = *n;
        return n.has_value();
    };
    if (const std::string* port = text("serialPort")) s.serialPort = *port;
    double baud = s.baudRate, port = s.httpPort;
    if (!numberOf("baudRate", baud) || !numberOf("siteLatitude", s.latitude) ||
        !numberOf("siteLongitude", s.longitude) || !numberOf("siteElevation", s.elevation) ||
        !numberOf("httpPort", port) || port < 0 || port > 65535 || baud < 0 || baud > 1e7) {
        return page("Not saved: a number cannot be read.");
    }
    s.baudRate = static_cast<uint32_t>(baud);
    s.httpPort = static_cast<uint16_t>(port);
    if (const std::string* policy = text("flipPolicy")) {
        const auto named = mount::flipPolicyNamed(*policy);
        if (!named) return page("Not saved: no such flip policy.");
        s.flipPolicy = *named;
    }
    if (const std::string* listen = text("listen")) {
        const std::string* address = text("listenAddress");
        s.listenAddress =
            *listen == "network" && address && !address->empty() ? *address : "127.0.0.1";
    }
    if (std::string why = c_.file.save(s); !why.empty()) return page("Not saved: " + why);
    c_.apply(c_.file.current());
    return page("Saved.");
}

}  // namespace zr8::alpaca
