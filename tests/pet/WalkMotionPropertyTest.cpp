#include "pet/WalkMotion.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <random>

using namespace pimlo;
using Phase = WalkMotion::Phase;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

bool isUsable(const Rect &r)
{
    return std::isfinite(r.minX()) && std::isfinite(r.maxX()) && std::isfinite(r.minY()) &&
           std::isfinite(r.maxY());
}

bool isUnit(std::int64_t v)
{
    return v == -1 || v == 1;
}

// Random owners' inputs, including the ones a real owner should never produce.
class Inputs
{
public:
    explicit Inputs(unsigned seed) : m_random(seed) {}

    double uniform(double low, double high)
    {
        return std::uniform_real_distribution<double>(low, high)(m_random);
    }
    bool chance(double p) { return uniform(0, 1) < p; }
    double broken() { return chance(0.5) ? notANumber : (chance(0.5) ? infinity : -infinity); }

    Rect frame()
    {
        if (chance(0.05))
            return chance(0.5) ? makeRect(0, 0, broken(), 900) : makeRect(broken(), 0, 1440, 900);
        const double span = chance(0.1) ? 1e6 : 3000;
        const double x = uniform(-span, span), y = uniform(-span, span);
        switch (static_cast<int>(uniform(0, 5))) {
        case 0:
            return makeRect(x, y, uniform(0, 200), uniform(0, 2000)); // narrower than the pet
        case 1:
            return makeRect(x, y, uniform(200, 3000), uniform(0, 200)); // lower than the pet
        case 2:
            return makeRect(x, y, 200, 200);
        default:
            return makeRect(x, y, uniform(200, 3000), uniform(200, 2000));
        }
    }

    Rect usableFrame()
    {
        Rect r = frame();
        while (!isUsable(r))
            r = frame();
        return r;
    }

    double timeStep()
    {
        const double r = uniform(0, 1);
        if (r < 0.7)
            return 1 / 30.0;
        if (r < 0.85)
            return uniform(0, 0.5);
        if (r < 0.92)
            return uniform(1, 1e5); // a closed lid
        return uniform(-1, 0);
    }

    Point point()
    {
        Point p{uniform(-5000, 5000), uniform(-5000, 5000)};
        if (chance(0.05))
            (chance(0.5) ? p.x : p.y) = broken();
        return p;
    }

private:
    std::mt19937 m_random;
};

QString describe(const WalkMotion &m)
{
    return QStringLiteral(
               "phase=%1 pos=(%2,%3) home=(%4,%5) dest=%6 dir=%7 pref=%8 next=%9 last=%10")
        .arg(QString::fromLatin1(rawValue(m.phase)))
        .arg(m.position.x)
        .arg(m.position.y)
        .arg(m.home.x)
        .arg(m.home.y)
        .arg(m.destinationX)
        .arg(m.direction)
        .arg(m.preferredDirection())
        .arg(m.nextDeparture())
        .arg(m.lastTime());
}

// What holds after any operation; empty if all is well.
QString brokenInvariant(const WalkMotion &m)
{
    for (const double v : {m.position.x, m.position.y, m.home.x, m.home.y, m.destinationX,
                           m.nextDeparture(), m.lastTime()}) {
        if (!std::isfinite(v))
            return QStringLiteral("non-finite field");
    }
    if (!isUnit(m.direction) || !isUnit(m.preferredDirection()))
        return QStringLiteral("direction not ±1");
    return {};
}

// What holds after a tick that was applied with a usable frame.
QString brokenOnScreen(const WalkMotion &m, const Rect &frame)
{
    if (m.position != WalkMotion::clamped(m.position, frame))
        return QStringLiteral("position off the frame");
    if (m.home != WalkMotion::clamped(m.home, frame))
        return QStringLiteral("home off the frame");
    if (m.position.y != m.home.y)
        return QStringLiteral("off the home line");
    if (m.destinationX != WalkMotion::clamped({m.destinationX, frame.minY()}, frame).x)
        return QStringLiteral("destination off the frame");
    return {};
}

} // namespace

