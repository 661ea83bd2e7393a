#include "pet/WalkMotion.h"

#include <QTest>

#include <cmath>
#include <random>

using namespace pimlo;

namespace {

// Random owner's inputs, including ones a real owner should never produce.
struct Inputs
{
    std::mt19937 random;

    double uniform(double lo, double hi) { return std::uniform_real_distribution(lo, hi)(random); }
    bool chance(double p) { return uniform(0, 1) < p; }
    double broken() { return chance(0.5) ? NAN : chance(0.5) ? INFINITY : -INFINITY; }
    // Some far away, some narrower or lower than the pet.
    Rect frame()
    {
        const double span = chance(0.1) ? 1e6 : 3000;
        const auto size = [&](double high) {
            return chance(0.2) ? uniform(0, 200) : uniform(200, high);
        };
        return makeRect(uniform(-span, span), uniform(-span, span), size(3000), size(2000));
    }
    // Mostly 30 Hz ticks; some stalls, closed lids and clocks running backwards.
    double timeStep()
    {
        const double r = uniform(0, 1);
        return r < 0.7 ? 1 / 30.0 : r < 0.85 ? uniform(0, 0.5) : r < 0.92 ? uniform(1, 1e5) : -r;
    }
    Point point()
    {
        Point p{uniform(-5000, 5000), uniform(-5000, 5000)};
        if (chance(0.05))
            (chance(0.5) ? p.x : p.y) = broken();
        return p;
    }
};

// What must hold after any operation, and on the frame of a tick that was applied.
const char *fault(const WalkMotion &m, const Rect *frame)
{
    for (const double v : {m.position.x, m.position.y, m.home.x, m.home.y, m.destinationX,
                           m.nextDeparture(), m.lastTime()}) {
        if (!std::isfinite(v))
            return "non-finite field";
    }
    if (std::abs(m.direction) != 1 || std::abs(m.preferredDirection()) != 1)
        return "direction not ±1";
    if (frame && (m.position != WalkMotion::clamped(m.position, *frame) ||
                  m.home != WalkMotion::clamped(m.home, *frame) || m.position.y != m.home.y))
        return "off the frame";
    return nullptr;
}

} // namespace

