#pragma once

#include <functional>

namespace pimlo {

// Seconds on the monotonic uptime clock; the time base of every animation and timer of the app.
double uptimeSeconds();

// Owners that read "now" take one of these so tests can drive time.
using Clock = std::function<double()>;

} // namespace pimlo
