#pragma once

#include "app/PetScene.h"
#include "pet/WalkMotion.h"
#include "platform/Geometry.h"
#include "platform/Uptime.h"

#include <QtGlobal>
#include <functional>
#include <optional>

namespace pimlo {

// Decides what the pet does and shows: on every tick of the motion timer, on presses, clicks and
// drags, while a menu is open and when a command arrives. It reads the time and the screen only
// through the seams it is given and writes only its PetScene, so it runs without any window.
class PetController final
{
    Q_DISABLE_COPY_MOVE(PetController)

public:
    static constexpr double maxGaitStep = 0.1;
    static constexpr double launchNapDelay = 1.0;
    static constexpr double greetingDuration = 3.0;
    static constexpr Size greetingSize{110, 46};
    // The bubble's bottom edge reaches this far down over the top of the pet window.
    static constexpr double greetingOverlap = 6;
    // A tray host shows the tray menu itself and may never report that it closed (xfce4-panel
    // does not): without a menu of ours on screen the pause ends after this many seconds, long
    // enough to read five items, short enough that a dismissed menu costs the pet little.
    static constexpr double hostMenuPauseLimit = 10;

    struct Seams
    {
        Clock clock = uptimeSeconds;
        // The visible frame of the screen the pet is on; empty when there is no screen.
        std::function<std::optional<Rect>()> visibleFrame;
        // While the chat window is open the pet stands still and plays nothing.
        std::function<bool()> isChatOpen = [] { return false; };
        // Whether a menu of ours is on screen, which holds the pause for as long as it is.
        std::function<bool()> isMenuShown = [] { return false; };
        // Told the scene after every change of it.
        std::function<void(const PetScene &)> present = [](const PetScene &) {};
    };

    // A pet resting at home, shown standing there.
    PetController(Point home, Seams seams);

    // The pet dozes off once, launchNapDelay from now, unless it is held or a menu is open then.
    void scheduleLaunchNap();

    // One tick of the motion timer.
    void updateMotion();
    // Ends any happy or sleep animation; the pet rests where it stands.
    void finishAction(double now);
    void playHappy();
    void playSleep();

    // The pet window's requests: a left press, the requested origin during a drag, the release.
    void pressBegan();
    void dragMoved(Point origin, const Rect &visibleFrame);
    void pressEnded(bool moved);

    // An open menu freezes every clock of the pet; closing it moves them by the pause, and so
    // does hostMenuPauseLimit passing without a menu of ours on screen.
    void menuWillOpen();
    void menuDidClose();

    // "你好呀" above the pet for greetingDuration; a sleeping or happy pet stops first.
    void showGreeting();
    // Centred over the pet, overlapping its top, kept inside the visible frame.
    static Point greetingOrigin(const Rect &petFrame, const Rect &visibleFrame);

    // How far ahead of the next thing due the ticks resume, so the tick that starts it follows
    // one of regular length, as if they had never paused: a trip's first step and gait stay alike.
    static constexpr double wakeLead = 0.1;
    // Until when ticks change nothing while the pet rests, a menu is open or the chat window is:
    // wakeLead before the departure, the launch nap or the greeting's end (infinity when nothing
    // is due). A changed screen is the caller's to notice. Empty while every tick counts: the pet
    // walks, plays or is held.
    std::optional<double> quietUntil() const;

    const PetScene &scene() const { return m_scene; }
    const WalkMotion &motion() const { return m_motion; }
    std::optional<double> sleepStarted() const { return m_sleepStarted; }
    std::optional<double> happyStarted() const { return m_happyStarted; }
    std::optional<double> menuPauseStarted() const { return m_menuPauseStarted; }
    std::optional<double> greetingDeadline() const { return m_greetingDeadline; }
    double walkingTime() const { return m_walkingTime; }

private:
    void tick(double now);
    void advanceAction(double started, double duration, double now);
    void walk(double now, const Rect &visibleFrame);
    void finish(double now);
    void play(PetScene::View view, double now);
    bool canPlay() const;
    void positionGreeting(const std::optional<Rect> &visibleFrame);
    void logMovement() const;
    void present();
    double now() const { return m_seams.clock(); }

    Seams m_seams;
    WalkMotion m_motion;
    std::optional<WalkMotion> m_motionBeforePress;
    std::optional<double> m_sleepStarted;
    std::optional<double> m_happyStarted;
    bool m_wasSleepingOnPress = false;
    double m_walkingTime = 0;
    double m_previousTick = 0;
    std::optional<double> m_menuPauseStarted;
    std::optional<double> m_greetingDeadline;
    std::optional<double> m_launchNap;
    PetScene m_scene;
    PetScene m_presented;
};

} // namespace pimlo
