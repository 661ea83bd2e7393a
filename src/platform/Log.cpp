#include "Log.h"

#include <cstdio>
#include <string>

namespace pimlo {

void logLine(std::string_view line)
{
    // One write per line so lines from different threads never interleave.
    std::string text(line);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace pimlo
