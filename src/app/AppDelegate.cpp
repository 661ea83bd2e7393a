#include "AppDelegate.h"

#include "platform/Log.h"
#include "platform/ScreenGeometry.h"
#include "render/HappyPose.h"
#include "render/SleepPose.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdio>

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
    m_window = std::make_unique<PetWindow>(origin, Size{petSize, petSize});
    m_mainMenu->attachShortcuts(*m_window);

    m_idleView = new IdlePetView(idleImage, true, m_environment.clock, m_window.get());
    if (!createActionViews())
        return false;
    m_window->setContentView(m_idleView);
    startMotion();

    m_window->orderFront();
    // The tray icon and the action menus join here, before the launch sleep.

    // A freshly started pet dozes off once, unless the user got to it first.
    QTimer::singleShot(launchSleepDelayMs, this, [this] {
        if (m_motion && !m_motion->isDragging && !m_menuPauseStarted)
            playSleep();
    });
    // The chat launch option joins here.

    const qreal ratio = idleImage.devicePixelRatio();
    logLine(QStringLiteral("Pimlo idle animation ready: window=200x200, transparent=true, "
                           "image=(%1, %2)")
                .arg(idleImage.width() / ratio, 0, 'f', 1)
                .arg(idleImage.height() / ratio, 0, 'f', 1)
                .toStdString());
    return true;
}

bool AppDelegate::createActionViews()
{
    const qreal ratio = m_idleView->image().devicePixelRatio();
    const QImage walking = m_environment.loadImage(QStringLiteral("pimlo-walk-left"), ratio);
    if (walking.isNull())
        return false;
    m_walkingView = new WalkingPetView(walking, m_window.get());
    const QImage happy = m_environment.loadImage(QStringLiteral("pimlo-happy"), ratio);
    if (happy.isNull())
        return false;
    m_happyView = new HappyPetView(happy, m_window.get());
    const QImage sleeper = m_environment.loadImage(QStringLiteral("pimlo-sleep"), ratio);
    if (sleeper.isNull())
        return false;
    m_sleepView = new SleepPetView(sleeper, *m_idleView, m_window.get());
    for (QWidget *view : {static_cast<QWidget *>(m_walkingView),
                          static_cast<QWidget *>(m_happyView), static_cast<QWidget *>(m_sleepView)})
        view->hide();
    return true;
}

void AppDelegate::startMotion()
{
    const double start = now();
    m_motion = WalkMotion(m_window->origin(), start);
    m_previousTick = start;

    // The window outlives none of the delegate's state, but a callback that finds the delegate
    // gone must do nothing.
    QPointer<AppDelegate> self(this);
    m_window->onDragBegan = [self] {
        if (self)
            self->onPressBegan();
    };
    m_window->onDragMoved = [self](Point origin, const Rect &frame) {
        if (self)
            self->onDragMoved(origin, frame);
    };
    m_window->onDragEnded = [self](bool moved) {
        if (self)
            self->onPressEnded(moved);
    };

    // Precise: the default coarse timer lets a 33 ms interval drift by 5 %, visible as stutter.
    m_movementTimer = std::make_unique<QTimer>();
    m_movementTimer->setTimerType(Qt::PreciseTimer);
    m_movementTimer->setInterval(1000 / 30);
    connect(m_movementTimer.get(), &QTimer::timeout, this, &AppDelegate::updateMotion);
    m_movementTimer->start();
}

void AppDelegate::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    // The chat model's shutdown goes here, first of all.
    if (m_movementTimer) {
        m_movementTimer->stop();
        m_movementTimer.reset();
    }
    // The tray icon is removed here.
    for (QWidget *widget : QApplication::topLevelWidgets())
        widget->hide();
}

void AppDelegate::quit() { QCoreApplication::quit(); }

std::optional<Rect> AppDelegate::currentVisibleFrame() const
{
    const QScreen *screen = m_window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return m_environment.visibleFrame(*screen);
}

void AppDelegate::show(QWidget *view)
{
    if (m_window->contentView() != view)
        m_window->setContentView(view);
}

