#include "pet/WalkMotion.h"

#include <QTest>

#include <cmath>
#include <random>

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

class WalkMotionTest final : public QObject
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
        QCOMPARE(t.motion.nextDeparture(), 20.0); // a rest comes first
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
        Ticker t = walkingPet();
        const double x = t.motion.position.x;
        t.motion.tick(t.now() + dt, screen);
        QCOMPARE(t.motion.phase, Phase::outward);
        QTEST(x - t.motion.position.x, "moved");
    }

    void aDay_data()
    {
        QTest::addColumn<unsigned>("seed");
        for (const unsigned seed : {5u, 2024u})
            QTest::addRow("seed %u", seed) << seed;
    }

    // 24 hours of ticks at 30 Hz, driven as the pet's owner does (no ticks while held, paused,
    // playing or chatting) and now and then with broken clock, screen and pointer readings. The
    // pet stays on the frame, is home within a rest and a trip of any change, and never rests
    // longer than a rest where it has room to walk.
    void aDay()
    {
        QFETCH(unsigned, seed);
        std::mt19937 random(seed);
        const auto uniform = [&](double lo, double hi) {
            return std::uniform_real_distribution(lo, hi)(random);
        };
        const auto chance = [&](double p) { return uniform(0, 1) < p; };
        const auto broken = [&] { return chance(0.5) ? NAN : chance(0.5) ? INFINITY : -INFINITY; };
        // Some far away, some narrower or lower than the pet.
        const auto anyFrame = [&] {
            const double span = chance(0.1) ? 1e6 : 3000;
            const auto size = [&](double high) { return uniform(0, chance(0.2) ? 200 : high); };
            return makeRect(uniform(-span, span), uniform(-span, span), size(3000), size(2000));
        };
        const double tick = 1 / 30.0;
        const double homeWithin =
            WalkMotion::restDuration + 2 * WalkMotion::maxDistance / WalkMotion::speed + 1;
        const double roomToWalk = petSize + 48; // one side has the preferred 24
        Rect frame = screen;
        double now = 0, changed = 0, wasHome = 0, wasMoving = 0, next = 0;
        WalkMotion m({NAN, 40}, NAN); // a broken saved home and clock: the left edge, time 0
        // A pet window with its origin at p shows whole, or pinned to the left or bottom edge.
        const auto inside = [&](Point p) {
            return p.x >= frame.minX() && p.x <= std::max(frame.minX(), frame.maxX() - petSize) &&
                   p.y >= frame.minY() && p.y <= std::max(frame.minY(), frame.maxY() - petSize);
        };
        for (int ticks = 0; ticks < 24 * 3600 * 30; ++ticks) {
            m.tick(now += tick, frame);
            if (m.phase == Phase::idle && m.position == m.home)
                wasHome = now;
            if (m.phase != Phase::idle)
                wasMoving = now;
            const char *error = nullptr;
            for (const double v : {m.position.x, m.position.y, m.home.x, m.home.y, m.destinationX,
                                   m.nextDeparture(), m.lastTime()})
                if (!std::isfinite(v))
                    error = "non-finite field";
            if (!inside(m.position) || !inside(m.home) || m.position.y != m.home.y)
                error = "off the frame";
            if (now - std::max(wasHome, changed) > homeWithin)
                error = "not home";
            if (frame.size.width >= roomToWalk &&
                now - std::max(wasMoving, changed) > WalkMotion::restDuration + 2 * tick)
                error = "rests too long";
            if (error)
                QFAIL(qPrintable(QString("%1 s: %2").arg(now).arg(error)));
            if (now < next)
                continue;
            const double op = uniform(0, 1);
            if (op < 0.3) { // a drag to a new home, maybe off the frame or to no point at all
                m.beginDrag(now);
                for (int moves = 1 + int(uniform(0, 30)); moves > 0; --moves) {
                    Point to{frame.minX() + uniform(-300, frame.size.width + 300),
                             frame.minY() + uniform(-300, frame.size.height + 300)};
                    if (chance(0.05))
                        (chance(0.5) ? to.x : to.y) = broken();
                    const Point from = m.position;
                    m.drag(to, frame);
                    if (std::isnan(to.x + to.y)
                            ? m.position != from
                            : m.position != WalkMotion::clamped(to, frame) || !inside(m.position))
                        QFAIL("not dragged to the nearest point inside the frame");
                    now += uniform(0.01, 0.2);
                }
                m.endDrag(now); // the drop point is home, and a whole rest starts there
                QVERIFY(m.home == m.position &&
                        m.nextDeparture() == now + WalkMotion::restDuration);
            } else if (op < 0.5) { // a menu held open, or a broken pause
                const double pause = chance(0.9) ? uniform(0, 120) : broken(),
                             due = m.nextDeparture();
                const double by = chance(0.05) ? -pause : pause;
                m.shiftClock(by);
                QCOMPARE(m.nextDeparture(), due + (by > 0 && std::isfinite(by) ? by : 0));
                now += std::isfinite(pause) ? pause : 0;
            } else if (op < 0.65) { // an action played or a chat held open
                now += chance(0.7) ? uniform(1, 6) : uniform(10, 900);
                m.finishAction(chance(0.05) ? broken() : now);
            } else if (op < 0.7) { // a broken clock or screen reading, taken as a missed tick
                m.tick(chance(0.5) ? broken() : now,
                       chance(0.5) ? makeRect(0, 0, broken(), 900) : frame);
            } else if (op < 0.75) { // the machine suspended
                now += uniform(1, 1e5);
            } else { // another screen, or the same one resized or rearranged
                frame = anyFrame();
            }
            changed = now;
            next = now + uniform(0, 300);
        }
    }
};

QTEST_APPLESS_MAIN(WalkMotionTest)
#include "WalkMotionTest.moc"
