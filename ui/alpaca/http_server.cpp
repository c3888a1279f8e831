// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/http_server.h"

// Boost 1.74's coroutine support names std::exchange without <utility>.
#include <utility>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zr8::alpaca {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

class HttpSession;

struct HttpServer::Impl {
    Impl(iHttpHandler& handler, HttpLimits limits)
        : handler(handler),
          limits(limits),
          acceptor(net::make_strand(io)),
          retry(acceptor.get_executor()),
          waiting(static_cast<size_t>(limits.waitingThreads)) {}

    void accept();
    void admit(tcp::socket socket);

    iHttpHandler& handler;
    const HttpLimits limits;
    net::io_context io{limits.ioThreads};
    tcp::acceptor acceptor;
    net::steady_timer retry;
    net::thread_pool waiting;
    std::vector<std::thread> threads;
    std::atomic<bool> stopping{false};

    mutable std::mutex lock;
    std::list<std::weak_ptr<HttpSession>> sessions;
};

// One connection, on a strand of its own.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, HttpServer::Impl& server)
        : stream_(std::move(socket)), server_(server) {}

    void start() {
        net::dispatch(stream_.get_executor(),
                      beast::bind_front_handler(&HttpSession::read, shared_from_this()));
    }

    // Any thread.
    void close() {
        net::post(stream_.get_executor(), [self = shared_from_this()] { self->shut(); });
    }

    // Under the server's lock: how long it has waited for a request; none
    // while one is being answered.
    std::optional<Clock::time_point> waitingSince() const {
        std::lock_guard guard(idleLock_);
        return idleSince_;
    }

private:
    void setWaiting(bool waiting) {
        std::lock_guard guard(idleLock_);
        if (waiting)
            idleSince_ = Clock::now();
        else
            idleSince_.reset();
    }

    void read() {
        setWaiting(true);
        parser_.emplace();
        parser_->body_limit(server_.limits.bodyBytes);
        parser_->header_limit(server_.limits.headerBytes);
        stream_.expires_after(server_.limits.requestTime);
        http::async_read(stream_, buffer_, *parser_,
                         beast::bind_front_handler(&HttpSession::onRead, shared_from_this()));
    }

    void onRead(beast::error_code ec, std::size_t) {
        if (ec == http::error::body_limit)
            return answer(textReply(413, "The body is too large."), false);
        if (ec == http::error::header_limit)
            return answer(textReply(431, "The headers are too large."), false);
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == net::error::operation_aborted || server_.stopping) {
            return shut();
        }
        if (ec) {
            // A request that is not HTTP gets a word; a broken line, nothing.
            if (ec.category() == http::make_error_code(http::error::bad_method).category())
                return answer(textReply(400, "This is not an HTTP request."), false);
            return shut();
        }
        setWaiting(false);
        http::request<http::string_body>& req = parser_->get();
        keepAlive_ = req.keep_alive();
        HttpRequest request{std::string(req.method_string()), std::string(req.target()),
                            std::string(req[http::field::host]), std::move(req.body())};
        if (!server_.handler.waits(request)) return answer(handled(request), keepAlive_);
        net::post(server_.waiting, [self = shared_from_this(), request = std::move(request)] {
            HttpReply reply = self->handled(request);
            net::post(self->stream_.get_executor(), [self, reply = std::move(reply)]() mutable {
                self->answer(std::move(reply), self->keepAlive_);
            });
        });
    }

    HttpReply handled(const HttpRequest& request) {
        try {
            return server_.handler.handle(request);
        } catch (const std::exception& e) {
            return textReply(500, std::string("Internal fault: ") + e.what());
        }
    }

    void answer(HttpReply reply, bool keepAlive) {
        response_.emplace(static_cast<http::status>(reply.status), 11);
        response_->set(http::field::content_type, reply.contentType);
        response_->set(http::field::cache_control, "no-store");
        if (!reply.allow.empty()) response_->set(http::field::allow, reply.allow);
        if (!reply.location.empty()) response_->set(http::field::location, reply.location);
        response_->keep_alive(keepAlive && !server_.stopping);
        response_->body() = std::move(reply.body);
        response_->prepare_payload();
        stream_.expires_after(server_.limits.writeTime);
        http::async_write(stream_, *response_,
                          beast::bind_front_handler(&HttpSession::onWrite, shared_from_this()));
    }

    void onWrite(beast::error_code ec, std::size_t) {
        if (ec || !response_->keep_alive()) return shut();
        response_.reset();
        read();
    }

    void shut() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.close();
    }

    beast::tcp_stream stream_;
    HttpServer::Impl& server_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::optional<http::response<http::string_body>> response_;
    bool keepAlive_ = false;
    mutable std::mutex idleLock_;
    std::optional<Clock::time_point> idleSince_;
};

