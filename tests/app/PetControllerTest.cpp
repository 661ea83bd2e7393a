#include "app/PetController.h"
#include "StderrCapture.h"

#include <QTest>
#include <map>

using namespace pimlo;
using View = PetScene::View;
using Event = std::function<void(PetController &)>;
using Greeting = std::optional<Point>;

namespace {

constexpr double tick = 1.0 / 30;
const Rect screen = makeRect(0, 0, 1440, 875);

// The events a script names: "press@1 drag@1 drop@1.5 tick@3" tells each at its second after
// launch; "chat@t" opens the chat window.
const std::map<QString, Event> events = {{"nap", &PetController::scheduleLaunchNap},
                                         {"sleep", &PetController::playSleep},
                                         {"happy", &PetController::playHappy},
                                         {"greet", &PetController::showGreeting},
                                         {"press", &PetController::pressBegan},
                                         {"click", [](PetController &p) { p.pressEnded(false); }},
                                         {"drag",
                                          [](PetController &p) {
                                              p.dragMoved({700, 100}, screen);
                                          }},
                                         {"drop", [](PetController &p) { p.pressEnded(true); }},
                                         {"menu", &PetController::menuWillOpen},
                                         {"close", &PetController::menuDidClose},
                                         {"tick", [](PetController &) {}}};

// A pet at home at (1200, 40) on a 1440 × 875 screen, with a clock the test owns. Its shadow is
// told the same but skips the ticks its controller calls quiet, as the motion timer does; the two
// must show the same scene throughout.
struct Pet
{
    double now = 1000;
    bool chatOpen = false, menuShown = false;
    int presented = 0, shadowTicks = 0;
    PetController controller{{1200, 40}, seams()};
    PetController shadow{{1200, 40}, seams()};

    PetController::Seams seams()
    {
        return {.clock = [this] { return now; },
                .visibleFrame = [] { return std::optional(screen); },
                .isChatOpen = [this] { return chatOpen; },
                .isMenuShown = [this] { return menuShown; },
                .present = [this](const PetScene &) { ++presented; }};
    }
    void tickAt(double t)
    {
        now = t;
        controller.updateMotion();
        if (!shadow.quietUntil() || *shadow.quietUntil() <= t)
            shadow.updateMotion(), ++shadowTicks;
        QVERIFY2(shadow.scene() == controller.scene(), qPrintable(QString::number(t, 'f', 3)));
    }
    // Ticks at 30 Hz until the given time.
    void runUntil(double end)
    {
        while (now + tick <= end + 1e-9 && !QTest::currentTestFailed())
            tickAt(now + tick);
    }
    void play(const QString &script)
    {
        for (const QString &step : script.split(u' ')) {
            const double t = 1000 + step.section(u'@', 1).toDouble();
            const QString name = step.section(u'@', 0, 0);
            runUntil(t), tickAt(t);
            name == u"chat" ? void(chatOpen = true)
                            : (events.at(name)(controller), events.at(name)(shadow));
        }
    }
    const PetScene &scene() const { return controller.scene(); }
};

} // namespace

class PetControllerTest final : public QObject
{
    Q_OBJECT

    static void row(const char *script, View view, Greeting greeting = {}, double actionTime = 0)
    {
        QTest::newRow(script) << view << greeting << actionTime;
    }

private Q_SLOTS:
    void restsThenWalksOutAndHome()
    {
        StderrCapture log;
        Pet pet;
        pet.runUntil(1000 + 19.99);
        // A resting pet asks nothing of the windows, and its ticks sleep.
        QVERIFY(pet.presented == 0 && pet.shadowTicks < 5);
        pet.runUntil(1000 + 21);
        const double gait = pet.controller.walkingTime();
        pet.tickAt(pet.now + 2.0); // a tick two seconds late moves the gait by 0.1 s only
        QCOMPARE(pet.scene().stepTime, gait + 0.1);
        pet.runUntil(1000 + 35);
        QCOMPARE(pet.scene().view, View::idle);
        QVERIFY(pet.controller.walkingTime() > 8); // the turn kept the gait going
        QStringList trip;
        for (const char *line : {"Pimlo movement: outward x=1198.7 home=1200.0 direction=-1",
                                 "Pimlo movement: returning x=1040.0 home=1200.0 direction=1",
                                 "Pimlo movement: idle x=1200.0 home=1200.0 direction=1"})
            trip << line << line; // the shadow's too
        QCOMPARE(log.lines("Pimlo movement:"), trip);
        while (pet.scene().view == View::idle) // the next trip starts its gait from zero
            pet.tickAt(pet.now + tick);
        QVERIFY(pet.controller.walkingTime() <= tick + 1e-9);
    }

