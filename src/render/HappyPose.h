#pragma once

namespace pimlo {

// The happy jump for a time since it started: a short squash in anticipation, a jump with hearts
// rising beside the figure, and a landing squash.
struct HappyPose final
{
    // Length of the happy action in seconds.
    static constexpr double duration = 1.6;

    // Any time is accepted; negative and NaN times count as 0, times past the end hold the rest.
    explicit HappyPose(double time);

    double lift = 0;   // points the figure is raised above its resting position
    double hearts = 0; // opacity of the hearts, 0…1
    double squash = 1; // vertical scale of the figure, anchored at its bottom
};

} // namespace pimlo
