#include "render/WalkingPetView.h"
#include "CanvasProbe.h"

#include <QPainterPath>
#include <QTest>

using namespace pimlo;
using namespace pimlo::CanvasProbe;

namespace {

// Every region has its own colour: green below the hip line outside the foot ovals (which must
// never show), the ovals transparent but for a 1 × 1 point marker each (red in foot 0, blue in
// foot 1) where no leg stroke or pelvis covers it, and the upper body magenta left of x = 100,
// orange right of it.
constexpr QRgb green = 0xff00ff00, red = 0xffff0000, blue = 0xff0000ff;
constexpr QRgb magenta = 0xffff00ff, orange = 0xffff8000;
const QPointF marker0(84, 10), marker1(122, 16);

QImage walkingImage(qreal ratio)
{
    QImage image = poseImage(ratio);
    QPainter painter(&image);
    QPainterPath below, ovals;
    below.addRect(0, 0, 200, 37);
    // A margin keeps the oval clip's antialiased edge off the green.
    ovals.addEllipse(QRectF(67, 7, 37, 23).adjusted(-1.5, -1.5, 1.5, 1.5));
    ovals.addEllipse(QRectF(109, 7, 28, 23).adjusted(-1.5, -1.5, 1.5, 1.5));
    painter.fillPath(below.subtracted(ovals), QColor::fromRgba(green));
    painter.fillRect(QRectF(marker0, QSizeF(1, 1)), QColor::fromRgba(red));
    painter.fillRect(QRectF(marker1, QSizeF(1, 1)), QColor::fromRgba(blue));
    painter.fillRect(QRectF(0, 37, 100, 163), QColor::fromRgba(magenta));
    painter.fillRect(QRectF(100, 37, 100, 163), QColor::fromRgba(orange));
    return image;
}

QImage renderWalk(qreal ratio, double stepTime, qint64 direction)
{
    WalkingPetView view(walkingImage(ratio));
    view.stepTime = stepTime;
    view.direction = direction;
    return render(view, ratio);
}

const QPoint nowhere(-1, -1);

} // namespace

class WalkingPetViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stride_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<double>("stepTime");
        QTest::addColumn<qint64>("direction");
        QTest::addColumn<bool>("mirrored");
        QTest::addColumn<QPointF>("move0"); // foot 0's offset and lift
        QTest::addColumn<QPointF>("move1");
        const QPointF quarter0(22, 4), quarter1(-22, 0);
        for (const qreal ratio : {1.0, 2.0}) {
            const auto row = [&](const char *name) -> QTestData & {
                return QTest::addRow("%s @%gx", name, ratio) << ratio;
            };
            row("start") << 0.0 << -1LL << false << QPointF(10, 0) << QPointF(-10, 0);
            row("quarter") << 0.21 << -1LL << false << quarter0 << quarter1;
            row("three quarters") << 0.63 << -1LL << false << QPointF(-2, 0) << QPointF(2, 4);
            // Feet between cells: no marker to find, but nothing below the hips may show.
            row("between steps") << 0.1 << -1LL << false << QPointF() << QPointF();
            row("between steps, mirrored") << 0.5 << 1LL << true << QPointF() << QPointF();
            row("direction 0") << 0.21 << 0LL << false << quarter0 << quarter1;
            row("direction 1") << 0.21 << 1LL << true << quarter0 << quarter1;
            row("direction 7") << 0.21 << 7LL << true << quarter0 << quarter1;
            row("most negative direction")
                << 0.21 << std::numeric_limits<qint64>::min() << false << quarter0 << quarter1;
        }
    }

    void stride()
    {
        QFETCH(qreal, ratio);
        QFETCH(double, stepTime);
        QFETCH(qint64, direction);
        QFETCH(bool, mirrored);
        QFETCH(QPointF, move0);
        QFETCH(QPointF, move1);
        const QImage out = renderWalk(ratio, stepTime, direction);
        // Cell (x, y) mirrors to cell (199 − x, y) about x = 100.
        const auto place = [&](QPointF p) { return mirrored ? QPointF(199 - p.x(), p.y()) : p; };
        QVERIFY(move0.isNull() || near(at(out, place(marker0 + move0)), red, 2));
        QVERIFY(move1.isNull() || near(at(out, place(marker1 + move1)), blue, 2));
        // Nothing below the hips outside the feet: antialiased edges may mix a little green in,
        // a visible share may not.
        QCOMPARE(findPixel(out,
                           [&](int x, int y) {
                               const QRgb p = out.pixel(x, y);
                               return qGreen(p) >= std::max(qRed(p), qBlue(p)) + 24;
                           }),
                 nowhere);
        // The pelvis (grey 0.045) is drawn over the top of leg 0 (grey 0.055).
        QVERIFY(near(at(out, place(QPointF(89, 32))), qRgb(11, 11, 11), 1));
        // The upper body is drawn pixel for pixel: its split at x = 100 stays one pixel sharp.
        const int split = int(100 * ratio), row = int(50 * ratio);
        QVERIFY(near(out.pixel(split - 1, row), mirrored ? orange : magenta, 1));
        QVERIFY(near(out.pixel(split, row), mirrored ? magenta : orange, 1));

        const QImage later = renderWalk(ratio, stepTime + WalkingPetView::stridePeriod, direction);
        QCOMPARE(
            findPixel(out,
                      [&](int x, int y) { return !near(out.pixel(x, y), later.pixel(x, y), 1); }),
            nowhere);
    }

    void screenShowsTheNearestCachedStep_data()
    {
        QTest::addColumn<double>("stepTime");
        QTest::addColumn<int>("step");
        QTest::addColumn<qint64>("direction");
        const double period = WalkingPetView::stridePeriod;
        QTest::newRow("a quarter, mirrored") << 0.21 << 8 << 1LL;
        QTest::newRow("just before a step") << 5 * period / 32 - 0.005 << 5 << -1LL;
        QTest::newRow("just after a step") << 5 * period / 32 + 0.005 << 5 << 1LL;
        QTest::newRow("end of the stride wraps") << period - 0.004 << 0 << -1LL;
        QTest::newRow("many strides on") << 100 * period + 0.21 << 8 << -1LL;
    }

    // The widget paints the live drawing at the nearest cached step's time, both when it first
    // renders the frame and from the cache.
    void screenShowsTheNearestCachedStep()
    {
        QFETCH(double, stepTime);
        QFETCH(int, step);
        QFETCH(qint64, direction);
        QCOMPARE(WalkingPetView::cachedStep(stepTime), step);
        const QImage live = renderWalk(1, WalkingPetView::cachedStepTime(step), direction);
        WalkingPetView view(walkingImage(1));
        view.direction = direction;
        view.stepTime = stepTime;
        QVERIFY(view.testAttribute(Qt::WA_TransparentForMouseEvents));
        for (int pass = 0; pass < 2; ++pass) {
            QImage painted(200, 200, QImage::Format_ARGB32_Premultiplied);
            painted.fill(Qt::transparent);
            view.render(&painted, QPoint(), QRegion(), QWidget::DrawChildren);
            QCOMPARE(painted, live);
        }
    }
};

QTEST_MAIN(WalkingPetViewTest)
#include "WalkingPetViewTest.moc"
