#pragma once

#include "platform/Uptime.h"

#include <QObject>
#include <QTimer>

class QScreen;

namespace pimlo {

class PetController;

// Ticks the controller 30 times a second while anything moves, and sleeps while the pet rests:
// until shortly before the next thing is due, or until a screen changes. A resting pet then
// wakes the process no more often than its idle animation does.
class MotionTimer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MotionTimer)

public:
    static constexpr int ticksPerSecond = 30;

    // Starts at once; the controller must outlive the timer.
    MotionTimer(PetController &controller, Clock clock);

    // Call after the controller was told anything outside a tick: it may want ticks again.
    void reschedule();
    // Ticks once more a tick from now if it sleeps: something outside the controller changed.
    void wake();
    // Whether it is asleep: stopped, or waiting longer than a tick.
    bool isSleeping() const;

private:
    void tick();
    // A changed screen clamps the pet, which a resting pet's ticks would not notice.
    void screenChanged();
    void watch(QScreen *screen);

    PetController &m_controller;
    Clock m_clock;
    QTimer m_timer;
    bool m_sleeping = false;
};

} // namespace pimlo
