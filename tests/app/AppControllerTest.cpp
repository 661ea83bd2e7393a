#include "StderrCapture.h"
#include "app/AppDelegate.h"

#include <QTest>

using namespace pimlo;

namespace {

constexpr double tick = 1.0 / 30;
const QString movement = QStringLiteral("Pimlo movement:");

// Counts the events of one type that reach a widget.
class EventCounter final : public QObject
{
public:
    EventCounter(QObject *target, QEvent::Type type) : m_type(type) { target->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

// A launched pet on a 1440 × 875 screen whose clock the test owns. The start origin is
// (1200, 40); the event loop only runs when a test asks for it.
struct Pet
{
    double now = 1000;
    std::unique_ptr<AppDelegate> delegate;

    explicit Pet(const QString &missingPose = QString())
    {
        AppEnvironment environment;
        environment.clock = [this] { return now; };
        environment.visibleFrame = [](const QScreen &) { return makeRect(0, 0, 1440, 875); };
        environment.loadImage = [missingPose](const QString &name, qreal ratio) {
            return name == missingPose ? QImage() : PoseImages::load(name, ratio);
        };
        delegate = std::make_unique<AppDelegate>(environment);
    }

    // Ticks at 30 Hz until the given time.
    void runUntil(double end)
    {
        while (now + tick <= end) {
            now += tick;
            delegate->updateMotion();
        }
    }
    void tickAt(double t)
    {
        now = t;
        delegate->updateMotion();
    }
    const WalkMotion &motion() const { return *delegate->motion(); }
    QWidget *content() const { return delegate->window()->contentView(); }
    PetWindow *window() const { return delegate->window(); }
};

} // namespace

class AppControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void restsThenWalksOutAndHome()
    {
        StderrCapture log;
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        QCOMPARE(pet.motion().home, (Point{1200, 40}));

        pet.runUntil(1000 + 19.99);
        QCOMPARE(pet.motion().phase, WalkMotion::Phase::idle);
        QCOMPARE(pet.content(), pet.delegate->idleView());
        pet.runUntil(1000 + 20.1);
        QCOMPARE(pet.content(), pet.delegate->walkingView());
        QCOMPARE(pet.delegate->walkingView()->direction, -1);
        QVERIFY(pet.window()->origin().x < 1200);
        pet.runUntil(1000 + 35);
        QCOMPARE(pet.content(), pet.delegate->idleView());
        QCOMPARE(pet.window()->origin(), (Point{1200, 40}));
        QCOMPARE(log.lines(movement),
                 QStringList({"Pimlo movement: outward x=1198.7 home=1200.0 direction=-1",
                              "Pimlo movement: returning x=1040.0 home=1200.0 direction=1",
                              "Pimlo movement: idle x=1200.0 home=1200.0 direction=1"}));
    }

    void gaitTime()
    {
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        pet.runUntil(1000 + 21);
        const double before = pet.delegate->walkingTime();
        QVERIFY(before > 0.9 && before < 1.1);
        pet.tickAt(pet.now + 2.0); // a tick two seconds late
        QCOMPARE(pet.delegate->walkingTime(), before + 0.1);
        QCOMPARE(pet.delegate->walkingView()->stepTime, pet.delegate->walkingTime());

        // The turn does not reset the gait; the next trip starts it from zero.
        pet.runUntil(pet.now + 5);
        QCOMPARE(pet.motion().phase, WalkMotion::Phase::returning);
        QVERIFY(pet.delegate->walkingTime() > 5);
        pet.runUntil(pet.now + 25);
        QCOMPARE(pet.motion().phase, WalkMotion::Phase::idle);
        while (pet.motion().phase == WalkMotion::Phase::idle)
            pet.tickAt(pet.now + tick);
        QVERIFY(pet.delegate->walkingTime() <= tick + 1e-9);
    }

    void actionsEndWhereThePetStands_data()
    {
        QTest::addColumn<bool>("happy");
        QTest::addColumn<double>("duration");
        QTest::newRow("happy") << true << 1.6;
        QTest::newRow("sleep") << false << 5.4;
    }
    void actionsEndWhereThePetStands()
    {
        QFETCH(bool, happy);
        QFETCH(double, duration);
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        pet.runUntil(1000 + 22); // walking
        const Point spot = pet.window()->origin();
        const double start = pet.now;
        happy ? pet.delegate->playHappy() : pet.delegate->playSleep();
        QWidget *view = happy ? static_cast<QWidget *>(pet.delegate->happyView())
                              : static_cast<QWidget *>(pet.delegate->sleepView());
        QCOMPARE(pet.content(), view);
        pet.tickAt(start + duration - 0.01);
        QCOMPARE(pet.content(), view);
        QCOMPARE(happy ? pet.delegate->happyView()->time : pet.delegate->sleepView()->time,
                 duration - 0.01);
        QCOMPARE(pet.window()->origin(), spot);
        pet.tickAt(start + duration);
        QCOMPARE(pet.content(), pet.delegate->idleView());
        QVERIFY(!pet.delegate->happyStarted() && !pet.delegate->sleepStarted());
        QCOMPARE(pet.motion().phase, WalkMotion::Phase::idle);
        QCOMPARE(pet.motion().nextDeparture(), start + duration + 20);
        QCOMPARE(pet.window()->origin(), spot);
    }

