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

// Counts the events of one type that reach a widget.
class EventCounter final : public QObject
{
public:
    EventCounter(QObject *target, QEvent::Type type) : m_type(type)
    {
        target->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == m_type;
        return false;
    }

private:
    QEvent::Type m_type;
};

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
    void startOrigin_data()
    {
        QTest::addColumn<Rect>("visibleFrame");
        QTest::addColumn<Point>("origin");
        QTest::newRow("1440 wide, bottom at 0") << makeRect(0, 0, 1440, 875) << Point{1200, 40};
        QTest::newRow("dock below") << makeRect(0, 70, 1920, 1010) << Point{1680, 110};
        QTest::newRow("screen to the left") << makeRect(-1280, 0, 1280, 1024) << Point{-240, 40};
    }
    void startOrigin()
    {
        QFETCH(Rect, visibleFrame);
        QFETCH(Point, origin);
        QCOMPARE(AppDelegate::startOrigin(visibleFrame), origin);
    }

    void launchPutsTheStandingPetAtTheStartOrigin()
    {
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching());
        PetStage *stage = delegate.stage();
        QVERIFY(stage->window()->isVisible());
        QCOMPARE(stage->window()->contentView(), stage->idleView());
        QCOMPARE(stage->window()->size(), QSize(200, 200));
        const Rect frame = ScreenGeometry::visibleFrame(*QGuiApplication::primaryScreen());
        QCOMPARE(stage->window()->origin(), AppDelegate::startOrigin(frame));
        QCOMPARE(int(stage->idleView()->cachedFrames().size()), IdlePetView::framesPerLoop);

        delegate.applicationWillTerminate();
        QVERIFY(!stage->window()->isVisible());
        delegate.applicationWillTerminate(); // a second call finds nothing left to do
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
        QTest::newRow("tray menu") << "tray";
    }
    void quitGoesThroughTheEventLoop()
    {
        QFETCH(QString, from);
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching());
        QAction *quit = from == "main"  ? delegate.mainMenu()->quitAction()
                        : from == "pet" ? delegate.petMenu()->actions().last()
                                        : delegate.trayMenu()->actions().last();
        QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, quit, &QAction::trigger);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(2); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(aboutToQuit.count(), 1);
    }

    // Commands run after the menu has closed, not inside its action.
    void menuCommandsAreDeferred_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<PetScene::View>("view");
        QTest::newRow("打招呼") << 0 << PetScene::View::idle;
        QTest::newRow("开心") << 1 << PetScene::View::happy;
        QTest::newRow("睡觉") << 2 << PetScene::View::sleep;
    }
    void menuCommandsAreDeferred()
    {
        QFETCH(int, item);
        QFETCH(PetScene::View, view);
        App app;
        QVERIFY(app.delegate.applicationDidFinishLaunching());
        PetStage *stage = app.delegate.stage();
        QMenu *menu = app.delegate.petMenu();
        QCOMPARE(menu->actions().at(item)->text(), QString::fromUtf8(QTest::currentDataTag()));
        menu->actions().at(item)->trigger();
        QVERIFY((app.delegate.controller()->scene() == PetScene{.origin = {1200, 40}}));
        QCoreApplication::processEvents();
        QCOMPARE(app.delegate.controller()->scene().view, view);
        if (item == 0) { // the card sits where the controller put it, the shadow around it
            const QPoint topLeft = ScreenGeometry::windowTopLeft({1245 - 10, 234 - 10}, 66);
            QCOMPARE(stage->greetingBubble()->geometry(), QRect(topLeft, QSize(130, 66)));
            QVERIFY(stage->greetingBubble()->isVisible());
        }
    }

    void openMenusPauseThePet()
    {
        App app;
        QVERIFY(app.delegate.applicationDidFinishLaunching());
        for (QMenu *menu : {app.delegate.petMenu(), app.delegate.trayMenu()}) {
            menu->popup(QPoint(10, 10));
            QCOMPARE(app.delegate.controller()->menuPauseStarted(), std::optional(app.now));
            menu->hide();
            QVERIFY(!app.delegate.controller()->menuPauseStarted());
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
        int glyph = 0, badge = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const QColor c = image.pixelColor(x, y);
                glyph += c.alpha() == 255 && c.lightness() > 200;
                badge += c.alpha() == 255 && c.green() > c.red() + 40 && c.lightness() < 120;
            }
        QVERIFY2(glyph > side * side / 12 && badge > side * side / 4,
                 qPrintable(QString("glyph %1, badge %2").arg(glyph).arg(badge)));
    }

    // The stage shows what the controller decides, and in the steady state touches nothing.
    void theWindowFollowsTheController()
    {
        App app;
        QVERIFY(app.delegate.applicationDidFinishLaunching());
        PetStage *stage = app.delegate.stage();
        app.runUntil(1000 + 7); // the launch nap
        QCOMPARE(app.window()->contentView(), stage->idleView());
        EventCounter idleShown(stage->idleView(), QEvent::Show);
        EventCounter walkingShown(stage->walkingView(), QEvent::Show);
        EventCounter moves(app.window(), QEvent::Move);
        app.runUntil(1000 + 26);
        QCOMPARE(idleShown.count + moves.count, 0);
        app.runUntil(1000 + 31); // out and turning back
        QCOMPARE(walkingShown.count, 1);
        QVERIFY(moves.count > 0);
        QCOMPARE(app.window()->origin(), app.delegate.controller()->scene().origin);

        QTest::mouseClick(app.window(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(app.window()->contentView(), stage->happyView());
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
