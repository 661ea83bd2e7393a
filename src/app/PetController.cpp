#include "PetController.h"

#include "platform/Log.h"
#include "render/HappyPose.h"
#include "render/SleepPose.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace pimlo {

using View = PetScene::View;

PetController::PetController(Point home, Seams seams)
    : m_seams(std::move(seams)), m_motion(home, now())
{
    m_previousTick = m_motion.lastTime();
    m_scene.origin = home;
    m_presented = m_scene;
}

void PetController::scheduleLaunchNap()
{
    m_launchNap = now() + launchNapDelay;
}

void PetController::updateMotion()
{
    const double t = now();
    // The nap is decided at its moment even while a menu is open: then it is skipped for good.
    if (m_launchNap && t >= *m_launchNap) {
        m_launchNap.reset();
        if (!m_menuPauseStarted)
            play(View::sleep, t);
    }
    if (m_menuPauseStarted && t - *m_menuPauseStarted >= hostMenuPauseLimit &&
        !m_seams.isMenuShown())
        menuDidClose();
    if (m_menuPauseStarted)
        return;
    tick(t);
    // The bubble rides on the pet window, so it follows a move made in this very tick.
    if (m_greetingDeadline)
        positionGreeting(m_seams.visibleFrame());
    present();
}

void PetController::tick(double t)
{
    if (m_greetingDeadline && *m_greetingDeadline <= t) {
        m_greetingDeadline.reset();
        m_scene.greeting.reset();
    }
    if (m_motion.isDragging)
        return;
    const std::optional<Rect> frame = m_seams.visibleFrame();
    if (!frame)
        return;
    if (m_sleepStarted)
        return advanceAction(*m_sleepStarted, SleepPose::duration, t);
    if (m_happyStarted)
        return advanceAction(*m_happyStarted, HappyPose::duration, t);
    if (m_seams.isChatOpen()) {
        m_previousTick = t;
        return;
    }
    walk(t, *frame);
}

// A running action owns the pet until it has played for its whole length.
void PetController::advanceAction(double started, double duration, double t)
{
    const double elapsed = t - started;
    if (elapsed >= duration)
        return finish(t);
    m_scene.actionTime = elapsed;
    m_previousTick = t;
}

void PetController::walk(double t, const Rect &visibleFrame)
{
    const WalkMotion::Phase oldPhase = m_motion.phase;
    m_motion.tick(t, visibleFrame);
    if (m_motion.phase == WalkMotion::Phase::idle) {
        m_scene.view = View::idle;
    } else {
        // Every trip starts its gait from zero; the turn does not.
        if (oldPhase == WalkMotion::Phase::idle)
            m_walkingTime = 0;
        const double dt = t - m_previousTick;
        m_walkingTime += dt >= 0 ? std::min(dt, maxGaitStep) : 0;
        m_scene.view = View::walking;
        m_scene.direction = m_motion.direction;
        m_scene.stepTime = m_walkingTime;
    }
    m_scene.origin = m_motion.position;
    if (m_motion.phase != oldPhase)
        logMovement();
    m_previousTick = t;
}

void PetController::logMovement() const
{
    const std::string_view phase = rawValue(m_motion.phase);
    char line[160];
    std::snprintf(line, sizeof line, "Pimlo movement: %.*s x=%.1f home=%.1f direction=%lld",
                  int(phase.size()), phase.data(), m_motion.position.x, m_motion.home.x,
                  static_cast<long long>(m_motion.direction));
    logLine(line);
}

void PetController::finishAction(double t)
{
    finish(t);
    present();
}

void PetController::finish(double t)
{
    m_happyStarted.reset();
    m_sleepStarted.reset();
    m_motion.finishAction(t);
    m_scene.view = View::idle;
    m_previousTick = t;
}

void PetController::playHappy()
{
    play(View::happy, now());
    present();
}

void PetController::playSleep()
{
    play(View::sleep, now());
    present();
}

bool PetController::canPlay() const
{
    return !m_motion.isDragging && !m_seams.isChatOpen();
}