class WalkMotionPropertyTest : public QObject
{
    Q_OBJECT

private:
    // Left alone on one frame, the pet is home within one rest and two walks across the frame,
    // rests there until it leaves, and is home again after the next trip.
    void comesHome(WalkMotion m, double now, const Rect &frame)
    {
        if (m.isDragging)
            m.endDrag(now);
        int n = 0;
        const auto time = [&] { return now + n / 30.0; };
        const double width = std::max(0.0, frame.maxX() - frame.minX());
        const double reach = 2 * WalkMotion::maxDistance / WalkMotion::speed + 1;
        const double limit =
            now + std::max(0.0, m.nextDeparture() - now) + width / WalkMotion::speed + reach;
        do {
            ++n;
            m.tick(time(), frame);
            QVERIFY2(time() < limit, qPrintable(describe(m)));
        } while (m.phase != Phase::idle || m.position != m.home);
        const Point home = m.home;
        const double departure = m.nextDeparture();
        while (now + (n + 1) / 30.0 < departure) {
            ++n;
            m.tick(time(), frame);
            QVERIFY2(m.phase == Phase::idle && m.position == home, qPrintable(describe(m)));
        }
        do {
            ++n;
            m.tick(time(), frame);
            QVERIFY2(time() < departure + reach, qPrintable(describe(m)));
        } while (m.phase != Phase::idle || m.nextDeparture() == departure);
        QVERIFY2(m.position == home, qPrintable(describe(m)));
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
        Inputs in(seed);
        double now = in.uniform(0, 1e5);
        Rect frame = in.usableFrame();
        WalkMotion m(in.point(), now);
        // The frame of the last applied tick, while nothing but walking has moved the pet since.
        bool isSettled = false;
        Rect settled;

        for (int i = 0; i < 6000; ++i) {
            const WalkMotion before = m;
            const double op = in.uniform(0, 1);
            const char *name = "tick";
            QString error;
            if (op < 0.75) {
                if (in.chance(0.02))
                    frame = in.frame();
                now += in.timeStep();
                const double t = in.chance(0.01) ? in.broken() : now;
                m.tick(t, frame);
                if (std::isfinite(t) && isUsable(frame) && !m.isDragging) {
                    error = brokenOnScreen(m, frame);
                    if (error.isEmpty() && isSettled && settled == frame &&
                        (std::abs(m.position.x - before.position.x) > 3.8 + 1e-9 ||
                         m.position.y != before.position.y))
                        error = QStringLiteral("jumped");
                    settled = frame;
                    isSettled = true;
                }
            } else if (op < 0.8) {
                name = "beginDrag";
                m.beginDrag(now);
                isSettled = false;
            } else if (op < 0.87) {
                name = "drag";
                const Point to = in.point();
                const Rect dragFrame = in.chance(0.8) ? frame : in.frame();
                m.drag(to, dragFrame);
                if (m.isDragging && isUsable(dragFrame) && !std::isnan(to.x) && !std::isnan(to.y) &&
                    m.position != WalkMotion::clamped(to, dragFrame))
                    error = QStringLiteral("drag not clamped");
                isSettled = false;
            } else if (op < 0.9) {
                name = "endDrag";
                m.endDrag(now);
                isSettled = false;
            } else if (op < 0.94) {
                name = "finishAction";
                m.finishAction(in.chance(0.05) ? in.broken() : now);
            } else if (op < 0.97) {
                name = "shiftClock";
                const double pause =
                    in.chance(0.8) ? in.uniform(0, 120) : (in.chance(0.5) ? -5 : in.broken());
                m.shiftClock(pause);
                if (pause > 0 && std::isfinite(pause))
                    now += pause;
            } else {
                name = "resumeAfterPause";
                m.resumeAfterPause(now);
            }
            if (error.isEmpty())
                error = brokenInvariant(m);
            QVERIFY2(
                error.isEmpty(),
                qPrintable(QStringLiteral("step %1 %2: %3\n before %4\n after  %5")
                               .arg(i)
                               .arg(QLatin1String(name), error, describe(before), describe(m))));
            if (i % 1000 == 999) {
                comesHome(m, now, isUsable(frame) ? frame : in.usableFrame());
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }
};

QTEST_APPLESS_MAIN(WalkMotionPropertyTest)
#include "WalkMotionPropertyTest.moc"
