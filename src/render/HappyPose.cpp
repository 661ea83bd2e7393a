#include "HappyPose.h"

#include <cmath>
#include <numbers>

namespace pimlo {

HappyPose::HappyPose(double time)
{
    // `!(time >= 0)` also catches NaN.
    const double t = !(time >= 0) ? 0.0 : time;
    if (t < 0.2) {
        squash = 1 - 0.035 * std::sin(std::numbers::pi * t / 0.2);
    } else if (t < 1.2) {
        const double u = t - 0.2;
        lift = 56 * u * (1 - u);
        // std::fmin returns the other operand when one is NaN.
        hearts = std::fmin((1 - u) / 0.15, 1.0) * std::fmin(u / 0.13, 1.0);
    } else {
        const double v = std::fmin((t - 1.2) / 0.4, 1.0);
        squash = 1 - 0.035 * std::sin(std::numbers::pi * v);
    }
}

} // namespace pimlo
