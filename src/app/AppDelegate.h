#pragma once

#include "app/MainMenu.h"
#include "pet/PetWindow.h"
#include "platform/Geometry.h"
#include "platform/Uptime.h"
#include "render/IdlePetView.h"
#include "render/PoseImages.h"

#include <QObject>
#include <memory>

namespace pimlo {

// What the app takes from its surroundings; tests replace the parts they drive.
struct AppEnvironment
{
    PoseImageLoader loadImage = PoseImages::load;
    Clock clock = uptimeSeconds;
};

// Owns everything the pet consists of, launches it and tears it down.
class AppDelegate final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppDelegate)

public:
    static constexpr double petSize = 200.0;

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

    PetWindow *window() const { return m_window.get(); }
    IdlePetView *idleView() const { return m_idleView; }
    MainMenu *mainMenu() const { return m_mainMenu.get(); }

private:
    AppEnvironment m_environment;
    std::unique_ptr<MainMenu> m_mainMenu;
    std::unique_ptr<PetWindow> m_window;
    // Children of the window; the window owns them.
    IdlePetView *m_idleView = nullptr;
    bool m_terminated = false;
};

} // namespace pimlo
