// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alpaca/alpaca_reply.h"

namespace zr8::alpaca {

HttpReply envelope(const nlohmann::json* value, const Outcome& outcome, uint32_t clientTransaction,
                   uint32_t serverTransaction) {
    nlohmann::json body = nlohmann::json::object();
    if (value) body["Value"] = *value;
    body["ClientTransactionID"] = clientTransaction;
    body["ServerTransactionID"] = serverTransaction;
    body["ErrorNumber"] = outcome.error;
    // Never empty when there is an error, always empty when there is none.
    body["ErrorMessage"] = outcome.ok()              ? std::string()
                           : outcome.message.empty() ? std::string("Error")
                                                     : outcome.message;
    HttpReply reply;
    // Invalid UTF-8 from a client's echoed text must not stop the reply.
    reply.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return reply;
}

HttpReply textReply(int status, std::string text) {
    HttpReply reply;
    reply.status = status;
    reply.contentType = "text/plain; charset=utf-8";
    reply.body = std::move(text);
    if (!reply.body.empty() && reply.body.back() != '\n') reply.body += '\n';
    return reply;
}

}  // namespace zr8::alpaca
