#include "pet/WalkMotion.h"

#include <QTest>

#include <cmath>
#include <limits>

namespace pimlo {
char *toString(const Point &p)
{
    return QTest::toString(QStringLiteral("(%1, %2)").arg(p.x, 0, 'g', 17).arg(p.y, 0, 'g', 17));
}
} // namespace pimlo

using namespace pimlo;
using Phase = WalkMotion::Phase;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
const Rect screen = makeRect(0, 0, 1440, 900);

// Drives a motion with the owner's 30 Hz ticks; time is n / 30 so that whole seconds are exact.
struct Ticker
{
    WalkMotion motion;
    Rect frame = screen;
    int n = 0;

    double now() const { return n / 30.0; }
    void tick() { motion.tick(++n / 30.0, frame); }
    // The current tick is the first one at or after time.
    bool isFirstTickAt(double time) const { return now() >= time && (n - 1) / 30.0 < time; }
    // Ticks until the phase changes; false if it has not after the given seconds.
    bool untilPhaseChanges(double seconds = 60)
    {
        const Phase start = motion.phase;
        for (int i = 0; i < seconds * 30; ++i) {
            tick();
            if (motion.phase != start)
                return true;
        }
        return false;
    }
};

// A pet walking out from 1200, some way into its first trip.
Ticker walkingPet(int ticksOut = 30)
{
    Ticker t{WalkMotion({1200, 100}, 0)};
    t.untilPhaseChanges();
    for (int i = 0; i < ticksOut; ++i)
        t.tick();
    return t;
}

} // namespace

class WalkMotionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trips_data()
    {
        QTest::addColumn<double>("frameX");
        QTest::addColumn<double>("frameWidth");
        QTest::addColumn<double>("homeX");
        QTest::addColumn<QList<double>>("destinations");
        QTest::newRow("alternating sides")
            << 0.0 << 1440.0 << 1200.0 << QList{1040.0, 1240.0, 1040.0};
        QTest::newRow("right too small")
            << 0.0 << 1440.0 << 1230.0 << QList{1070.0, 1070.0, 1070.0};
        QTest::newRow("home on left edge") << 0.0 << 1440.0 << 0.0 << QList{160.0, 160.0, 160.0};
        QTest::newRow("cramped both sides") << 0.0 << 220.0 << 10.0 << QList{20.0, 20.0, 20.0};
        QTest::newRow("screen left of main")
            << -1440.0 << 1440.0 << -300.0 << QList{-460.0, -200.0, -460.0};
        // home.x + room rounds past the right edge here.
        QTest::newRow("rounding at right edge")
            << -231.3 << 467.8 << -40.9 << QList{-200.9, 36.5, -200.9};
    }

    // Each trip leaves at the first tick at or after the departure time and moves on it, goes out
    // without overshooting, lands exactly on home and rests 20 s.
    void trips()
    {
        QFETCH(double, frameX);
        QFETCH(double, frameWidth);
        QFETCH(double, homeX);
        QFETCH(QList<double>, destinations);
        const Point home{homeX, 100};
        Ticker t{WalkMotion(home, 0), makeRect(frameX, 0, frameWidth, 900)};
        for (const double destination : destinations) {
            const double departure = t.motion.nextDeparture();
            QVERIFY(t.untilPhaseChanges());
            QCOMPARE(t.motion.phase, Phase::outward);
            QVERIFY(t.isFirstTickAt(departure));
            QCOMPARE(t.motion.destinationX, destination);
            const double destinationX = t.motion.destinationX;
            QVERIFY(WalkMotion::clamped({destinationX, 0}, t.frame).x == destinationX);
            const std::int64_t out = destination < homeX ? -1 : 1;
            QCOMPARE(t.motion.direction, out);
            QVERIFY(t.motion.position.x != homeX);
            const double start = t.now();

            const double low = std::min(homeX, destinationX);
            const double high = std::max(homeX, destinationX);
            while (t.motion.phase != Phase::idle) {
                const Phase before = t.motion.phase;
                t.tick();
                QVERIFY2(t.motion.position.x >= low && t.motion.position.x <= high,
                         qPrintable(QString::number(t.motion.position.x)));
                if (before == Phase::outward && t.motion.phase == Phase::returning) {
                    QVERIFY(t.motion.position.x == destinationX);
                    QCOMPARE(t.motion.direction, -out);
                }
                QVERIFY(t.now() - start < 20);
            }
            QCOMPARE(t.motion.position, home);
            QCOMPARE(t.motion.direction, -out);
            QVERIFY(std::abs(t.now() - start - 2 * std::abs(destination - homeX) / 38) < 0.07);
            QCOMPARE(t.motion.nextDeparture(), t.now() + 20);
        }
    }

    void step_data()
    {
        QTest::addColumn<double>("dt");
        QTest::addColumn<double>("moved");
        QTest::newRow("30 Hz") << 1 / 30.0 << 38 / 30.0;
        QTest::newRow("cap") << 0.1 << 3.8;
        QTest::newRow("2 s stall") << 2.0 << 3.8;
        QTest::newRow("same time") << 0.0 << 0.0;
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
        QCOMPARE(t.motion.lastTime(), t.now() + dt);
    }

    void dragAndDropMakesNewHome()
    {
        Ticker t = walkingPet();
        const WalkMotion before = t.motion;
        t.motion.drag({500, 300}, screen);
        t.motion.endDrag(t.now());
        QVERIFY(t.motion == before);

        t.motion.beginDrag(t.now());
        QVERIFY(t.motion.isDragging);
        QCOMPARE(t.motion.phase, Phase::idle);
        t.motion.drag({500, 300}, screen);
        t.tick();
        t.tick();
        QCOMPARE(t.motion.position, (Point{500, 300}));
        QCOMPARE(t.motion.home, before.home);
        QCOMPARE(t.motion.lastTime(), t.now());

        t.motion.endDrag(t.now());
        QVERIFY(!t.motion.isDragging);
        QCOMPARE(t.motion.home, (Point{500, 300}));
        QCOMPARE(t.motion.destinationX, 500.0);
        const double dropped = t.now();
        QVERIFY(t.untilPhaseChanges());
        QVERIFY(t.isFirstTickAt(dropped + 20));
        QCOMPARE(t.motion.destinationX, 660.0);
    }

    void dragClamps_data()
    {
        QTest::addColumn<Point>("to");
        QTest::addColumn<Rect>("frame");
        QTest::addColumn<Point>("expected");
        QTest::newRow("inside") << Point{300, 400} << screen << Point{300, 400};
        QTest::newRow("past top right") << Point{1439, 899} << screen << Point{1240, 700};
        QTest::newRow("past bottom left") << Point{-50, -9} << screen << Point{0, 0};
        QTest::newRow("far away") << Point{infinity, -infinity} << screen << Point{1240, 0};
        QTest::newRow("second screen")
            << Point{1000, 50} << makeRect(1440, 40, 1920, 1040) << Point{1440, 50};
        QTest::newRow("narrow frame")
            << Point{300, 400} << makeRect(100, 0, 150, 900) << Point{100, 400};
        QTest::newRow("low frame")
            << Point{300, 400} << makeRect(0, 30, 1440, 120) << Point{300, 30};
        QTest::newRow("NaN point ignored") << Point{notANumber, 400} << screen << Point{1100, 100};
        QTest::newRow("NaN frame ignored")
            << Point{300, 400} << makeRect(0, 0, notANumber, 900) << Point{1100, 100};
    }

    void dragClamps()
    {
        QFETCH(Point, to);
        QFETCH(Rect, frame);
        QFETCH(Point, expected);
        WalkMotion m({1100, 100}, 0);
        m.beginDrag(1);
        m.drag(to, frame);
        QCOMPARE(m.position, expected);
    }

    void shrunkenFramePullsHomeIn()
    {
        Ticker t{WalkMotion({1200, 600}, 0)};
        t.tick();
        t.frame = makeRect(0, 0, 800, 500);
        t.tick();
        QCOMPARE(t.motion.home, (Point{600, 300}));
        QCOMPARE(t.motion.position, t.motion.home);
    }

    void noRoomRestsAndRetries_data()
    {
        QTest::addColumn<double>("frameWidth");
        QTest::addColumn<double>("homeX");
        QTest::newRow("exactly pet wide") << 200.0 << 0.0;
        QTest::newRow("narrower than pet") << 150.0 << 40.0;
        QTest::newRow("under a point each side") << 201.0 << 0.5;
    }

    void noRoomRestsAndRetries()
    {
        QFETCH(double, frameWidth);
        QFETCH(double, homeX);
        Ticker t{WalkMotion({homeX, 0}, 0), makeRect(0, 0, frameWidth, 900)};
        t.tick();
        const Point home = t.motion.position;
        QCOMPARE(home.x, std::min(homeX, std::max(0.0, frameWidth - 200)));
        for (int retry = 1; retry <= 5; ++retry) {
            const double departure = t.motion.nextDeparture();
            for (int i = 0; i < 700 && t.motion.nextDeparture() == departure; ++i) {
                t.tick();
                QCOMPARE(t.motion.phase, Phase::idle);
                QCOMPARE(t.motion.position, home);
            }
            QVERIFY(t.isFirstTickAt(departure));
            QCOMPARE(t.motion.nextDeparture(), t.now() + 20);
            QCOMPARE(t.motion.preferredDirection(), std::int64_t{-1});
        }
    }

    // An action stops the pet mid-trip; after the rest it walks home from there.
    void finishActionAwayFromHome()
    {
        Ticker t = walkingPet(60);
        const Point spot = t.motion.position;
        t.motion.finishAction(t.now());
        const double finished = t.now();
        QVERIFY(t.untilPhaseChanges());
        QVERIFY(t.isFirstTickAt(finished + 20));
        QCOMPARE(t.motion.phase, Phase::returning);
        QCOMPARE(t.motion.direction, std::int64_t{1});
        QVERIFY(t.motion.position.x > spot.x);
        QVERIFY(t.untilPhaseChanges());
        QCOMPARE(t.motion.position, t.motion.home);
    }

    void shiftClock_data()
    {
        QTest::addColumn<double>("by");
        QTest::addColumn<double>("shift");
        QTest::newRow("60 s") << 60.0 << 60.0;
        QTest::newRow("negative") << -5.0 << 0.0;
        QTest::newRow("NaN") << notANumber << 0.0;
        QTest::newRow("infinite") << infinity << 0.0;
    }

    void shiftClock()
    {
        QFETCH(double, by);
        QFETCH(double, shift);
        WalkMotion m({1200, 100}, 0);
        m.finishAction(10);
        WalkMotion expected = m;
        expected.finishAction(10 + shift);
        m.shiftClock(by);
        QCOMPARE(m.lastTime(), 10 + shift);
        QCOMPARE(m.nextDeparture(), 30 + shift);
        QVERIFY(m == expected);
    }

    // A broken clock or screen reading skips the tick instead of spreading into the fields.
    void brokenReadingsSkipTick_data()
    {
        QTest::addColumn<double>("now");
        QTest::addColumn<Rect>("frame");
        QTest::newRow("NaN time") << notANumber << screen;
        QTest::newRow("infinite time") << infinity << screen;
        QTest::newRow("minus infinite time") << -infinity << screen;
        QTest::newRow("NaN width") << 10.0 << makeRect(0, 0, notANumber, 900);
        QTest::newRow("NaN y") << 10.0 << makeRect(0, notANumber, 1440, 900);
        QTest::newRow("infinite height") << 10.0 << makeRect(0, 0, 1440, infinity);
    }

    void brokenReadingsSkipTick()
    {
        QFETCH(double, now);
        QFETCH(Rect, frame);
        Ticker t = walkingPet();
        const WalkMotion before = t.motion;
        t.motion.tick(now, frame);
        QVERIFY(t.motion == before);
        t.motion.finishAction(now);
        QVERIFY(std::isfinite(t.motion.lastTime()) && std::isfinite(t.motion.nextDeparture()));
        t.tick();
        QCOMPARE(t.motion.position, before.position);
    }

    void nanPositionRepairedOnTick()
    {
        WalkMotion m({notANumber, notANumber}, notANumber);
        QCOMPARE(m.nextDeparture(), 20.0);
        m.tick(1, makeRect(30, 40, 1000, 800));
        QCOMPARE(m.home, (Point{30, 40}));
        QCOMPARE(m.position, m.home);
    }

    void phaseFromString_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<Phase>("phase");
        QTest::newRow("idle") << "idle" << true << Phase::idle;
        QTest::newRow("outward") << "outward" << true << Phase::outward;
        QTest::newRow("returning") << "returning" << true << Phase::returning;
        QTest::newRow("capitals") << "OUTWARD" << false << Phase::idle;
        QTest::newRow("empty") << "" << false << Phase::idle;
        QTest::newRow("padded") << " outward" << false << Phase::idle;
    }

    void phaseFromString()
    {
        QFETCH(QString, raw);
        QFETCH(bool, valid);
        QFETCH(Phase, phase);
        const QByteArray utf8 = raw.toUtf8();
        const auto parsed = pimlo::phaseFromString(std::string_view(utf8.data(), utf8.size()));
        QCOMPARE(parsed.has_value(), valid);
        if (valid) {
            QCOMPARE(*parsed, phase);
            QCOMPARE(rawValue(phase), std::string_view(utf8.data(), utf8.size()));
        }
    }
};

QTEST_APPLESS_MAIN(WalkMotionTest)
#include "WalkMotionTest.moc"
