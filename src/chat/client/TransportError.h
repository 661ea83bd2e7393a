#pragma once

#include <stdexcept>
#include <string>

namespace pimlo {

// A failure of the HTTP exchange itself (connect, TLS, timeout, cancellation); what() is
// libcurl's own text. Never a ChatFailure: the chat model shows its own sentence for these.
class TransportError final : public std::runtime_error
{
public:
    enum class Kind
    {
        Failed,    // connection, name resolution, TLS, protocol
        TimedOut,  // idle or total limit reached
        Cancelled, // the caller's CancelToken fired
    };

    TransportError(Kind kind, int curlCode, const std::string &what)
        : std::runtime_error(what), m_kind(kind), m_curlCode(curlCode)
    {
    }

    Kind kind() const { return m_kind; }
    // The libcurl result code (CURLcode), 0 when the failure did not come from libcurl.
    int curlCode() const { return m_curlCode; }

private:
    Kind m_kind;
    int m_curlCode;
};

} // namespace pimlo
