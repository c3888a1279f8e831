// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which part of the server answers a request: the telescope's members under
// /api/v1/telescope/0/, the management API, the setup pages. Paths are
// case-sensitive and lower case; anything else is a 400.
//
// Names other than this computer's are refused (403): a web page the
// operator visits could otherwise reach the server through a DNS name that
// it points at 127.0.0.1, and move the telescope.
//
// Threads: any; ServerTransactionID is counted atomically.

#include <atomic>
#include <cstdint>
#include <string>

#include "ui/alpaca/alpaca_reply.h"
#include "ui/alpaca/setup_page.h"
#include "ui/alpaca/telescope_api.h"

namespace zr8::alpaca {

class AlpacaRouter final : public iHttpHandler {
public:
    AlpacaRouter(TelescopeApi& api, SetupPage& setup, std::string version, std::string hostName);

    HttpReply handle(const HttpRequest& request) override;
    bool waits(const HttpRequest& request) const override;

    // The UniqueID that configureddevices lists.
    void setUniqueId(std::string id);

private:
    HttpReply management(const std::string& path, const Parameters& query, uint32_t serverTx);
    bool hostAllowed(const std::string& host) const;

    TelescopeApi& api_;
    SetupPage& setup_;
    const std::string version_;
    const std::string hostName_;
    std::string uniqueId_;
    std::atomic<uint32_t> serverTransaction_{0};
};

// "/api/v1/telescope/0/slewing" gives "slewing"; empty when the path is not
// one of device 0's members (lower-case letters only).
std::string telescopeMember(const std::string& path);

}  // namespace zr8::alpaca
