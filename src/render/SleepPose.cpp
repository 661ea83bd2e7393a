#include "SleepPose.h"

#include <algorithm>

namespace pimlo {

namespace {

double clamp01(double x)
{
    return std::min(std::max(x, 0.0), 1.0);
}

double smoothstep(double x)
{
    return x * x * (3 - 2 * x);
}

} // namespace

SleepPose::SleepPose(double time)
{
    // `!(time >= 0)` also catches NaN.
    const double t = !(time >= 0) ? 0.0 : time;
    eyelids = smoothstep(clamp01(t / 0.9)) * (1 - smoothstep(clamp01((t - 4.9) * 2)));
    blend = smoothstep(clamp01((t - 1.2) / 0.55)) * (1 - smoothstep(clamp01((t - 4.8) / 0.6)));
    resting = t >= settlingDuration && t < 4.8;
}

} // namespace pimlo
