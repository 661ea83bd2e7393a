#pragma once

namespace pimlo {

// The sleep action for a time since it started: the standing figure closes its eyes, cross-fades
// into the sleeping figure, rests, cross-fades back and opens its eyes.
struct SleepPose final
{
    // From this time on the figure lies fully asleep (until 4.8 s).
    static constexpr double settlingDuration = 1.75;
    // Length of the sleep action in seconds.
    static constexpr double duration = 5.4;

    // Any time is accepted; negative and NaN times count as 0.
    explicit SleepPose(double time);

    double eyelids = 0;   // closure of the standing figure's eyes: 0 open, 1 closed
    double blend = 0;     // weight of the sleeping image: 0 standing only, 1 sleeping only
    bool resting = false; // fully asleep
};

} // namespace pimlo
