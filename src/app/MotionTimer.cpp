#include "MotionTimer.h"

#include "app/PetController.h"

#include <QGuiApplication>
#include <QScreen>
#include <climits>
#include <cmath>

namespace pimlo {
namespace {

constexpr int tickInterval = 1000 / MotionTimer::ticksPerSecond;

} // namespace

MotionTimer::MotionTimer(PetController &controller, Clock clock)
    : m_controller(controller), m_clock(std::move(clock))
{
    // Precise: the default coarse timer lets a 33 ms interval drift by 5 %, visible as stutter.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MotionTimer::tick);

    // A resting pet learns of a changed screen from these, not from polling.
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        screenChanged();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &MotionTimer::screenChanged);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &MotionTimer::screenChanged);
    reschedule();
}

void MotionTimer::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &MotionTimer::screenChanged);
    connect(screen, &QScreen::availableGeometryChanged, this, &MotionTimer::screenChanged);
}

void MotionTimer::tick()
{
    m_controller.updateMotion();
    reschedule();
}

void MotionTimer::screenChanged()
{
    // A resting pet is clamped at once, a moving one on its next tick.
    if (m_sleeping || !m_timer.isActive()) {
        m_sleeping = false;
        m_timer.start(0);
    }
}

void MotionTimer::wake()
{
    if (m_sleeping || !m_timer.isActive()) {
        m_sleeping = false;
        m_timer.start(tickInterval);
    }
}

void MotionTimer::reschedule()
{
    const std::optional<double> until = m_controller.quietUntil();
    const double wait = until ? *until - m_clock() : 0;
    if (!(wait > 0)) {
        // Every tick counts; a timer already ticking keeps its cadence.
        if (m_sleeping || !m_timer.isActive() || m_timer.interval() != tickInterval)
            m_timer.start(tickInterval);
        m_sleeping = false;
        return;
    }
    m_sleeping = true;
    if (std::isinf(wait)) {
        m_timer.stop();
        return;
    }
    // Rounded up: a wake-up a hair early would only find the pet still quiet.
    const double ms = std::ceil(wait * 1000);
    m_timer.start(ms < INT_MAX ? int(ms) : INT_MAX);
}

bool MotionTimer::isSleeping() const
{
    return m_sleeping;
}

} // namespace pimlo
