// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTTP/1.1 server under the Alpaca API, on Boost.Beast. It is built so
// that no client can keep another from being served:
// - requests are read and answered asynchronously by a few I/O threads;
//   handlers that wait (on the mount, the disk) run on threads of their own;
// - a request must arrive whole within a time limit, headers and body have
//   size limits (a larger body is answered 413 and the connection closed);
// - at most maxConnections are open; when a new one comes beyond that, the
//   connection that has waited longest for its next request is closed.
//
// Threads: listen() and start() on the owner's thread, then stop() there;
// the handler is called on the server's threads, several at once.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "ui/alpaca/alpaca_reply.h"

namespace zr8::alpaca {

struct HttpLimits {
    size_t maxConnections = 256;
    uint64_t bodyBytes = 64 * 1024;
    uint32_t headerBytes = 8 * 1024;
    std::chrono::milliseconds requestTime{20000};  // from the wait for it to its last byte
    std::chrono::milliseconds writeTime{10000};
    int ioThreads = 2;
    int waitingThreads = 2;
};

class HttpServer {
public:
    explicit HttpServer(iHttpHandler& handler, HttpLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // An IP address ("127.0.0.1", "0.0.0.0", "::"); port 0 lets the system
    // choose. False, with the reason, when it cannot listen there.
    bool listen(const std::string& address, uint16_t port, std::string& error);
    uint16_t port() const;

    void start();
    // Closes every connection and ends the threads. Handlers still waiting
    // must have been released (the device's shutdown) first.
    void stop();

    size_t openConnections() const;

    struct Impl;  // the sockets, hidden so that only one file compiles Beast

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace zr8::alpaca
