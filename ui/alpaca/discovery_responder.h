// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Alpaca discovery: a datagram "alpacadiscovery1" to UDP port 32227 (IPv4
// broadcast, or the IPv6 group ff12::a1:9aca) is answered, to its sender
// only, with {"AlpacaPort": n}. Run only when the server listens on the
// network.
//
// Threads: start() and stop() on the owner's thread; one thread of its own
// answers.

#include <cstdint>
#include <memory>
#include <string>

namespace zr8::alpaca {

inline constexpr uint16_t kDiscoveryPort = 32227;

class DiscoveryResponder {
public:
    DiscoveryResponder();
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    // False, with the reason, when the IPv4 port cannot be had; IPv6 is
    // answered where the system offers it.
    bool start(uint16_t alpacaPort, std::string& error, uint16_t discoveryPort = kDiscoveryPort);
    bool answersIpv6() const;
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// This computer's name ("" when unknown).
std::string localHostName();

}  // namespace zr8::alpaca
