#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <optional>

namespace pimlo {

// What the pet shows at one moment, as the controller decided it; the stage makes the windows
// match it.
struct PetScene final
{
    enum class View
    {
        idle,
        walking,
        happy,
        sleep
    };

    View view = View::idle;
    // Seconds into the happy or sleep action on show.
    double actionTime = 0;
    // The walking view's facing (-1 left, +1 right) and gait clock.
    std::int64_t direction = -1;
    double stepTime = 0;
    // The pet window's origin, y-up points.
    Point origin;
    // The greeting bubble's origin, present exactly while the greeting shows.
    std::optional<Point> greeting;

    friend bool operator==(const PetScene &, const PetScene &) = default;
};

} // namespace pimlo