void HttpServer::Impl::accept() {
    acceptor.async_accept(net::make_strand(io), [this](beast::error_code ec, tcp::socket socket) {
        if (stopping) return;
        if (ec) {
            // Out of descriptors, say: try again shortly rather than give up.
            retry.expires_after(std::chrono::milliseconds(50));
            retry.async_wait([this](beast::error_code) {
                if (!stopping) accept();
            });
            return;
        }
        admit(std::move(socket));
        accept();
    });
}

void HttpServer::Impl::admit(tcp::socket socket) {
    std::shared_ptr<HttpSession> session;
    {
        std::lock_guard guard(lock);
        sessions.remove_if([](const std::weak_ptr<HttpSession>& s) { return s.expired(); });
        if (sessions.size() >= limits.maxConnections) {
            // The connection that has waited longest for a request gives way.
            auto oldest = sessions.end();
            std::optional<Clock::time_point> since;
            for (auto it = sessions.begin(); it != sessions.end(); ++it) {
                const auto s = it->lock();
                const auto waiting = s ? s->waitingSince() : std::nullopt;
                if (waiting && (!since || *waiting < *since)) {
                    since = waiting;
                    oldest = it;
                }
            }
            if (oldest == sessions.end()) {
                beast::error_code ignored;
                socket.close(ignored);  // every one is being answered
                return;
            }
            if (auto s = oldest->lock()) s->close();
            sessions.erase(oldest);
        }
        session = std::make_shared<HttpSession>(std::move(socket), *this);
        sessions.push_back(session);
    }
    session->start();
}

HttpServer::HttpServer(iHttpHandler& handler, HttpLimits limits)
    : impl_(std::make_unique<Impl>(handler, limits)) {}

HttpServer::~HttpServer() { stop(); }

bool HttpServer::listen(const std::string& address, uint16_t port, std::string& error) {
    beast::error_code ec;
    const net::ip::address ip = net::ip::make_address(address, ec);
    if (ec) {
        error = "\"" + address + "\" is not an IP address";
        return false;
    }
    const tcp::endpoint endpoint(ip, port);
    tcp::acceptor& a = impl_->acceptor;
    a.open(endpoint.protocol(), ec);
    if (!ec && ip.is_v6() && ip.is_unspecified()) a.set_option(net::ip::v6_only(false), ec);
#ifndef _WIN32
    // A restart may bind while the last run's connections linger. (On
    // Windows this option would let two servers share the port.)
    if (!ec) a.set_option(net::socket_base::reuse_address(true), ec);
#endif
    if (!ec) a.bind(endpoint, ec);
    if (!ec) a.listen(net::socket_base::max_listen_connections, ec);
    if (ec) {
        error =
            "cannot listen on " + address + " port " + std::to_string(port) + ": " + ec.message();
        beast::error_code ignored;
        a.close(ignored);
        return false;
    }
    return true;
}

uint16_t HttpServer::port() const {
    beast::error_code ec;
    const tcp::endpoint at = impl_->acceptor.local_endpoint(ec);
    return ec ? 0 : at.port();
}

void HttpServer::start() {
    net::dispatch(impl_->acceptor.get_executor(), [this] { impl_->accept(); });
    for (int i = 0; i < impl_->limits.ioThreads; ++i)
        impl_->threads.emplace_back([this] { impl_->io.run(); });
}

void HttpServer::stop() {
    if (impl_->stopping.exchange(true)) return;
    net::post(impl_->acceptor.get_executor(), [this] {
        beast::error_code ignored;
        impl_->acceptor.close(ignored);
        impl_->retry.cancel();
    });
    {
        std::lock_guard guard(impl_->lock);
        for (const std::weak_ptr<HttpSession>& s : impl_->sessions)
            if (auto session = s.lock()) session->close();
    }
    // Handlers still waiting end first; their answers find closed sockets.
    impl_->waiting.join();
    impl_->io.stop();
    for (std::thread& t : impl_->threads) t.join();
    impl_->threads.clear();
}

size_t HttpServer::openConnections() const {
    std::lock_guard guard(impl_->lock);
    size_t n = 0;
    for (const std::weak_ptr<HttpSession>& s : impl_->sessions) n += s.expired() ? 0 : 1;
    return n;
}

}  // namespace zr8::alpaca