    // The row's tag is the script; then the view shows, the greeting (if any) there, and an action
    // this far into it.
    void scripts_data()
    {
        QTest::addColumn<View>("view");
        QTest::addColumn<Greeting>("greeting");
        QTest::addColumn<double>("actionTime");
        row("tick@21", View::walking);      // 20 s after launch the pet sets off
        row("chat@0 tick@25", View::idle);  // not while the chat window is open
        row("nap@0 tick@0.99", View::idle); // the launch nap comes after a second
        row("nap@0 tick@1 tick@1.5", View::sleep, {}, 0.5);
        row("nap@0 press@0.99 click@1.5 tick@3", View::happy, {}, 1.5); // held then: skipped
        row("nap@0 menu@0.99 close@1.5 tick@3", View::idle);            // a menu open then: skipped
        row("happy@22 tick@23.59", View::happy, {}, 1.59);
        row("happy@22 tick@23.61", View::idle);
        row("happy@22 tick@30", View::idle);    // the walk it interrupted is abandoned
        row("happy@22 tick@44", View::walking); // 20 s after it ended, the pet sets off again
        row("sleep@22 tick@27.39", View::sleep, {}, 5.39);
        row("sleep@22 tick@27.41", View::idle);
        row("press@1 click@1 tick@2.7", View::idle);         // a click pets for 1.6 s, then lets go
        row("sleep@0 press@1 click@1 tick@1.1", View::idle); // wakes a sleeper, does not pet it
        // A drag wakes a sleeper for good: the next click pets it.
        row("sleep@0 press@1 drag@1 drop@1 press@2 click@2 tick@2.1", View::happy, {}, 0.1);
        row("chat@0 press@1 click@1 tick@1.1", View::idle); // with the chat open nothing plays
        row("sleep@0 greet@1 tick@1.1", View::idle, Point{1245, 234}); // a sleeper wakes to greet
        row("greet@1 tick@3.99", View::idle, Point{1245, 234});
        row("greet@1 tick@4", View::idle);                              // for three seconds
        row("greet@1 greet@3 tick@5.99", View::idle, Point{1245, 234}); // again: 3 s more from then
        row("greet@1 press@2 drag@2", View::idle, Point{745, 294});     // carried along at once
        // A menu a tray host shows holds the pet for 10 s at most, then the clocks move by them.
        row("greet@1 menu@2 tick@13.9", View::idle, Point{1245, 234});
        row("greet@1 menu@2 tick@14.1", View::idle);
    }
    void scripts()
    {
        QFETCH(View, view);
        QFETCH(Greeting, greeting);
        QFETCH(double, actionTime);
        Pet pet;
        pet.play(QTest::currentDataTag());
        QCOMPARE(pet.scene().view, view);
        QCOMPARE(pet.scene().greeting, greeting);
        if (view == View::happy || view == View::sleep)
            QCOMPARE(pet.scene().actionTime, actionTime);
    }

    // Centred over the pet, 6 points into its top, inside the visible frame.
    void greetingOrigin_data()
    {
        QTest::addColumn<Point>("pet");
        QTest::addColumn<Rect>("visibleFrame");
        QTest::addColumn<Point>("bubble");
        QTest::newRow("left edge") << Point{-90, 40} << screen << Point{0, 234};
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

    // A menu open for 60 s shifts everything by exactly that: afterwards the pet goes on as a
    // twin without the menu, 60 s later.
    void menuPause_data()
    {
        QTest::addColumn<QString>("running");
        QTest::newRow("walk") << "tick";
        for (const char *event : {"sleep", "happy", "greet"})
            QTest::newRow(event) << event;
    }
    void menuPause()
    {
        QFETCH(QString, running);
        Pet pet, twin;
        for (Pet *p : {&pet, &twin}) // actions end between ticks, not on one
            p->play(running + "@22.01 tick@23.02");
        const PetScene frozen = pet.scene();
        pet.menuShown = true; // as the pet's own menu is, so the pause lasts
        pet.play("menu@23.02 menu@53.02 tick@83.02"); // a second menu changes nothing
        QCOMPARE(pet.scene(), frozen);
        pet.play("close@83.02");
        for (int i = 0; i < 30 * 30; ++i) {
            pet.tickAt(pet.now + tick);
            twin.tickAt(twin.now + tick);
            const PetScene &a = pet.scene(), &b = twin.scene(); // alike but for rounding
            QVERIFY(a.view == b.view && a.greeting.has_value() == b.greeting.has_value() &&
                    qAbs(a.actionTime - b.actionTime) + qAbs(a.origin.x - b.origin.x) < 1e-6);
        }
        const double shift =
            pet.controller.motion().nextDeparture() - twin.controller.motion().nextDeparture();
        QVERIFY(qAbs(shift - 60) < 1e-6);
    }
};

QTEST_APPLESS_MAIN(PetControllerTest)
#include "PetControllerTest.moc"
