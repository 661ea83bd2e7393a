#include "AppDelegate.h"

#include "platform/Log.h"
#include "platform/ScreenGeometry.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace pimlo {

AppDelegate::AppDelegate(AppEnvironment environment) : m_environment(std::move(environment)) {}

AppDelegate::~AppDelegate() = default;

Point AppDelegate::startOrigin(const Rect &visibleFrame)
{
    return {visibleFrame.maxX() - 240, visibleFrame.minY() + 40};
}

bool AppDelegate::applicationDidFinishLaunching()
{
    m_mainMenu = std::make_unique<MainMenu>([this] { quit(); });

    QScreen *screen = QGuiApplication::primaryScreen();
    const QImage idleImage =
        screen ? m_environment.loadImage(QStringLiteral("pimlo-idle"), screen->devicePixelRatio())
               : QImage();
    if (!screen || idleImage.isNull()) {
        logLine("Pimlo: missing image or screen");
        return false;
    }

    const Point origin = startOrigin(ScreenGeometry::visibleFrame(*screen));
    m_window = std::make_unique<PetWindow>(origin, Size{petSize, petSize});
    m_mainMenu->attachShortcuts(*m_window);

    m_idleView = new IdlePetView(idleImage, true, m_environment.clock, m_window.get());
    // The walking, happy and sleep views join here.

    m_window->setContentView(m_idleView);
    // The walking state, the window's drag callbacks and the motion timer join here.

    m_window->orderFront();
    // The tray icon and the action menus, the sleep one second after launch and the chat
    // launch option join here.

    const qreal ratio = idleImage.devicePixelRatio();
    logLine(QStringLiteral("Pimlo idle animation ready: window=200x200, transparent=true, "
                           "image=(%1, %2)")
                .arg(idleImage.width() / ratio, 0, 'f', 1)
                .arg(idleImage.height() / ratio, 0, 'f', 1)
                .toStdString());
    return true;
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    // The chat model's shutdown, the motion timer and the tray icon are torn down here, in that
    // order, before the windows go.
    for (QWidget *widget : QApplication::topLevelWidgets())
        widget->hide();
}

void AppDelegate::quit() { QCoreApplication::quit(); }

} // namespace pimlo
