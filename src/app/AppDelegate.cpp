#include "AppDelegate.h"

#include "app/ActionMenu.h"
#include "app/ChatModule.h"
#include "platform/Log.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
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

    const Point origin = startOrigin(m_environment.visibleFrame(*screen));
    m_stage = std::make_unique<PetStage>(origin, idleImage, m_environment.clock);
    m_mainMenu->attachShortcuts(*m_stage->window());
    if (!m_stage->createActionViews(m_environment.loadImage))
        return false;
    startMotion(origin);

    m_stage->window()->orderFront();
    m_trayMenu = makeActionMenu();
    m_trayIcon = std::make_unique<TrayIcon>(*m_trayMenu);
    m_petMenu = makeActionMenu();
    m_stage->window()->actionMenu = m_petMenu.get();
    // A freshly started pet dozes off once, unless the user got to it first.
    decide(&PetController::scheduleLaunchNap);
    if (wantsChatAtLaunch(QCoreApplication::arguments().mid(1)))
        defer([this] { showChat(); });

    const qreal ratio = idleImage.devicePixelRatio();
    logLine(QStringLiteral("Pimlo idle animation ready: window=200x200, transparent=true, "
                           "image=(%1, %2)")
                .arg(idleImage.width() / ratio, 0, 'f', 1)
                .arg(idleImage.height() / ratio, 0, 'f', 1)
                .toStdString());
    return true;
}

void AppDelegate::startMotion(Point home)
{
    PetController::Seams seams;
    seams.clock = m_environment.clock;
    seams.visibleFrame = [this] { return currentVisibleFrame(); };
    seams.isChatOpen = [this] { return m_chat && m_chat->isOpen(); };
    seams.isMenuShown = [] { return QApplication::activePopupWidget() != nullptr; };
    seams.place = [stage = m_stage.get()](Point origin) { stage->place(origin); };
    seams.present = [stage = m_stage.get()](const PetScene &scene) { stage->apply(scene); };
    m_controller = std::make_unique<PetController>(home, std::move(seams));

    // A callback that finds the delegate gone does nothing.
    PetWindow *window = m_stage->window();
    QPointer<AppDelegate> self(this);
    window->onDragBegan = [self] {
        if (self)
            self->decide(&PetController::pressBegan);
    };
    window->onDragMoved = [self](Point origin, const Rect &frame) {
        if (self)
            self->m_controller->dragMoved(origin, frame);
    };
    window->onDragEnded = [self](bool moved) {
        if (self)
            self->decide([moved](PetController &controller) { controller.pressEnded(moved); });
    };

    m_movementTimer = std::make_unique<MotionTimer>(*m_controller, m_environment.clock);
    // Put back where the pet belongs by the next tick, as if the ticks had never slept.
    window->onMovedElsewhere = [self] {
        if (self && self->m_movementTimer)
            self->m_movementTimer->wake();
    };
}

void AppDelegate::decide(const std::function<void(PetController &)> &event)
{
    event(*m_controller);
    // After termination a closing menu or window still reports here, with no timer left.
    if (m_movementTimer)
        m_movementTimer->reschedule();
}

std::unique_ptr<QMenu> AppDelegate::makeActionMenu()
{
    // A chosen command means the menu has closed, whether or not a tray host that showed it
    // reports so (xfce4-panel never does).
    const auto chosen = [this](std::function<void()> command) {
        return [this, command = std::move(command)] {
            decide(&PetController::menuDidClose);
            defer(command);
        };
    };
    auto menu = std::make_unique<ActionMenu>(ActionMenu::Commands{
        .greet = chosen([this] { decide(&PetController::showGreeting); }),
        .happy = chosen([this] { decide(&PetController::playHappy); }),
        .sleep = chosen([this] { decide(&PetController::playSleep); }),
        .chat = chosen([this] { showChat(); }),
        .chatHighlighted = [this] { loadChatModule(); },
        .quit = [this] { quit(); },
    });
    connect(menu.get(), &QMenu::aboutToShow, this,
            [this] { decide(&PetController::menuWillOpen); });
    connect(menu.get(), &QMenu::aboutToHide, this,
            [this] { decide(&PetController::menuDidClose); });
    return menu;
}

void AppDelegate::defer(std::function<void()> command)
{
    QMetaObject::invokeMethod(this, std::move(command), Qt::QueuedConnection);
}

void AppDelegate::showChat()
{
    if (!m_chat && loadChatModule()) {
        m_chat = m_chatFactory->makeChat();
        QPointer<AppDelegate> self(this);
        m_chat->setOnClose([self] {
            if (self)
                self->finishAction();
        });
    }
    if (!m_chat) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Pimlo"),
                                    QStringLiteral("聊天窗口打不开：找不到 Pimlo 的聊天组件，"
                                                   "请重新安装 Pimlo。"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        return;
    }
    finishAction();
    m_chat->present();
}

bool AppDelegate::loadChatModule()
{
    if (!m_chatFactory && m_chatMissing.isEmpty()) {
        const QStringList path = ChatModule::searchPath(QCoreApplication::applicationDirPath());
        m_chatFactory = ChatModule::load(path, m_chatMissing);
        if (!m_chatFactory)
            logLine(QStringLiteral("Pimlo: the chat module is missing: %1")
                        .arg(m_chatMissing)
                        .toStdString());
    }
    return m_chatFactory != nullptr;
}

void AppDelegate::finishAction()
{
    decide(
        [now = m_environment.clock()](PetController &controller) { controller.finishAction(now); });
}

bool AppDelegate::wantsChatAtLaunch(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--show-chat"));
}

std::optional<Rect> AppDelegate::currentVisibleFrame() const
{
    const QScreen *screen = m_stage->window()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return m_environment.visibleFrame(*screen);
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    // A reply still in flight is cancelled before any window goes away.
    if (m_chat)
        m_chat->shutdown();
    m_movementTimer.reset();
    if (m_trayIcon)
        m_trayIcon->remove();
    for (QWidget *widget : QApplication::topLevelWidgets())
        widget->hide();
}

void AppDelegate::quit()
{
    QCoreApplication::quit();
}

} // namespace pimlo
