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

    TransportError(Kind kind, const std::string &what) : std::runtime_error(what), m_kind(kind) {}

    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace pimlo
