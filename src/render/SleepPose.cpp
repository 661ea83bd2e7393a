#include "SleepPose.h"

#include <algorithm>

namespace pimlo {

namespace {

// 0 up to 0, 1 from 1, and an S-curve between.
double smoothstep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

} // namespace

SleepPose::SleepPose(double time)
{
    // `!(time >= 0)` also catches NaN.
    const double t = !(time >= 0) ? 0.0 : time;
    eyelids = smoothstep(t / 0.9) * (1 - smoothstep((t - 4.9) * 2));
    blend = smoothstep((t - 1.2) / 0.55) * (1 - smoothstep((t - 4.8) / 0.6));
    resting = t >= settlingDuration && t < 4.8;
}

} // namespace pimlo
