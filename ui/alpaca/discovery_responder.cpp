// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/discovery_responder.h"

// Boost 1.74's coroutine support names std::exchange without <utility>.
#include <utility>

#include <array>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/host_name.hpp>
#include <boost/asio/ip/multicast.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <string_view>
#include <thread>

namespace zr8::alpaca {

namespace net = boost::asio;
using udp = net::ip::udp;

namespace {

constexpr std::string_view kQuestion = "alpacadiscovery1";

class Responder {
public:
    Responder(net::io_context& io, std::string answer) : socket_(io), answer_(std::move(answer)) {}

    bool open(const udp::endpoint& at, boost::system::error_code& ec) {
        socket_.open(at.protocol(), ec);
        if (!ec && at.address().is_v6()) socket_.set_option(net::ip::v6_only(true), ec);
        // Several Alpaca servers on one computer all hear the broadcast.
        if (!ec) socket_.set_option(net::socket_base::reuse_address(true), ec);
        if (!ec) socket_.bind(at, ec);
        return !ec;
    }
    udp::socket& socket() { return socket_; }

    void receive() {
        socket_.async_receive_from(
            net::buffer(in_), from_, [this](boost::system::error_code ec, size_t n) {
                if (ec == net::error::operation_aborted) return;
                // Later versions of the question
                // begin with this one's words.
                if (!ec && std::string_view(in_.data(), n).starts_with(kQuestion)) {
                    boost::system::error_code ignored;
                    socket_.send_to(net::buffer(answer_), from_, 0, ignored);
                }
                receive();
            });
    }

private:
    udp::socket socket_;
    const std::string answer_;
    std::array<char, 64> in_{};
    udp::endpoint from_;
};

}  // namespace

struct DiscoveryResponder::Impl {
    net::io_context io;
    std::unique_ptr<Responder> v4, v6;
    std::thread thread;
};

DiscoveryResponder::DiscoveryResponder() : impl_(std::make_unique<Impl>()) {}

DiscoveryResponder::~DiscoveryResponder() { stop(); }

bool DiscoveryResponder::start(uint16_t alpacaPort, std::string& error, uint16_t discoveryPort) {
    const std::string answer = "{\"AlpacaPort\": " + std::to_string(alpacaPort) + "}";
    boost::system::error_code ec;
    impl_->v4 = std::make_unique<Responder>(impl_->io, answer);
    if (!impl_->v4->open({net::ip::address_v4::any(), discoveryPort}, ec)) {
        error = "cannot answer discovery on UDP port " + std::to_string(discoveryPort) + ": " +
                ec.message();
        impl_->v4.reset();
        return false;
    }
    impl_->v4->receive();
    impl_->v6 = std::make_unique<Responder>(impl_->io, answer);
    if (impl_->v6->open({net::ip::address_v6::any(), discoveryPort}, ec)) {
        impl_->v6->socket().set_option(
            net::ip::multicast::join_group(net::ip::make_address_v6("ff12::a1:9aca")), ec);
    }
    if (ec) {
        impl_->v6.reset();  // no IPv6 here: IPv4 alone
    } else {
        impl_->v6->receive();
    }
    impl_->thread = std::thread([this] { impl_->io.run(); });
    return true;
}

bool DiscoveryResponder::answersIpv6() const { return impl_->v6 != nullptr; }

std::string localHostName() {
    boost::system::error_code ec;
    const std::string name = net::ip::host_name(ec);
    return ec ? std::string() : name;
}

void DiscoveryResponder::stop() {
    if (!impl_->thread.joinable()) return;
    impl_->io.stop();
    impl_->thread.join();
}

}  // namespace zr8::alpaca
