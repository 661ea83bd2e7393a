#pragma once

#include "app/MainMenu.h"
#include "pet/PetWindow.h"
#include "pet/WalkMotion.h"
#include "platform/Geometry.h"
#include "platform/ScreenGeometry.h"
#include "platform/Uptime.h"
#include "render/HappyPetView.h"
#include "render/IdlePetView.h"
#include "render/PoseImages.h"
#include "render/SleepPetView.h"
#include "render/WalkingPetView.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

namespace pimlo {

// What the app takes from its surroundings; tests replace the parts they drive.
struct AppEnvironment
{
    PoseImageLoader loadImage = PoseImages::load;
    Clock clock = uptimeSeconds;
    // The visible frame of a screen (y up); tests give the pet a screen of their choosing.
    std::function<Rect(const QScreen &screen)> visibleFrame = ScreenGeometry::visibleFrame;
};

// Owns everything the pet consists of: launches it, decides on every tick of the motion timer
// what the pet shows, reacts to presses, clicks and drags, and tears it all down.
class AppDelegate final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppDelegate)

public:
    static constexpr double petSize = 200.0;
    static constexpr double maxGaitStep = 0.1;
    static constexpr int launchSleepDelayMs = 1000;

    explicit AppDelegate(AppEnvironment environment = {});
    ~AppDelegate() override;

    // Builds the pet and puts it on screen. False when an image or the screen is missing: the
    // caller then terminates (applicationWillTerminate) and exits with a failure status.
    bool applicationDidFinishLaunching();
    // Tears down what launch made, skipping what it never made. Safe to call twice.
    void applicationWillTerminate();
    // Ends the app through the event loop, which then runs applicationWillTerminate.
    void quit();

    // Where the pet starts: 40 points from the right edge of the visible frame (the window is
    // 200 wide) and 40 points above its bottom.
    static Point startOrigin(const Rect &visibleFrame);

    // One tick of the motion timer: what the pet shows now, and where.
    void updateMotion();
    // Ends any happy or sleep animation; the pet rests where it stands.
    void finishAction(double now);
    void playHappy();
    void playSleep();

    PetWindow *window() const { return m_window.get(); }
    IdlePetView *idleView() const { return m_idleView; }
    WalkingPetView *walkingView() const { return m_walkingView; }
    HappyPetView *happyView() const { return m_happyView; }
    SleepPetView *sleepView() const { return m_sleepView; }
    MainMenu *mainMenu() const { return m_mainMenu.get(); }
    const std::optional<WalkMotion> &motion() const { return m_motion; }
    std::optional<double> sleepStarted() const { return m_sleepStarted; }
    std::optional<double> happyStarted() const { return m_happyStarted; }
    double walkingTime() const { return m_walkingTime; }
    const QTimer *movementTimer() const { return m_movementTimer.get(); }

private:
    bool createActionViews();
    void startMotion();
    void onPressBegan();
    void onDragMoved(Point origin, const Rect &visibleFrame);
    void onPressEnded(bool moved);
    // An animation may start unless the pet is held or the chat window freezes it.
    bool canPlay() const;
    void play(std::optional<double> &started, std::optional<double> &other, double &viewTime,
              QWidget *view);
    std::optional<Rect> currentVisibleFrame() const;
    void show(QWidget *view);
    void logMovement() const;
    // The chat window arrives with the chat issue; until then it is never open.
    bool isChatOpen() const { return false; }
    double now() const { return m_environment.clock(); }

    AppEnvironment m_environment;
    std::unique_ptr<MainMenu> m_mainMenu;
    std::unique_ptr<PetWindow> m_window;
    // The four views are children of the window, which owns them.
    IdlePetView *m_idleView = nullptr;
    WalkingPetView *m_walkingView = nullptr;
    HappyPetView *m_happyView = nullptr;
    SleepPetView *m_sleepView = nullptr;
    std::optional<double> m_sleepStarted;
    bool m_wasSleepingOnPress = false;
    std::optional<double> m_happyStarted;
    std::optional<WalkMotion> m_motionBeforePress;
    std::optional<WalkMotion> m_motion;
    std::unique_ptr<QTimer> m_movementTimer;
    double m_walkingTime = 0;
    double m_previousTick = 0;
    // When the open action menu opened; menus arrive with the menu issue.
    std::optional<double> m_menuPauseStarted;
    // When the greeting bubble disappears; the bubble arrives with the greeting issue.
    std::optional<double> m_greetingDeadline;
    bool m_terminated = false;
};

} // namespace pimlo
