// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an Alpaca server answers: HTTP 200 with the JSON envelope for every
// ASCOM outcome, 400 with a plain text for a request it cannot read, 500
// only when it failed itself.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace zr8::alpaca {

enum AlpacaError : int32_t {
    ErrorNone = 0,
    ErrorNotImplemented = 0x400,
    ErrorInvalidValue = 0x401,
    ErrorValueNotSet = 0x402,
    ErrorNotConnected = 0x407,
    ErrorInvalidOperation = 0x40B,
    ErrorActionNotImplemented = 0x40C,
    ErrorOperationCancelled = 0x40E,
    ErrorUnspecified = 0x4FF,
};

// An ASCOM outcome: no error, or a number with its message (never empty).
struct Outcome {
    int32_t error = ErrorNone;
    std::string message;

    bool ok() const { return error == ErrorNone; }
    static Outcome failure(int32_t error, std::string message) {
        return {error, std::move(message)};
    }
};

struct HttpReply {
    int status = 200;
    std::string contentType = "application/json; charset=utf-8";
    std::string body;
    std::string allow;     // for 405: the methods the path takes
    std::string location;  // for redirects
};

struct HttpRequest {
    std::string method;  // "GET", "PUT", ...
    std::string target;  // path and query, as sent
    std::string host;    // the Host header
    std::string body;
};

// What answers requests; called on the server's threads, several at once.
class iHttpHandler {
public:
    virtual HttpReply handle(const HttpRequest& request) = 0;
    // True for requests that wait on the mount or the disk: they are served
    // where they hold up no other request.
    virtual bool waits(const HttpRequest& request) const = 0;

protected:
    ~iHttpHandler() = default;
};

// The envelope: Value when `value` is given (kept in error replies to
// GETs), the two transaction numbers, ErrorNumber and ErrorMessage.
HttpReply envelope(const nlohmann::json* value, const Outcome& outcome, uint32_t clientTransaction,
                   uint32_t serverTransaction);
HttpReply textReply(int status, std::string text);

}  // namespace zr8::alpaca
