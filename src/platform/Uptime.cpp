#include "Uptime.h"

#include <chrono>

namespace pimlo {

double uptimeSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace pimlo