void AppDelegate::updateMotion()
{
    if (m_menuPauseStarted || !m_motion)
        return;
    const double t = now();

    if (m_greetingDeadline && *m_greetingDeadline <= t)
        m_greetingDeadline.reset();

    if (m_motion->isDragging)
        return;
    const std::optional<Rect> frame = currentVisibleFrame();
    if (!frame)
        return;

    // A running action owns the pet until it has played for its whole length.
    const auto advanceAction = [&](double started, double duration, auto *view) {
        const double elapsed = t - started;
        if (elapsed >= duration) {
            finishAction(t);
            return;
        }
        view->time = elapsed;
        view->update();
        m_previousTick = t;
    };
    if (m_sleepStarted) {
        advanceAction(*m_sleepStarted, SleepPose::duration, m_sleepView);
        return;
    }
    if (m_happyStarted) {
        advanceAction(*m_happyStarted, HappyPose::duration, m_happyView);
        return;
    }
    if (isChatOpen()) {
        m_previousTick = t;
        return;
    }

    const WalkMotion::Phase oldPhase = m_motion->phase;
    m_motion->tick(t, *frame);
    if (m_motion->phase == WalkMotion::Phase::idle) {
        show(m_idleView);
    } else {
        if (oldPhase == WalkMotion::Phase::idle)
            m_walkingTime = 0;
        const double dt = t - m_previousTick;
        m_walkingTime += dt >= 0 ? std::min(dt, maxGaitStep) : 0;
        m_walkingView->direction = m_motion->direction;
        m_walkingView->stepTime = m_walkingTime;
        show(m_walkingView);
        m_walkingView->update();
    }
    if (!(m_window->origin() == m_motion->position))
        m_window->setOrigin(m_motion->position);
    if (m_motion->phase != oldPhase)
        logMovement();
    m_previousTick = t;
}

void AppDelegate::logMovement() const
{
    const std::string_view phase = rawValue(m_motion->phase);
    char line[160];
    std::snprintf(line, sizeof line, "Pimlo movement: %.*s x=%.1f home=%.1f direction=%lld",
                  int(phase.size()), phase.data(), m_motion->position.x, m_motion->home.x,
                  static_cast<long long>(m_motion->direction));
    logLine(line);
}

void AppDelegate::finishAction(double now)
{
    m_happyStarted.reset();
    m_sleepStarted.reset();
    if (m_motion)
        m_motion->finishAction(now);
    if (m_idleView) {
        show(m_idleView);
        m_idleView->update();
    }
    m_previousTick = now;
}

bool AppDelegate::canPlay() const
{
    return m_motion && m_window && !m_motion->isDragging && !isChatOpen();
}

void AppDelegate::playHappy()
{
    if (canPlay())
        play(m_happyStarted, m_sleepStarted, m_happyView->time, m_happyView);
}

void AppDelegate::playSleep()
{
    if (canPlay())
        play(m_sleepStarted, m_happyStarted, m_sleepView->time, m_sleepView);
}

void AppDelegate::play(std::optional<double> &started, std::optional<double> &other,
                       double &viewTime, QWidget *view)
{
    // Starting the running action again restarts it from the beginning.
    other.reset();
    started = now();
    viewTime = 0;
    show(view);
    view->update();
}

void AppDelegate::onPressBegan()
{
    const double t = now();
    m_wasSleepingOnPress = m_sleepStarted.has_value();
    m_sleepStarted.reset();
    m_happyStarted.reset();
    m_motionBeforePress = m_motion;
    m_motion->beginDrag(t);
    show(m_idleView);
    m_walkingTime = 0;
}

void AppDelegate::onDragMoved(Point origin, const Rect &visibleFrame)
{
    m_motion->drag(origin, visibleFrame);
    m_window->setOrigin(m_motion->position);
}

void AppDelegate::onPressEnded(bool moved)
{
    const double t = now();
    if (moved) {
        m_motion->endDrag(t);
    } else {
        if (m_motionBeforePress)
            m_motion = m_motionBeforePress;
        if (m_wasSleepingOnPress)
            finishAction(t);
        else
            playHappy();
    }
    m_wasSleepingOnPress = false;
    m_motionBeforePress.reset();
    m_previousTick = t;
}

} // namespace pimlo
