#include "pet/WalkMotion.h"

#include <QTest>

#include <cmath>

using namespace pimlo;
using Phase = WalkMotion::Phase;

namespace {

const Rect screen = makeRect(0, 0, 1440, 900);

// Drives a motion with the owner's 30 Hz ticks; time is n / 30 so that whole seconds are exact.
struct Ticker
{
    WalkMotion motion;
    Rect frame = screen;
    int n = 0;

    double now() const { return n / 30.0; }
    void tick() { motion.tick(++n / 30.0, frame); }
    bool isFirstTickAt(double time) const { return now() >= time && (n - 1) / 30.0 < time; }
    // Ticks until the phase changes; false if it has not within a minute.
    bool untilPhaseChanges()
    {
        const Phase start = motion.phase;
        for (int i = 0; i < 1800 && motion.phase == start; ++i)
            tick();
        return motion.phase != start;
    }
};

// A pet walking out from 1200, a second into its first trip.
Ticker walkingPet()
{
    Ticker t{WalkMotion({1200, 100}, 0)};
    t.untilPhaseChanges();
    for (int i = 0; i < 30; ++i)
        t.tick();
    return t;
}

} // namespace

class WalkMotionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A NaN destination: no room to walk, so the pet rests again and keeps its preferred side.
    void trips_data()
    {
        QTest::addColumn<Rect>("frame");
        QTest::addColumn<double>("homeX");
        QTest::addColumn<QList<double>>("destinations");
        QTest::newRow("alternating sides") << screen << 1200.0 << QList{1040.0, 1240.0, 1040.0};
        QTest::newRow("right under 24") << screen << 1230.0 << QList{1070.0, 1070.0, 1070.0};
        QTest::newRow("both under 24") << makeRect(0, 0, 220, 900) << 10.0 << QList{20.0, 20.0};
        // home.x + room rounds past the right edge here.
        QTest::newRow("rounding at right edge")
            << makeRect(-231.3, 0, 467.8, 900) << -40.9 << QList{-200.9, 36.5, -200.9};
        const QList<double> noRoom{NAN, NAN, NAN};
        QTest::newRow("exactly pet wide") << makeRect(0, 0, 200, 900) << 0.0 << noRoom;
        QTest::newRow("narrower than pet") << makeRect(0, 0, 150, 900) << 0.0 << noRoom;
        QTest::newRow("under a point each side") << makeRect(0, 0, 201, 900) << 0.5 << noRoom;
    }

    // Each trip leaves on the first tick at or after its departure and moves on it, never
    // overshoots, lands exactly on home and rests 20 s.
    void trips()
    {
        QFETCH(Rect, frame);
        QFETCH(double, homeX);
        QFETCH(QList<double>, destinations);
        const Point home{homeX, 100};
        Ticker t{WalkMotion(home, 0), frame};
        for (const double destination : destinations) {
            const double departure = t.motion.nextDeparture();
            while (t.motion.phase == Phase::idle && t.motion.nextDeparture() == departure &&
                   t.now() < departure + 1) {
                QCOMPARE(t.motion.position, home);
                t.tick();
            }
            QVERIFY(t.isFirstTickAt(departure));
            if (std::isnan(destination)) {
                QCOMPARE(t.motion.phase, Phase::idle);
                QCOMPARE(t.motion.nextDeparture(), t.now() + 20);
                QCOMPARE(t.motion.preferredDirection(), std::int64_t{-1});
                continue;
            }
            QCOMPARE(t.motion.phase, Phase::outward);
            QCOMPARE(t.motion.destinationX, destination);
            QVERIFY(WalkMotion::clamped({destination, 0}, frame).x == t.motion.destinationX);
            const std::int64_t out = destination < homeX ? -1 : 1;
            QCOMPARE(t.motion.direction, out);
            QVERIFY(t.motion.position.x != homeX);
            const double start = t.now();
            while (t.motion.phase != Phase::idle && t.now() - start < 20) {
                t.tick();
                const double x = t.motion.position.x;
                QVERIFY2(x >= std::min(homeX, destination) && x <= std::max(homeX, destination),
                         qPrintable(QString::number(x)));
                if (t.motion.phase == Phase::returning)
                    QCOMPARE(t.motion.direction, -out);
            }
            QCOMPARE(t.motion.position, home);
            QCOMPARE(t.motion.nextDeparture(), t.now() + 20);
        }
    }

    void step_data()
    {
        QTest::addColumn<double>("dt");
        QTest::addColumn<double>("moved");
        QTest::newRow("30 Hz") << 1 / 30.0 << 38 / 30.0;
        QTest::newRow("2 s stall") << 2.0 << 3.8;
        QTest::newRow("backwards") << -0.5 << 0.0;
    }

    void step()
    {
        QFETCH(double, dt);
        QFETCH(double, moved);
        Ticker t = walkingPet();
        const double x = t.motion.position.x;
        t.motion.tick(t.now() + dt, screen);
        QCOMPARE(t.motion.phase, Phase::outward);
        QCOMPARE(x - t.motion.position.x, moved);
    }

    void dragAndDropMakesNewHome()
    {
        Ticker t = walkingPet();
        const WalkMotion before = t.motion;
        t.motion.drag({500, 300}, screen);
        t.motion.endDrag(t.now());
        QVERIFY(t.motion == before); // not held: both ignored

        t.motion.beginDrag(t.now());
        t.motion.drag({500, 300}, screen);
        t.tick();
        t.motion.drag({NAN, 400}, screen);
        QCOMPARE(t.motion.position, (Point{500, 300}));
        t.motion.endDrag(t.now());
        const double dropped = t.now();
        QCOMPARE(t.motion.home, (Point{500, 300}));
        QVERIFY(t.untilPhaseChanges() && t.isFirstTickAt(dropped + 20));
        QCOMPARE(t.motion.destinationX, 660.0);
    }

    void clampsToFrame_data()
    {
        QTest::addColumn<Point>("p");
        QTest::addColumn<Rect>("frame");
        QTest::addColumn<Point>("expected");
        QTest::newRow("past top right") << Point{1439, 899} << screen << Point{1240, 700};
        QTest::newRow("past bottom left") << Point{-50, -9} << screen << Point{0, 0};
        QTest::newRow("narrow frame")
            << Point{300, 400} << makeRect(100, 0, 150, 900) << Point{100, 400};
        QTest::newRow("low frame")
            << Point{300, 400} << makeRect(0, 30, 1440, 120) << Point{300, 30};
        // A NaN home lands on the edge; a drag to NaN is ignored.
        QTest::newRow("NaN") << Point{NAN, NAN} << screen << Point{0, 0};
    }

    // A home outside the frame (a shrunken screen) is pulled in on the next tick, and a drag
    // stops at the same edges.
    void clampsToFrame()
    {
        QFETCH(Point, p);
        QFETCH(Rect, frame);
        QFETCH(Point, expected);
        Ticker t{WalkMotion(p, NAN), frame}; // a NaN start time counts as 0
        t.tick();
        QCOMPARE(t.motion.phase, Phase::idle);
        QCOMPARE(t.motion.home, expected);
        QCOMPARE(t.motion.position, expected);
        t.motion.beginDrag(1);
        t.motion.drag(p, frame);
        QCOMPARE(t.motion.position, expected);
    }

    // An action stops the pet mid-trip; after the rest it walks home from there.
    void finishActionAwayFromHome()
    {
        Ticker t = walkingPet();
        t.motion.finishAction(t.now());
        const double finished = t.now();
        QVERIFY(t.untilPhaseChanges() && t.isFirstTickAt(finished + 20));
        QCOMPARE(t.motion.phase, Phase::returning);
        QVERIFY(t.untilPhaseChanges());
        QCOMPARE(t.motion.position, t.motion.home);
    }

    void shiftClock_data()
    {
        QTest::addColumn<double>("by");
        QTest::addColumn<double>("shift");
        QTest::newRow("60 s") << 60.0 << 60.0;
        QTest::newRow("negative") << -5.0 << 0.0;
        QTest::newRow("NaN") << double(NAN) << 0.0;
        QTest::newRow("infinite") << double(INFINITY) << 0.0; // would stop the pet for good
    }

    void shiftClock()
    {
        QFETCH(double, by);
        QFETCH(double, shift);
        WalkMotion m({1200, 100}, 10);
        const WalkMotion expected({1200, 100}, 10 + shift);
        m.shiftClock(by);
        QCOMPARE(m.nextDeparture(), expected.nextDeparture());
        QVERIFY(m == expected);
    }

    // The raw strings are stored, so they must not change.
    void phaseRawValues()
    {
        const std::pair<Phase, std::string_view> all[] = {
            {Phase::idle, "idle"}, {Phase::outward, "outward"}, {Phase::returning, "returning"}};
        for (const auto &[phase, raw] : all)
            QVERIFY(rawValue(phase) == raw && phaseFromString(raw) == phase);
        QVERIFY(!phaseFromString("OUTWARD") && !phaseFromString(" outward"));
    }
};

QTEST_APPLESS_MAIN(WalkMotionTest)
#include "WalkMotionTest.moc"
