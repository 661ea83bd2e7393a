#include "app/PetController.h"
#include "StderrCapture.h"

#include <QTest>

using namespace pimlo;
using View = PetScene::View;
using Phase = WalkMotion::Phase;

namespace {

constexpr double tick = 1.0 / 30;
const QString movement = QStringLiteral("Pimlo movement:");
const Rect screen = makeRect(0, 0, 1440, 875);

// Equal but for rounding: the same view, actions and places.
bool alike(const PetScene &a, const PetScene &b)
{
    const auto near = [](Point p, Point q) { return qAbs(p.x - q.x) + qAbs(p.y - q.y) < 1e-6; };
    return a.view == b.view && qAbs(a.actionTime - b.actionTime) < 1e-6 &&
           near(a.origin, b.origin) && a.greeting.has_value() == b.greeting.has_value() &&
           near(a.greeting.value_or(Point{}), b.greeting.value_or(Point{}));
}

// A pet at home at (1200, 40) on a 1440 × 875 screen, with a clock the test owns.
struct Pet
{
    double now = 1000;
    bool chatOpen = false;
    int presented = 0;
    PetController controller;

    Pet()
        : controller({1200, 40}, {.clock = [this] { return now; },
                                  .visibleFrame = [] { return std::optional(screen); },
                                  .isChatOpen = [this] { return chatOpen; },
                                  .present = [this](const PetScene &) { ++presented; }})
    {
    }
    // Ticks at 30 Hz until the given time.
    void runUntil(double end)
    {
        while (now + tick <= end + 1e-9) {
            now += tick;
            controller.updateMotion();
        }
    }
    void tickAt(double t)
    {
        now = t;
        controller.updateMotion();
    }
    const PetScene &scene() const { return controller.scene(); }
    const WalkMotion &motion() const { return controller.motion(); }
};

} // namespace

class PetControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void restsThenWalksOutAndHome()
    {
        StderrCapture log;
        Pet pet;
        pet.runUntil(1000 + 19.99);
        QCOMPARE(pet.presented, 0); // a resting pet asks nothing of the windows
        pet.runUntil(1000 + 21);
        const double gait = pet.controller.walkingTime();
        pet.tickAt(pet.now + 2.0); // a tick two seconds late moves the gait by 0.1 s only
        QCOMPARE(pet.scene().stepTime, gait + 0.1);
        pet.runUntil(1000 + 35);
        QCOMPARE(pet.scene().view, View::idle);
        QVERIFY(pet.controller.walkingTime() > 8); // the turn kept the gait going
        QCOMPARE(log.lines(movement),
                 QStringList({"Pimlo movement: outward x=1198.7 home=1200.0 direction=-1",
                              "Pimlo movement: returning x=1040.0 home=1200.0 direction=1",
                              "Pimlo movement: idle x=1200.0 home=1200.0 direction=1"}));
        while (pet.motion().phase == Phase::idle) // the next trip starts its gait from zero
            pet.tickAt(pet.now + tick);
        QVERIFY(pet.controller.walkingTime() <= tick + 1e-9);
    }

    void actionsEndWhereThePetStands_data()
    {
        QTest::addColumn<View>("view");
        QTest::addColumn<double>("duration");
        QTest::newRow("happy") << View::happy << 1.6;
        QTest::newRow("sleep") << View::sleep << 5.4;
    }
    void actionsEndWhereThePetStands()
    {
        QFETCH(View, view);
        QFETCH(double, duration);
        Pet pet;
        pet.runUntil(1000 + 22); // walking
        const Point spot = pet.scene().origin;
        const double start = pet.now;
        view == View::happy ? pet.controller.playHappy() : pet.controller.playSleep();
        pet.tickAt(start + duration - 0.01);
        QCOMPARE(pet.scene().view, view);
        QCOMPARE(pet.scene().actionTime, duration - 0.01);
        pet.tickAt(start + duration);
        QCOMPARE(pet.scene().view, View::idle);
        QVERIFY(!pet.controller.happyStarted() && !pet.controller.sleepStarted());
        QCOMPARE(pet.motion().nextDeparture(), start + duration + 20); // then it walks home
        QCOMPARE(pet.scene().origin, spot);
    }

    void press_data()
    {
        QTest::addColumn<bool>("asleep");
        QTest::addColumn<bool>("chatOpen");
        QTest::addColumn<bool>("dragged");
        QTest::addColumn<View>("view");
        QTest::newRow("click: petted") << false << false << false << View::happy;
        QTest::newRow("click when asleep: woken, not petted")
            << true << false << false << View::idle;
        QTest::newRow("click, chat open: nothing plays") << false << true << false << View::idle;
        QTest::newRow("drag when asleep: awake for good") << true << false << true << View::idle;
    }
    void press()
    {
        QFETCH(bool, asleep);
        QFETCH(bool, chatOpen);
        QFETCH(bool, dragged);
        QFETCH(View, view);
        Pet pet;
        if (asleep)
            pet.controller.playSleep();
        pet.runUntil(1000 + 1);
        pet.chatOpen = chatOpen;
        const WalkMotion before = pet.motion();
        pet.controller.pressBegan();
        if (dragged)
            pet.controller.dragMoved({260, 80}, screen);
        pet.controller.pressEnded(dragged);
        pet.runUntil(pet.now + (view == View::idle ? 6 : 0));
        QCOMPARE(pet.scene().view, view);
        QVERIFY(!pet.controller.sleepStarted());
        if (!asleep) // a click is no drag: the walk is as it was
            QCOMPARE(pet.motion(), before);
        if (dragged) // the drop point is the new home
            QCOMPARE(pet.scene().origin, pet.motion().home);
    }

    void launchNap_data()
    {
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<bool>("menuOpen");
        QTest::newRow("dozes off") << false << false;
        QTest::newRow("held at the moment: skipped") << true << false;
        QTest::newRow("menu open at the moment: skipped") << false << true;
    }
    void launchNap()
    {
        QFETCH(bool, pressed);
        QFETCH(bool, menuOpen);
        Pet pet;
        pet.controller.scheduleLaunchNap();
        pet.runUntil(1000 + 0.99);
        QVERIFY(!pet.controller.sleepStarted()); // not before its second
        if (pressed)
            pet.controller.pressBegan();
        if (menuOpen)
            pet.controller.menuWillOpen();
        pet.runUntil(1000 + 1.5);
        pressed ? pet.controller.pressEnded(false) : pet.controller.menuDidClose();
        pet.runUntil(1000 + 3);
        QCOMPARE(pet.controller.sleepStarted().has_value(), !pressed && !menuOpen);
        QCOMPARE(pet.scene().view, pressed ? View::happy : menuOpen ? View::idle : View::sleep);
    }
    // A menu open for 60 s shifts everything by exactly that: afterwards the pet goes on as a
    // twin without the menu, 60 s later.
    void menuPause_data()
    {
        QTest::addColumn<QString>("running");
        QTest::newRow("walk") << "walk";
        QTest::newRow("sleep") << "sleep";
        QTest::newRow("happy") << "happy";
        QTest::newRow("greeting") << "greeting";
    }
    void menuPause()
    {
        QFETCH(QString, running);
        Pet pet, twin;
        for (Pet *p : {&pet, &twin}) {
            p->runUntil(1000 + 22);
            p->tickAt(p->now + 0.01); // actions end between ticks, not on one
            if (running == "sleep")
                p->controller.playSleep();
            if (running == "happy")
                p->controller.playHappy();
            if (running == "greeting")
                p->controller.showGreeting();
            p->runUntil(p->now + 1);
        }
        const PetScene frozen = pet.scene();
        pet.controller.menuWillOpen();
        pet.runUntil(pet.now + 30);
        pet.controller.menuWillOpen(); // a second menu changes nothing
        pet.runUntil(pet.now + 30);
        QCOMPARE(pet.scene(), frozen);
        pet.controller.menuDidClose();
        for (int i = 0; i < 30 * 30; ++i) {
            pet.tickAt(pet.now + tick);
            twin.tickAt(twin.now + tick);
            QVERIFY(alike(pet.scene(), twin.scene()));
        }
        QVERIFY(qAbs(pet.motion().nextDeparture() - twin.motion().nextDeparture() - 60) < 1e-6);
    }

    void greetingOrigin_data()
    {
        QTest::addColumn<Point>("pet");
        QTest::addColumn<Rect>("visibleFrame");
        QTest::addColumn<Point>("bubble");
        QTest::newRow("start origin") << Point{1200, 40} << screen << Point{1245, 234};
        QTest::newRow("left edge") << Point{0, 40} << screen << Point{45, 234};
        QTest::newRow("right edge") << Point{1240, 40} << screen << Point{1285, 234};
        QTest::newRow("top: pushed down") << Point{600, 675} << screen << Point{645, 829};
        QTest::newRow("frame narrower than the pet")
            << Point{0, 40} << makeRect(0, 0, 150, 875) << Point{40, 234};
    }
    void greetingOrigin()
    {
        QFETCH(Point, pet);
        QFETCH(Rect, visibleFrame);
        QFETCH(Point, bubble);
        QCOMPARE(PetController::greetingOrigin(Rect{pet, {200, 200}}, visibleFrame), bubble);
    }

    void greeting_data()
    {
        QTest::addColumn<bool>("chatOpen");
        QTest::newRow("chat closed") << false;
        QTest::newRow("chat open: the pet stays frozen") << true;
    }
    void greeting()
    {
        QFETCH(bool, chatOpen);
        Pet pet;
        pet.chatOpen = chatOpen;
        pet.controller.playSleep();
        pet.runUntil(1000 + 1);
        pet.controller.showGreeting();
        QVERIFY(!pet.controller.sleepStarted()); // a sleeping pet wakes to greet
        QCOMPARE(pet.scene().greeting, std::optional(Point{1245, 234}));
        pet.runUntil(1000 + 3);
        pet.controller.showGreeting(); // again: three more seconds from now
        pet.controller.pressBegan();   // carried along by a drag at once
        pet.controller.dragMoved({700, 100}, screen);
        QCOMPARE(pet.scene().greeting, std::optional(Point{745, 294}));
        pet.controller.pressEnded(true);
        pet.runUntil(1000 + 5.99);
        QVERIFY(pet.scene().greeting);
        pet.tickAt(1000 + 6);
        QVERIFY(!pet.scene().greeting);
        pet.runUntil(1000 + 25); // past the rest after the drag
        QCOMPARE(pet.scene().view, chatOpen ? View::idle : View::walking);
        QCOMPARE(pet.scene().origin.x == 700, chatOpen);
    }
};

QTEST_APPLESS_MAIN(PetControllerTest)
#include "PetControllerTest.moc"