// The motion is left alone: a walk is suspended while the action plays and abandoned after it.
void PetController::play(View view, double t)
{
    if (!canPlay())
        return;
    const bool happy = view == View::happy;
    (happy ? m_sleepStarted : m_happyStarted).reset();
    (happy ? m_happyStarted : m_sleepStarted) = t;
    m_scene.view = view;
    m_scene.actionTime = 0;
}

void PetController::pressBegan()
{
    m_wasSleepingOnPress = m_sleepStarted.has_value();
    m_sleepStarted.reset();
    m_happyStarted.reset();
    m_motionBeforePress = m_motion;
    m_motion.beginDrag(now());
    m_scene.view = View::idle;
    m_walkingTime = 0;
    present();
}

void PetController::dragMoved(Point origin, const Rect &visibleFrame)
{
    m_motion.drag(origin, visibleFrame);
    m_scene.origin = m_motion.position;
    // The window lands on the screen under the pointer, whose frame this is.
    if (m_greetingDeadline)
        positionGreeting(visibleFrame);
    present();
}

void PetController::pressEnded(bool moved)
{
    const double t = now();
    if (moved) {
        m_motion.endDrag(t);
    } else {
        // A click leaves the walk exactly as it was before the press.
        if (m_motionBeforePress)
            m_motion = *m_motionBeforePress;
        if (m_wasSleepingOnPress)
            finish(t);
        else
            play(View::happy, t);
    }
    m_wasSleepingOnPress = false;
    m_motionBeforePress.reset();
    m_previousTick = t;
    present();
}

void PetController::menuWillOpen()
{
    if (!m_menuPauseStarted)
        m_menuPauseStarted = now();
}

void PetController::menuDidClose()
{
    if (!m_menuPauseStarted)
        return;
    const double t = now();
    const double pause = t - *m_menuPauseStarted;
    m_motion.shiftClock(pause);
    for (std::optional<double> *time : {&m_happyStarted, &m_sleepStarted, &m_greetingDeadline}) {
        if (*time)
            **time += pause;
    }
    m_previousTick = t;
    m_menuPauseStarted.reset();
}

void PetController::showGreeting()
{
    const double t = now();
    finish(t);
    m_greetingDeadline = t + greetingDuration;
    positionGreeting(m_seams.visibleFrame());
    present();
}

Point PetController::greetingOrigin(const Rect &f, const Rect &vf)
{
    const double midX = f.minX() + f.size.width / 2;
    return {
        std::min(std::max(vf.minX(), midX - greetingSize.width / 2),
                 vf.maxX() - greetingSize.width),
        std::min(std::max(vf.minY(), f.maxY() - greetingOverlap), vf.maxY() - greetingSize.height)};
}

std::optional<double> PetController::quietUntil() const
{
    // What a tick does in each mode, in the order updateMotion and tick look at them.
    double due = m_launchNap.value_or(std::numeric_limits<double>::infinity());
    if (m_menuPauseStarted && !m_seams.isMenuShown())
        due = std::min(due, *m_menuPauseStarted + hostMenuPauseLimit);
    if (!m_menuPauseStarted) {
        if (m_motion.isDragging || m_sleepStarted || m_happyStarted)
            return std::nullopt;
        if (m_greetingDeadline)
            due = std::min(due, *m_greetingDeadline);
        if (!m_seams.isChatOpen()) {
            if (m_motion.phase != WalkMotion::Phase::idle)
                return std::nullopt;
            due = std::min(due, m_motion.nextDeparture());
        }
    }
    return due - wakeLead;
}

void PetController::positionGreeting(const std::optional<Rect> &visibleFrame)
{
    if (visibleFrame)
        m_scene.greeting = greetingOrigin(
            Rect{m_scene.origin, {PetScene::petSize, PetScene::petSize}}, *visibleFrame);
}

void PetController::present()
{
    if (m_scene == m_presented)
        return;
    m_presented = m_scene;
    m_seams.present(m_scene);
}

} // namespace pimlo