    void clickingAWalkingPet()
    {
        StderrCapture log;
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        pet.runUntil(1000 + 22);
        const Point spot = pet.window()->origin();
        QTest::mouseClick(pet.window(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(pet.content(), pet.delegate->happyView());
        QVERIFY(pet.delegate->happyStarted());
        const double clicked = pet.now;

        pet.runUntil(clicked + 1.7);
        QCOMPARE(pet.content(), pet.delegate->idleView());
        QCOMPARE(pet.window()->origin(), spot); // resting away from home
        pet.runUntil(clicked + 1.6 + 20.1);
        QCOMPARE(pet.motion().phase, WalkMotion::Phase::returning);
        QCOMPARE(pet.delegate->walkingView()->direction, 1);
        QCOMPARE(log.lines(movement).size(), 2);
        QVERIFY(log.lines(movement).last().startsWith("Pimlo movement: returning x="));
    }

    void clickingASleepingPetWakesIt()
    {
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        pet.delegate->playSleep();
        pet.runUntil(pet.now + 1);
        QTest::mouseClick(pet.window(), Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(!pet.delegate->sleepStarted());
        QVERIFY(!pet.delegate->happyStarted());
        QCOMPARE(pet.content(), pet.delegate->idleView());
    }

    void draggingASleepingPetEndsTheSleepForGood()
    {
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        pet.window()->setOrigin({300, 100}); // somewhere inside the test screen
        pet.delegate->playSleep();
        QTest::mousePress(pet.window(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(pet.window(), QPoint(60, 120));
        QTest::mouseRelease(pet.window(), Qt::LeftButton, {}, QPoint(60, 120));
        QVERIFY(!pet.delegate->sleepStarted());
        pet.runUntil(pet.now + 6);
        QVERIFY(!pet.delegate->sleepStarted());
        QCOMPARE(pet.content(), pet.delegate->idleView());
        // The drop point is the new home.
        QCOMPARE(pet.motion().home, (Point{260, 80}));
        QCOMPARE(pet.motion().position, pet.motion().home);
        QCOMPARE(pet.motion().nextDeparture(), 1000 + 20.0);
    }

    void launchSleep()
    {
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        QTRY_VERIFY_WITH_TIMEOUT(pet.delegate->sleepStarted().has_value(), 3000);
        QCOMPARE(pet.content(), pet.delegate->sleepView());
    }

    void pressAtLaunchSkipsTheLaunchSleep()
    {
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        QTest::mousePress(pet.window(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::qWait(AppDelegate::launchSleepDelayMs + 300);
        QTest::mouseRelease(pet.window(), Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(!pet.delegate->sleepStarted());
        QVERIFY(pet.delegate->happyStarted()); // the click pets it instead
        QTest::qWait(500);
        QVERIFY(!pet.delegate->sleepStarted());
    }

    void steadyStateTouchesNothing()
    {
        Pet pet;
        QVERIFY(pet.delegate->applicationDidFinishLaunching());
        EventCounter idleShown(pet.delegate->idleView(), QEvent::Show);
        EventCounter walkingShown(pet.delegate->walkingView(), QEvent::Show);
        EventCounter moves(pet.window(), QEvent::Move);
        pet.runUntil(1000 + 19);
        QCOMPARE(idleShown.count, 0);
        QCOMPARE(moves.count, 0);
        pet.runUntil(1000 + 24); // out and turning back
        QCOMPARE(walkingShown.count, 1);
        QVERIFY(moves.count > 0);
        QCOMPARE(idleShown.count, 0);
    }

    void missingActionPoseEndsLaunchSilently_data()
    {
        QTest::addColumn<QString>("pose");
        QTest::newRow("walk") << "pimlo-walk-left";
        QTest::newRow("happy") << "pimlo-happy";
        QTest::newRow("sleep") << "pimlo-sleep";
    }
    void missingActionPoseEndsLaunchSilently()
    {
        QFETCH(QString, pose);
        StderrCapture log;
        Pet pet(pose);
        QVERIFY(!pet.delegate->applicationDidFinishLaunching());
        pet.delegate->applicationWillTerminate();
        QVERIFY(!pet.delegate->movementTimer());
        QCOMPARE(log.lines("Pimlo"), QStringList());
    }
};

QTEST_MAIN(AppControllerTest)
#include "AppControllerTest.moc"
