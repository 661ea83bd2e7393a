#pragma once

#include <stdexcept>
#include <string>

namespace pimlo {

// A failure meant for the user: what() is a finished Chinese sentence, shown unchanged.
class ChatFailure final : public std::runtime_error
{
public:
    explicit ChatFailure(const std::string &sentence) : std::runtime_error(sentence) {}

    // The sentence for the user (same text as what()).
    std::string message() const { return what(); }
};

} // namespace pimlo
