#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <string_view>

namespace pimlo {

// The pet's walking cycle as a plain value: rest at home, walk out up to maxDistance to one side,
// walk back, rest again. The owner feeds it the time and the screen's visible frame and copies
// `position` into the window's origin. Positions are window origins in y-up points.
//
// A time or a frame that is not finite is never stored: a tick with one is skipped, and the
// other operations take such a time as the last known one.
class WalkMotion final
{
public:
    enum class Phase
    {
        idle,
        outward,
        returning
    };

    static constexpr double restDuration = 20.0;
    static constexpr double speed = 38.0;
    static constexpr double maxDistance = 160.0;

    // Equal to WalkMotion({0, 0}, 0).
    WalkMotion() = default;
    // Resting at home, leaving restDuration after now.
    WalkMotion(Point home, double now);

    // Keeps a pet window at origin p inside the frame; pinned to the left or bottom edge when the
    // frame is narrower or lower than the pet. A NaN coordinate lands on that edge too.
    static Point clamped(Point p, const Rect &to);

    // Advances the cycle to now.
    void tick(double now, const Rect &visibleFrame);
    // Stops the cycle while the pointer holds the pet.
    void beginDrag(double now);
    // Moves the held pet to the clamped point; ignored unless dragging.
    void drag(Point to, const Rect &visibleFrame);
    // The drop point becomes home and a new rest starts; ignored unless dragging.
    void endDrag(double now);
    // Moves the internal clock forward over a pause; negative or non-finite pauses count as 0.
    void shiftClock(double by);
    // Stops where the pet stands and rests; it walks home afterwards if away from it.
    void finishAction(double now);

    std::int64_t preferredDirection() const { return m_preferredDirection; }
    double nextDeparture() const { return m_nextDeparture; }
    double lastTime() const { return m_lastTime; }

    friend bool operator==(const WalkMotion &, const WalkMotion &) = default;

    Phase phase = Phase::idle;
    bool isDragging = false;
    Point home;
    Point position;
    double destinationX = 0;
    // -1 left, +1 right; the way the pet walks and faces.
    std::int64_t direction = -1;

private:
    bool startTrip(double now, double minX, double upperX);
    void move(double dt, double now);
    double knownTime(double now) const;

    std::int64_t m_preferredDirection = -1;
    double m_nextDeparture = restDuration;
    double m_lastTime = 0;
};

// "idle", "outward", "returning".
std::string_view rawValue(WalkMotion::Phase phase);

} // namespace pimlo
