#include "pet/WalkMotion.h"

#include <algorithm>
#include <cmath>

namespace pimlo {

namespace {

constexpr double arrivalTolerance = 0.001;
// Caps the walk per tick, so a stalled clock does not make the pet jump.
constexpr double maxTimeStep = 0.1;
// A preferred side with less room than this is given up for the other side.
constexpr double minPreferredRoom = 24.0;
constexpr double minRoom = 1.0;

// fmax/fmin treat a NaN operand as missing, so a NaN coordinate lands on the lower edge.
double clampAxis(double v, double minEdge, double maxEdge)
{
    const double upper = std::fmax(minEdge, maxEdge - petSize);
    return std::fmin(std::fmax(v, minEdge), upper);
}

bool isFinite(const Rect &r)
{
    return std::isfinite(r.minX()) && std::isfinite(r.maxX()) && std::isfinite(r.minY()) &&
           std::isfinite(r.maxY());
}

} // namespace

WalkMotion::WalkMotion(Point home, double now)
    : home(home), position(home), m_lastTime(std::isfinite(now) ? now : 0)
{
    m_nextDeparture = m_lastTime + restDuration;
}

Point WalkMotion::clamped(Point p, const Rect &to)
{
    return {clampAxis(p.x, to.minX(), to.maxX()), clampAxis(p.y, to.minY(), to.maxY())};
}

void WalkMotion::tick(double now, const Rect &visibleFrame)
{
    // A broken clock or screen reading would end up in every field; treat it as a missed tick.
    if (!std::isfinite(now) || !isFinite(visibleFrame))
        return;
    if (isDragging) {
        m_lastTime = now;
        return;
    }
    const double prev = m_lastTime;
    m_lastTime = now;

    const double minX = visibleFrame.minX();
    const double maxX = visibleFrame.maxX();
    home = clamped(home, visibleFrame);
    position.x = clampAxis(position.x, minX, maxX);
    position.y = home.y;
    destinationX = clampAxis(destinationX, minX, maxX);

    if (phase == Phase::idle) {
        if (m_nextDeparture > now)
            return;
        if (std::fabs(position.x - home.x) > arrivalTolerance)
            phase = Phase::returning; // stopped mid-trip by an action
        else if (!startTrip(now, minX, std::fmax(minX, maxX - petSize)))
            return;
    }
    move(now - prev, now);
}

bool WalkMotion::startTrip(double now, double minX, double upperX)
{
    const double leftRoom = home.x - minX;
    const double rightRoom = upperX - home.x;
    std::int64_t side = m_preferredDirection;
    double room = side < 0 ? leftRoom : rightRoom;
    if (room < minPreferredRoom) {
        side = -side;
        room = side < 0 ? leftRoom : rightRoom;
    }
    if (!(room >= minRoom)) {
        // The preferred side stays, so the next attempt starts from the same side.
        m_nextDeparture = now + restDuration;
        return false;
    }
    direction = side;
    // home.x ± room can round a hair past the edge; the pet must not.
    destinationX =
        std::clamp(home.x + std::min(room, maxDistance) * static_cast<double>(side), minX, upperX);
    m_preferredDirection = -side; // trips alternate sides
    phase = Phase::outward;
    return true;
}

void WalkMotion::move(double dt, double now)
{
    const bool outward = phase == Phase::outward;
    const double target = outward ? destinationX : home.x;
    const double delta = target - position.x;
    if (std::fabs(delta) > arrivalTolerance)
        direction = delta < 0 ? -1 : 1;
    const double step = dt >= 0 ? std::min(dt, maxTimeStep) * speed : 0;
    if (std::fabs(delta) > step) {
        position.x += delta < 0 ? -step : step;
        return;
    }
    position.x = target;
    if (outward) {
        phase = Phase::returning;
        direction = home.x < destinationX ? -1 : 1; // turn to face home
        return;
    }
    phase = Phase::idle;
    position = home;
    m_nextDeparture = now + restDuration;
}

void WalkMotion::beginDrag(double now)
{
    phase = Phase::idle;
    isDragging = true;
    m_lastTime = knownTime(now);
}

void WalkMotion::drag(Point to, const Rect &visibleFrame)
{
    if (!isDragging || std::isnan(to.x) || std::isnan(to.y) || !isFinite(visibleFrame))
        return;
    position = clamped(to, visibleFrame);
}

void WalkMotion::endDrag(double now)
{
    if (!isDragging)
        return;
    now = knownTime(now);
    home = position;
    destinationX = position.x;
    phase = Phase::idle;
    isDragging = false;
    m_nextDeparture = now + restDuration;
    m_lastTime = now;
}

void WalkMotion::shiftClock(double by)
{
    if (!(by > 0))
        return;
    // An endless pause would stop the pet for good.
    const double nextDeparture = m_nextDeparture + by;
    const double lastTime = m_lastTime + by;
    if (!std::isfinite(nextDeparture) || !std::isfinite(lastTime))
        return;
    m_nextDeparture = nextDeparture;
    m_lastTime = lastTime;
}

void WalkMotion::finishAction(double now)
{
    now = knownTime(now);
    phase = Phase::idle;
    m_nextDeparture = now + restDuration;
    m_lastTime = now;
}

double WalkMotion::knownTime(double now) const
{
    return std::isfinite(now) ? now : m_lastTime;
}

std::string_view rawValue(WalkMotion::Phase phase)
{
    switch (phase) {
    case WalkMotion::Phase::idle:
        return "idle";
    case WalkMotion::Phase::outward:
        return "outward";
    case WalkMotion::Phase::returning:
        return "returning";
    }
    return "idle";
}

} // namespace pimlo
