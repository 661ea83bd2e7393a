#include "render/WalkingPetView.h"
#include "CanvasProbe.h"

#include <QPainterPath>
#include <QTest>

using namespace pimlo;
using namespace pimlo::CanvasProbe;

namespace {

// A walking image whose every region has its own colour: green below the hip line outside the
// foot ovals (which must never show), the ovals transparent apart from one 1 × 1 point marker
// each (red in foot 0, blue in foot 1), and an opaque upper body, magenta left of x = 100 and
// orange right of it. The markers sit where no later leg stroke or pelvis covers them.
constexpr QRgb green = 0xff00ff00, red = 0xffff0000, blue = 0xff0000ff;
constexpr QRgb magenta = 0xffff00ff, orange = 0xffff8000;
const QRectF foot0(67, 7, 37, 23), foot1(109, 7, 28, 23);
const QPointF marker0(84, 10), marker1(122, 16);

QImage walkingImage(qreal ratio)
{
    QImage image = poseImage(ratio);
    QPainter painter(&image);
    QPainterPath below;
    below.addRect(0, 0, 200, 37);
    QPainterPath ovals;
    // A margin keeps the oval clip's antialiased edge off the green.
    ovals.addEllipse(foot0.adjusted(-1.5, -1.5, 1.5, 1.5));
    ovals.addEllipse(foot1.adjusted(-1.5, -1.5, 1.5, 1.5));
    painter.fillPath(below.subtracted(ovals), QColor::fromRgba(green));
    painter.fillRect(QRectF(marker0, QSizeF(1, 1)), QColor::fromRgba(red));
    painter.fillRect(QRectF(marker1, QSizeF(1, 1)), QColor::fromRgba(blue));
    painter.fillRect(QRectF(0, 37, 100, 163), QColor::fromRgba(magenta));
    painter.fillRect(QRectF(100, 37, 100, 163), QColor::fromRgba(orange));
    return image;
}

QImage renderWalk(qreal ratio, double stepTime, std::int64_t direction = -1)
{
    WalkingPetView view(walkingImage(ratio));
    view.stepTime = stepTime;
    view.direction = direction;
    return render(view, ratio);
}

// The marker's colour is at exactly `where` and in none of the cells next to it.
bool markerAt(const QImage &out, QPointF where, QRgb colour)
{
    if (!near(at(out, where.x(), where.y()), colour, 2))
        return false;
    for (const QPointF step : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)}) {
        const QPointF next = where + step;
        if (near(at(out, next.x(), next.y()), colour, 40))
            return false;
    }
    return true;
}

} // namespace

class WalkingPetViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void stride_data();
    void stride();
    void fullStrideRepeats_data();
    void fullStrideRepeats();
    void mirror_data();
    void mirror();
    void nothingBelowHipsOutsideFeet_data();
    void nothingBelowHipsOutsideFeet();
    void upperBodyCrispAtRatio2();
    void screenShowsTheNearestCachedStep_data();
    void screenShowsTheNearestCachedStep();
};

void WalkingPetViewTest::defaults()
{
    const QImage image = walkingImage(1);
    const WalkingPetView view(image);
    QCOMPARE(view.direction, std::int64_t(-1));
    QCOMPARE(view.stepTime, 0.0);
    QCOMPARE(view.image().cacheKey(), image.cacheKey());
    QCOMPARE(view.size(), QSize(200, 200));
    QVERIFY(view.testAttribute(Qt::WA_TransparentForMouseEvents));
}

void WalkingPetViewTest::stride_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<double>("stepTime");
    QTest::addColumn<QPointF>("move0"); // foot 0's offset and lift
    QTest::addColumn<QPointF>("move1");

    for (const qreal ratio : {1.0, 2.0}) {
        const QByteArray r = ratio > 1 ? " @2x" : " @1x";
        QTest::newRow("start" + r) << ratio << 0.0 << QPointF(10, 0) << QPointF(-10, 0);
        QTest::newRow("quarter stride" + r) << ratio << 0.21 << QPointF(22, 4) << QPointF(-22, 0);
        QTest::newRow("half stride" + r) << ratio << 0.42 << QPointF(10, 0) << QPointF(-10, 0);
        QTest::newRow("three quarters" + r) << ratio << 0.63 << QPointF(-2, 0) << QPointF(2, 4);
        QTest::newRow("one stride" + r) << ratio << 0.84 << QPointF(10, 0) << QPointF(-10, 0);
    }
}

void WalkingPetViewTest::stride()
{
    QFETCH(qreal, ratio);
    QFETCH(double, stepTime);
    QFETCH(QPointF, move0);
    QFETCH(QPointF, move1);
    const QImage out = renderWalk(ratio, stepTime);
    QVERIFY(markerAt(out, marker0 + move0, red));
    QVERIFY(markerAt(out, marker1 + move1, blue));
    // The pelvis (grey 0.045) is drawn over the top of leg 0 (grey 0.055).
    QVERIFY(near(at(out, 89.5, 32.5), qRgb(11, 11, 11), 1));
}

void WalkingPetViewTest::fullStrideRepeats_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("@1x") << 1.0;
    QTest::newRow("@2x") << 2.0;
}

