#pragma once

#include <string>

namespace pimlo {

// One message of the conversation as sent on the wire.
struct APIMessage
{
    std::string role;    // "system", "user" or "assistant"
    std::string content; // sent exactly as given

    friend bool operator==(const APIMessage &, const APIMessage &) = default;
};

} // namespace pimlo
