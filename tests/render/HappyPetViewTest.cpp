#include "render/HappyPetView.h"
#include "CanvasProbe.h"
#include "render/HappyPose.h"

#include <QTest>

using namespace pimlo;
using namespace pimlo::CanvasProbe;

namespace {

struct Heart
{
    QRectF rect;
    double red, green, blue;
};
const Heart hearts[] = {
    {QRectF(22, 146, 14, 14), 1.0, 0.35, 0.52},
    {QRectF(164, 157, 14, 14), 1.0, 0.43, 0.52},
    {QRectF(151, 180, 10, 10), 1.0, 0.51, 0.52},
};

} // namespace

class HappyPetViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("@1x") << 1.0;
        QTest::newRow("@2x") << 2.0;
    }

    void jump_data()
    {
        QTest::addColumn<double>("time");
        QTest::newRow("anticipation squash") << 0.1;
        QTest::newRow("hearts fading in") << 0.265;
        QTest::newRow("top of the jump") << 0.7;
        QTest::newRow("landing squash") << 1.4;
    }

    // The figure at 94 % of the canvas, squashed and lifted as the pose says; the hearts at its
    // opacity, risen by 35 % of its lift.
    void jump()
    {
        QFETCH_GLOBAL(qreal, ratio);
        QFETCH(double, time);
        const HappyPose pose(time);
        const double bottom = 0.48 + pose.lift, top = bottom + 188 * pose.squash;
        // Transparent but for red bars along the middle of the bottom and top edges, which show
        // where the figure lands; the hearts' places stay clear.
        QImage image = poseImage(ratio);
        QPainter(&image).fillRect(QRectF(90, 0, 20, 8), Qt::red);
        QPainter(&image).fillRect(QRectF(90, 192, 20, 8), Qt::red);
        HappyPetView view(image);
        view.time = time;
        const QImage out = render(view, ratio);

        for (const Heart &heart : hearts) {
            const QRectF r = heart.rect.translated(0, 0.35 * pose.lift);
            const auto channel = [&](double c) { return int(std::lround(c * pose.hearts * 255)); };
            const QRgb fill =
                qRgba(channel(heart.red), channel(heart.green), channel(heart.blue), channel(1.0));
            // Between the lobes and in the left lobe near its top; clear below the tip and above.
            const double lobe = r.left() + 0.25 * r.width() - 0.5;
            QVERIFY(near(at(out, r.center() - QPointF(0.5, 0.5)), fill, 3));
            QVERIFY(near(at(out, {lobe, r.bottom() - 3}), fill, 3));
            QCOMPARE(at(out, {r.center().x() - 0.5, r.top() - 1.5}), QRgb(0));
            QCOMPARE(at(out, {lobe, r.bottom() + 0.5}), QRgb(0));
        }

        const auto alphaAt = [&](double x, double y) { return qAlpha(at(out, {x, y})); };
        QVERIFY(alphaAt(99.5, bottom + 1) > 240);
        QVERIFY(alphaAt(99.5, bottom - 1.5) < 16);
        QVERIFY(top > 200 || alphaAt(99.5, top - 2) > 240);
        QVERIFY(top > 200 || alphaAt(99.5, top + 0.5) < 16);
        // Scaled to 94 % about x = 100, the bars start at x = 90.6.
        QVERIFY(alphaAt(91.6, bottom + 1) > 240);
        QVERIFY(alphaAt(88.6, bottom + 1) < 16);
    }
};

QTEST_MAIN(HappyPetViewTest)
#include "HappyPetViewTest.moc"
