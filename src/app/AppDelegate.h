#pragma once

#include "app/Chat.h"
#include "app/MainMenu.h"
#include "app/MotionTimer.h"
#include "app/PetController.h"
#include "app/PetStage.h"
#include "app/TrayIcon.h"
#include "platform/Geometry.h"
#include "platform/ScreenGeometry.h"
#include "platform/Uptime.h"
#include "render/PoseImages.h"

#include <QMenu>
#include <QObject>
#include <QStringList>
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

// Launches the pet, wires its pieces together and tears them down in order: the stage (window,
// views and greeting bubble), the controller that decides what they show, the motion timer, the
// two action menus, the tray icon and the chat window.
class AppDelegate final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppDelegate)

public:
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

    // A new menu of the pet's commands; while it is open the pet's clocks stand still.
    std::unique_ptr<QMenu> makeActionMenu();
    // Opens the chat window, the same one with the same conversation every time; the pet stops
    // what it is doing and stands still until the window closes. The first request loads the
    // chat module; without it the pet goes on and a message box says the chat is missing.
    void showChat();
    // Whether the launch arguments (after the program name) ask for the chat window.
    static bool wantsChatAtLaunch(const QStringList &arguments);

    PetStage *stage() const { return m_stage.get(); }
    PetController *controller() const { return m_controller.get(); }
    MainMenu *mainMenu() const { return m_mainMenu.get(); }
    const MotionTimer *movementTimer() const { return m_movementTimer.get(); }
    QMenu *petMenu() const { return m_petMenu.get(); }
    QMenu *trayMenu() const { return m_trayMenu.get(); }
    TrayIcon *trayIcon() const { return m_trayIcon.get(); }
    Chat *chat() const { return m_chat.get(); }

private:
    void startMotion(Point home);
    std::optional<Rect> currentVisibleFrame() const;
    // Runs a menu command once the menu has closed, on the event loop; dropped if the delegate is
    // gone by then.
    void defer(std::function<void()> command);
    // Tells the controller something outside its tick; the motion timer wakes if that started
    // anything that moves.
    void decide(const std::function<void(PetController &)> &event);
    // Loads the chat module the first time; false, with one log line, when it cannot.
    bool loadChatModule();
    // Ends what the pet plays; it rests where it stands.
    void finishAction();

    AppEnvironment m_environment;
    // Made on the first chat request, kept to the end, and destroyed last.
    std::unique_ptr<Chat> m_chat;
    // Loaded when "聊天" is first highlighted or chosen, so choosing it does not wait for the
    // libraries; why it could not be, once it could not.
    ChatFactory *m_chatFactory = nullptr;
    QString m_chatMissing;
    std::unique_ptr<MainMenu> m_mainMenu;
    std::unique_ptr<PetStage> m_stage;
    std::unique_ptr<PetController> m_controller;
    std::unique_ptr<MotionTimer> m_movementTimer;
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QMenu> m_petMenu;
    std::unique_ptr<TrayIcon> m_trayIcon;
    bool m_terminated = false;
};

} // namespace pimlo
