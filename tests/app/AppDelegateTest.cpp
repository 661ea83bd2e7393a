#include "app/AppDelegate.h"
#include "StderrCapture.h"
#include "app/GreetingBubble.h"
#include "app/TrayBadge.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace pimlo;

namespace {

// A delegate whose clock the test owns, on a 1440 × 875 screen, lacking one pose if asked.
struct App
{
    double now = 1000;
    AppDelegate delegate;

    explicit App(const QString &missingPose = QString()) : delegate(environment(missingPose)) {}
    AppEnvironment environment(const QString &missingPose)
    {
        AppEnvironment environment;
        environment.clock = [this] { return now; };
        environment.visibleFrame = [](const QScreen &) { return makeRect(0, 0, 1440, 875); };
        environment.loadImage = [missingPose](const QString &name, qreal ratio) {
            return name == missingPose ? QImage() : PoseImages::load(name, ratio);
        };
        return environment;
    }
    void runUntil(double end)
    {
        while (now + 1.0 / 30 <= end) {
            now += 1.0 / 30;
            delegate.controller()->updateMotion();
        }
    }
    PetWindow *window() const { return delegate.stage()->window(); }
};

} // namespace

class AppDelegateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The window stands at the start origin, shows what the controller decides and reports
    // clicks to it; termination hides it.
    void launchAndTermination()
    {
        App app;
        QVERIFY(app.delegate.applicationDidFinishLaunching());
        PetWindow *window = app.window();
        QVERIFY(window->isVisible());
        QCOMPARE(window->contentView(), app.delegate.stage()->idleView());
        QCOMPARE(window->origin(), (Point{1200, 40}));
        // Resting, the motion timer sleeps until a changed screen wakes it.
        QVERIFY(app.delegate.movementTimer()->isSleeping());
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        Q_EMIT QGuiApplication::primaryScreen()->availableGeometryChanged(available);
        QVERIFY(!app.delegate.movementTimer()->isSleeping());
        app.runUntil(1000 + 30); // after the launch nap and 20 s of rest, walking
        QCOMPARE(window->contentView(), app.delegate.stage()->walkingView());
        QVERIFY(!app.delegate.stage()->idleView()->timer()->isActive()); // hidden, it sleeps too
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(window->contentView(), app.delegate.stage()->happyView());

        app.delegate.applicationWillTerminate();
        QVERIFY(!window->isVisible());
        app.delegate.applicationWillTerminate(); // a second call finds nothing left to do
    }

    void missingPoseEndsLaunch_data()
    {
        QTest::addColumn<QString>("pose");
        QTest::addColumn<QStringList>("log");
        const QStringList silent;
        QTest::newRow("idle") << "pimlo-idle" << QStringList{"Pimlo: missing image or screen"};
        QTest::newRow("walk") << "pimlo-walk-left" << silent;
        QTest::newRow("happy") << "pimlo-happy" << silent;
        QTest::newRow("sleep") << "pimlo-sleep" << silent;
    }
    void missingPoseEndsLaunch()
    {
        QFETCH(QString, pose);
        QFETCH(QStringList, log);
        StderrCapture capture;
        App app(pose);
        QVERIFY(!app.delegate.applicationDidFinishLaunching());
        app.delegate.applicationWillTerminate(); // skips what launch never made
        QVERIFY(!app.delegate.movementTimer());
        QCOMPARE(capture.lines("Pimlo"), log);
    }

    void quitGoesThroughTheEventLoop_data()
    {
        QTest::addColumn<QString>("from");
        QTest::newRow("main menu") << "main";
        QTest::newRow("pet menu") << "pet";
    }
    void quitGoesThroughTheEventLoop()
    {
        QFETCH(QString, from);
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching());
        QAction *quit = from == "main" ? delegate.mainMenu()->quitAction()
                                       : delegate.petMenu()->actions().last();
        QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, quit, &QAction::trigger);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(2); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(aboutToQuit.count(), 1);
    }

    // An open menu pauses the pet; its commands run after it has closed.
    void menus_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<int>("item");
        QTest::addColumn<PetScene::View>("view");
        QTest::newRow("打招呼") << false << 0 << PetScene::View::idle;
        QTest::newRow("开心") << true << 1 << PetScene::View::happy;
        QTest::newRow("睡觉") << false << 2 << PetScene::View::sleep;
    }
    void menus()
    {
        QFETCH(bool, tray);
        QFETCH(int, item);
        QFETCH(PetScene::View, view);
        App app;
        QVERIFY(app.delegate.applicationDidFinishLaunching());
        QMenu *menu = tray ? app.delegate.trayMenu() : app.delegate.petMenu();
        menu->popup(QPoint(10, 10));
        QCOMPARE(app.delegate.controller()->menuPauseStarted(), std::optional(app.now));
        QAction *action = menu->actions().at(item);
        menu->hide();
        action->trigger();
        QVERIFY(!app.delegate.controller()->menuPauseStarted());
        QVERIFY(
            (app.delegate.controller()->scene() == PetScene{.origin = {1200, 40}, .greeting = {}}));
        QCoreApplication::processEvents();
        QCOMPARE(app.delegate.controller()->scene().view, view);
        if (item == 0) { // the card sits where the controller put it, the shadow around it
            GreetingBubble *bubble = app.delegate.stage()->greetingBubble();
            const QPoint topLeft = ScreenGeometry::windowTopLeft({1245 - 10, 234 - 10}, 66);
            QCOMPARE(bubble->geometry(), QRect(topLeft, QSize(130, 66)));
            QVERIFY(bubble->isVisible());
        }
    }

    // Drawn at the pixels asked for, never scaled: a white glyph on a green badge, corners clear.
    void trayBadge_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<qreal>("ratio");
        for (int points : {16, 22, 24, 32, 48})
            for (qreal ratio : {1.0, 2.0})
                QTest::addRow("%d@%gx", points, ratio) << points << ratio;
    }
    void trayBadge()
    {
        QFETCH(int, points);
        QFETCH(qreal, ratio);
        const QImage image = QIcon(new TrayBadge)
                                 .pixmap(QSize(points, points), ratio)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        const int side = int(points * ratio);
        QCOMPARE(image.size(), QSize(side, side));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        int glyph = 0; // white strokes, on the opaque badge
        for (int i = 0; i < side * side; ++i)
            glyph += image.pixel(i % side, i / side) == qRgb(255, 255, 255);
        QVERIFY(glyph > side * side / 12 && qAlpha(image.pixel(side / 2, side / 8)) == 255);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