class WalkMotionPropertyTest : public QObject
{
    Q_OBJECT

private:
    // Left alone on one frame, the pet is home within one rest and a walk across the frame, and
    // home again after its next trip.
    void comesHome(WalkMotion m, double now, const Rect &frame)
    {
        m.endDrag(now);
        const double trip = 2 * WalkMotion::maxDistance / WalkMotion::speed + 1;
        double limit =
            std::max(now, m.nextDeparture()) + frame.size.width / WalkMotion::speed + trip;
        for (int round = 0; round < 2; ++round) {
            const double departure = m.nextDeparture();
            do {
                m.tick(now += 1 / 30.0, frame);
                QVERIFY2(now < limit, "not home");
            } while (m.phase != WalkMotion::Phase::idle || m.position != m.home ||
                     (round == 1 && m.nextDeparture() == departure));
            limit = m.nextDeparture() + trip;
        }
    }

private Q_SLOTS:
    void randomSequences_data()
    {
        QTest::addColumn<unsigned>("seed");
        for (const unsigned seed : {1u, 2u, 3u, 42u, 20240601u, 987654321u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void randomSequences()
    {
        QFETCH(unsigned, seed);
        Inputs in{std::mt19937(seed)};
        double now = in.uniform(0, 1e5);
        Rect frame = makeRect(0, 0, 1440, 900);
        WalkMotion m(in.point(), now);
        for (int i = 0; i < 6000; ++i) {
            const double op = in.uniform(0, 1);
            const char *error = nullptr;
            if (op < 0.75) {
                if (in.chance(0.02))
                    frame = in.frame();
                now += in.timeStep();
                if (in.chance(0.02)) { // a broken clock or screen reading
                    m.tick(in.chance(0.5) ? in.broken() : now,
                           in.chance(0.5) ? makeRect(0, 0, in.broken(), 900) : frame);
                } else {
                    m.tick(now, frame);
                    if (!m.isDragging)
                        error = fault(m, &frame);
                }
            } else if (op < 0.8) {
                m.beginDrag(now);
            } else if (op < 0.87) {
                const Point to = in.point();
                const Rect dragFrame = in.chance(0.8) ? frame : in.frame();
                m.drag(to, dragFrame);
                if (m.isDragging && !std::isnan(to.x) && !std::isnan(to.y) &&
                    m.position != WalkMotion::clamped(to, dragFrame))
                    error = "drag not clamped";
            } else if (op < 0.9) {
                m.endDrag(now);
            } else if (op < 0.94) {
                m.finishAction(in.chance(0.05) ? in.broken() : now);
            } else if (op < 0.97) {
                const double pause = in.chance(0.8)   ? in.uniform(0, 120)
                                     : in.chance(0.5) ? -5
                                                      : in.broken();
                m.shiftClock(pause);
                now += pause > 0 && std::isfinite(pause) ? pause : 0;
            } else {
                m.resumeAfterPause(now);
            }
            if (!error)
                error = fault(m, nullptr);
            QVERIFY2(!error, QByteArray("step ") + QByteArray::number(i) + ": " + error);
            if (i % 1000 == 999) {
                comesHome(m, now, frame);
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }

    void aDay_data()
    {
        QTest::addColumn<unsigned>("seed");
        for (const unsigned seed : {5u, 2024u})
            QTest::addRow("seed %u", seed) << seed;
    }

    // 24 hours of ticks at 30 Hz, driven as the pet's owner does: no ticks while held, paused,
    // playing or chatting. The pet stays on the frame, is home within a rest and a trip of any
    // change, and never rests longer than a rest where it has room to walk.
    void aDay()
    {
        QFETCH(unsigned, seed);
        Inputs in{std::mt19937(seed)};
        const double tick = 1 / 30.0;
        const double homeWithin =
            WalkMotion::restDuration + 2 * WalkMotion::maxDistance / WalkMotion::speed + 1;
        const double roomToWalk = WalkMotion::petSize + 48; // one side has the preferred 24
        Rect frame = makeRect(0, 0, 1440, 900);
        double now = 0, changed = 0, wasHome = 0, wasMoving = 0;
        WalkMotion m({1200, 40}, now);
        double next = 0;
        for (int ticks = 0; ticks < 24 * 3600 * 30; ++ticks) {
            m.tick(now += tick, frame);
            if (m.phase == WalkMotion::Phase::idle && m.position == m.home)
                wasHome = now;
            if (m.phase != WalkMotion::Phase::idle)
                wasMoving = now;
            const char *error = fault(m, &frame);
            if (!error && now - std::max(wasHome, changed) > homeWithin)
                error = "not home";
            if (!error && frame.size.width >= roomToWalk &&
                now - std::max(wasMoving, changed) > WalkMotion::restDuration + 2 * tick)
                error = "rests too long";
            if (error)
                QFAIL(qPrintable(QString("%1 s: %2").arg(now).arg(error)));
            if (now < next)
                continue;
            const double op = in.uniform(0, 1);
            if (op < 0.3) { // a drag to a new home, maybe off the frame
                m.beginDrag(now);
                Point to;
                for (int moves = 1 + int(in.uniform(0, 30)); moves > 0; --moves) {
                    to = {frame.minX() + in.uniform(-300, frame.size.width + 300),
                          frame.minY() + in.uniform(-300, frame.size.height + 300)};
                    m.drag(to, frame);
                    now += in.uniform(0.01, 0.2);
                }
                m.endDrag(now);
                QVERIFY(m.home == WalkMotion::clamped(to, frame) && m.position == m.home);
            } else if (op < 0.55) { // a menu held open
                const double pause = in.uniform(0, 120);
                m.shiftClock(pause);
                now += pause;
            } else if (op < 0.75) { // an action played or a chat held open
                now += in.chance(0.7) ? in.uniform(1, 6) : in.uniform(10, 900);
                m.finishAction(now);
            } else { // another screen, or the same one resized or rearranged
                frame = in.frame();
            }
            changed = now;
            next = now + in.uniform(0, 300);
        }
    }
};

QTEST_APPLESS_MAIN(WalkMotionPropertyTest)
#include "WalkMotionPropertyTest.moc"
