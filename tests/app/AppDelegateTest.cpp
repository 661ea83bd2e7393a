#include "app/AppDelegate.h"
#include "platform/ScreenGeometry.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace pimlo;

class AppDelegateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startOrigin_data()
    {
        QTest::addColumn<Rect>("visibleFrame");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::newRow("1440 wide, bottom at 0") << makeRect(0, 0, 1440, 875) << 1200.0 << 40.0;
        QTest::newRow("dock below") << makeRect(0, 70, 1920, 1010) << 1680.0 << 110.0;
        QTest::newRow("second screen to the left") << makeRect(-1280, 0, 1280, 1024) << -240.0 << 40.0;
    }
    void startOrigin()
    {
        QFETCH(Rect, visibleFrame);
        QFETCH(double, x);
        QFETCH(double, y);
        QCOMPARE(AppDelegate::startOrigin(visibleFrame), (Point{x, y}));
    }

    void launchPutsTheStandingPetAtTheStartOrigin()
    {
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching());
        QVERIFY(delegate.window()->isVisible());
        QCOMPARE(delegate.window()->contentView(), delegate.idleView());
        QCOMPARE(delegate.window()->size(), QSize(200, 200));
        const Rect frame = ScreenGeometry::visibleFrame(*QGuiApplication::primaryScreen());
        QCOMPARE(delegate.window()->origin(), AppDelegate::startOrigin(frame));
        QCOMPARE(int(delegate.idleView()->cachedFrames().size()), IdlePetView::framesPerLoop);

        delegate.applicationWillTerminate();
        QVERIFY(!delegate.window()->isVisible());
        delegate.applicationWillTerminate(); // a second call finds nothing left to do
    }

    void missingIdleImageFailsLaunch()
    {
        AppEnvironment environment;
        environment.loadImage = [](const QString &, qreal) { return QImage(); };
        AppDelegate delegate(environment);
        QVERIFY(!delegate.applicationDidFinishLaunching());
        QVERIFY(!delegate.window());
        delegate.applicationWillTerminate(); // skips what launch never made
    }

    void quitGoesThroughTheEventLoop()
    {
        AppDelegate delegate;
        QVERIFY(delegate.applicationDidFinishLaunching());
        QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, delegate.mainMenu()->quitAction(), &QAction::trigger);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(2); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(aboutToQuit.count(), 1);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
