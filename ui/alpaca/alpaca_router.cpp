// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/alpaca_router.h"

#include <nlohmann/json.hpp>

namespace zr8::alpaca {

namespace {

using nlohmann::json;

constexpr std::string_view kTelescopePrefix = "/api/v1/telescope/0/";

HttpReply methodNotAllowed(const char* allow) {
    HttpReply reply = textReply(405, std::string("Use ") + allow + " for this path.");
    reply.allow = allow;
    return reply;
}

bool isIpLiteral(std::string_view host) {
    if (!host.empty() && host.front() == '[') return true;  // IPv6
    if (host.empty()) return false;
    for (char c : host)
        if (!(c == '.' || (c >= '0' && c <= '9'))) return false;
    return true;
}

}  // namespace

std::string telescopeMember(const std::string& path) {
    if (path.compare(0, kTelescopePrefix.size(), kTelescopePrefix) != 0) return {};
    const std::string member = path.substr(kTelescopePrefix.size());
    if (member.empty()) return {};
    for (char c : member)
        if (c < 'a' || c > 'z') return {};
    return member;
}

AlpacaRouter::AlpacaRouter(TelescopeApi& api, SetupPage& setup, std::string version,
                           std::string hostName)
    : api_(api), setup_(setup), version_(std::move(version)), hostName_(std::move(hostName)) {}

void AlpacaRouter::setUniqueId(std::string id) { uniqueId_ = std::move(id); }

bool AlpacaRouter::hostAllowed(const std::string& header) const {
    std::string host = header;
    // Without the port; an IPv6 literal keeps its brackets.
    const size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos)
        host.resize(colon);
    if (host.empty() || isIpLiteral(host) || equalsIgnoringCase(host, "localhost")) return true;
    if (hostName_.empty()) return false;
    return equalsIgnoringCase(host, hostName_) ||
           (host.size() > hostName_.size() && host[hostName_.size()] == '.' &&
            equalsIgnoringCase(std::string_view(host).substr(0, hostName_.size()), hostName_));
}

bool AlpacaRouter::waits(const HttpRequest& request) const {
    const std::string path = request.target.substr(0, request.target.find('?'));
    if (request.method == "PUT") {
        const std::string member = telescopeMember(path);
        return !member.empty() && api_.waits(member, Verb::Put);
    }
    return request.method == "POST" && SetupPage::isSetupPath(path);
}

HttpReply AlpacaRouter::handle(const HttpRequest& request) {
    const uint32_t serverTx = ++serverTransaction_;
    if (!hostAllowed(request.host)) {
        return textReply(403,
                         "This server answers to this computer's name or its IP address "
                         "only, not to \"" +
                             request.host + "\".");
    }
    const size_t question = request.target.find('?');
    const std::string path = request.target.substr(0, question);
    const std::string query =
        question == std::string::npos ? std::string() : request.target.substr(question + 1);
    const bool get = request.method == "GET";
    const bool put = request.method == "PUT";

    std::vector<Parameter> list;
    if (const std::string member = telescopeMember(path); !member.empty()) {
        const Verb verb = put ? Verb::Put : Verb::Get;
        const TelescopeApi::Lookup found = api_.find(member, verb);
        if (found == TelescopeApi::Lookup::NoSuchMember) {
            // The other verb may know it.
            if (api_.find(member, put ? Verb::Get : Verb::Put) ==
                TelescopeApi::Lookup::NoSuchMember)
                return textReply(400, "No telescope member \"" + member + "\".");
        }
        if ((!get && !put) || found != TelescopeApi::Lookup::Found)
            return methodNotAllowed(
                api_.find(member, Verb::Get) == TelescopeApi::Lookup::Found ? "GET" : "PUT");
        if (!parseForm(get ? query : request.body, list))
            return textReply(400, "The parameters cannot be read (a broken % escape).");
        // GET parameter names match in any case, PUT ones only as the API
        // spells them.
        const Parameters params(std::move(list), get);
        return api_.handle(member, verb, params, clientNumber(params.find("ClientTransactionID")),
                           serverTx);
    }
    if (path.rfind("/management/", 0) == 0) {
        if (!get) return methodNotAllowed("GET");
        if (!parseForm(query, list)) return textReply(400, "The query cannot be read.");
        return management(path, Parameters(std::move(list), true), serverTx);
    }
    if (SetupPage::isSetupPath(path)) {
        if (get) return setup_.page({});
        if (request.method != "POST") return methodNotAllowed("GET, POST");
        if (!parseForm(request.body, list)) return textReply(400, "The form cannot be read.");
        return setup_.submit(Parameters(std::move(list), false));
    }
    if (path == "/" && get) {
        HttpReply reply = textReply(302, "The setup page is at /setup.");
        reply.location = "/setup";
        return reply;
    }
    return textReply(400, "No such path: " + path);
}

HttpReply AlpacaRouter::management(const std::string& path, const Parameters& query,
                                   uint32_t serverTx) {
    const uint32_t clientTx = clientNumber(query.find("ClientTransactionID"));
    json value;
    if (path == "/management/apiversions") {
        value = json::array({1});
    } else if (path == "/management/v1/description") {
        value = {{"ServerName", "ZR8 Alpaca server"},
                 {"Manufacturer", "zr8-setup developers"},
                 {"ManufacturerVersion", version_},
                 {"Location", hostName_}};
    } else if (path == "/management/v1/configureddevices") {
        value = json::array({{{"DeviceName", "ZR8"},
                              {"DeviceType", "Telescope"},
                              {"DeviceNumber", 0},
                              {"UniqueID", uniqueId_}}});
    } else {
        return textReply(400, "No such path: " + path);
    }
    return envelope(&value, {}, clientTx, serverTx);
}

}  // namespace zr8::alpaca