void WalkingPetViewTest::fullStrideRepeats()
{
    QFETCH(qreal, ratio);
    const QImage start = renderWalk(ratio, 0);
    const QImage later = renderWalk(ratio, 0.84);
    const QImage quarter = renderWalk(ratio, 0.21);
    QVERIFY(start != quarter);
    for (int y = 0; y < start.height(); ++y)
        for (int x = 0; x < start.width(); ++x)
            QVERIFY2(near(start.pixel(x, y), later.pixel(x, y), 1),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
}

void WalkingPetViewTest::mirror_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<qint64>("direction");
    QTest::addColumn<bool>("mirrored");

    QTest::newRow("left") << 1.0 << qint64(-1) << false;
    QTest::newRow("zero") << 1.0 << qint64(0) << false;
    QTest::newRow("right") << 1.0 << qint64(1) << true;
    QTest::newRow("seven") << 1.0 << qint64(7) << true;
    QTest::newRow("most negative") << 1.0 << std::numeric_limits<qint64>::min() << false;
    QTest::newRow("right @2x") << 2.0 << qint64(1) << true;
    QTest::newRow("left @2x") << 2.0 << qint64(-1) << false;
}

void WalkingPetViewTest::mirror()
{
    QFETCH(qreal, ratio);
    QFETCH(qint64, direction);
    QFETCH(bool, mirrored);
    const QImage out = renderWalk(ratio, 0.21, direction);
    // Cell (x, y) mirrors to cell (199 − x, y) about x = 100.
    const auto place = [&](QPointF p) { return mirrored ? QPointF(199 - p.x(), p.y()) : p; };
    QVERIFY(markerAt(out, place(marker0 + QPointF(22, 4)), red));
    QVERIFY(markerAt(out, place(marker1 + QPointF(-22, 0)), blue));
    QVERIFY(near(at(out, 50, 150), mirrored ? orange : magenta, 1));
    QVERIFY(near(at(out, 150, 150), mirrored ? magenta : orange, 1));
}

void WalkingPetViewTest::nothingBelowHipsOutsideFeet_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<double>("stepTime");
    QTest::addColumn<qint64>("direction");

    for (const qreal ratio : {1.0, 2.0})
        for (const double stepTime : {0.0, 0.1, 0.21, 0.3, 0.5, 0.63, 0.75})
            for (const qint64 direction : {-1, 1})
                QTest::addRow("%gx t=%g dir=%lld", ratio, stepTime, direction)
                    << ratio << stepTime << direction;
}

void WalkingPetViewTest::nothingBelowHipsOutsideFeet()
{
    QFETCH(qreal, ratio);
    QFETCH(double, stepTime);
    QFETCH(qint64, direction);
    const QImage out = renderWalk(ratio, stepTime, direction);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = out.pixel(x, y);
            // Antialiased edges may mix a little green in; a visible share may not.
            QVERIFY2(qGreen(p) < std::max(qRed(p), qBlue(p)) + 24,
                     qPrintable(QStringLiteral("green at %1,%2").arg(x).arg(y)));
        }
    }
}

void WalkingPetViewTest::upperBodyCrispAtRatio2()
{
    // The 2x image is drawn pixel for pixel: the split at x = 100 stays one device pixel sharp.
    const QImage out = renderWalk(2, 0.21);
    const int row = int(2 * (200 - 150));
    QVERIFY(near(out.pixel(199, row), magenta, 1));
    QVERIFY(near(out.pixel(200, row), orange, 1));
}

QTEST_MAIN(WalkingPetViewTest)
#include "WalkingPetViewTest.moc"

void WalkingPetViewTest::screenShowsTheNearestCachedStep_data()
{
    QTest::addColumn<double>("stepTime");
    QTest::addColumn<int>("step");
    QTest::addColumn<qlonglong>("direction");
    const double period = WalkingPetView::stridePeriod;
    QTest::newRow("start") << 0.0 << 0 << qlonglong(-1);
    QTest::newRow("a quarter, mirrored") << 0.21 << 8 << qlonglong(1);
    QTest::newRow("just before a step") << 5 * period / 32 - 0.005 << 5 << qlonglong(-1);
    QTest::newRow("just after a step") << 5 * period / 32 + 0.005 << 5 << qlonglong(1);
    QTest::newRow("end of the stride wraps") << period - 0.004 << 0 << qlonglong(-1);
    QTest::newRow("many strides on") << 100 * period + 0.21 << 8 << qlonglong(-1);
}

void WalkingPetViewTest::screenShowsTheNearestCachedStep()
{
    QFETCH(double, stepTime);
    QFETCH(int, step);
    QFETCH(qlonglong, direction);
    QCOMPARE(WalkingPetView::cachedStep(stepTime), step);

    // What the widget paints is the live drawing at the cached step's time.
    WalkingPetView view(walkingImage(1));
    view.direction = direction;
    view.stepTime = WalkingPetView::cachedStepTime(step);
    const QImage live = render(view, 1);
    view.stepTime = stepTime;
    QImage painted(200, 200, QImage::Format_ARGB32_Premultiplied);
    painted.fill(Qt::transparent);
    const auto samePixels = [](const QImage &a, const QImage &b) {
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                if (a.pixel(x, y) != b.pixel(x, y))
                    return false;
            }
        }
        return true;
    };
    view.render(&painted, QPoint(), QRegion(), QWidget::DrawChildren);
    QVERIFY(samePixels(painted, live));
    painted.fill(Qt::transparent);
    view.render(&painted, QPoint(), QRegion(), QWidget::DrawChildren); // from the cache now
    QVERIFY(samePixels(painted, live));
}
