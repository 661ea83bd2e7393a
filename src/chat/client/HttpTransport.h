#pragma once

#include "chat/client/HttpRequest.h"

#include <chrono>
#include <cstddef>
#include <string>

namespace pimlo {

class CancelToken;

// Limits of one transfer. The product always uses the defaults; tests shorten them.
struct TransportLimits
{
    std::chrono::milliseconds idle{90'000};   // no byte moved for this long ends the call
    std::chrono::milliseconds total{120'000}; // the whole transfer must end within this
};

// What came back from the server.
struct HttpResponse
{
    enum class Outcome
    {
        Complete,     // a full HTTP response: status and body
        NotHttp,      // the peer answered something that is not HTTP
        BodyTooLarge, // the body passed the cap; status holds the code if it was seen, else 0
    };
    Outcome outcome = Outcome::Complete;
    long status = 0;
    std::string body;
};

// One POST over libcurl on a fresh connection: no reuse, no cookies, no redirects followed, TLS
// peer and host verification on, never re-sent, no proxy when request.direct. Throws TransportError
// for every failure of the exchange itself; the request's Authorization header never appears in an
// error text.
class HttpTransport final
{
public:
    HttpTransport() = delete;

    // Sends request and waits for the whole answer, at most maxBody bytes of body. The idle
    // limit is the shorter of request.idleTimeout and limits.idle.
    static HttpResponse post(const HttpRequest &request, std::size_t maxBody,
                             CancelToken *cancel = nullptr, const TransportLimits &limits = {});
};

} // namespace pimlo
