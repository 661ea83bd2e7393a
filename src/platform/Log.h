#pragma once

#include <string_view>

namespace pimlo {

// Writes one diagnostic line to stderr, exactly as given, followed by a line feed.
void logLine(std::string_view line);

} // namespace pimlo
