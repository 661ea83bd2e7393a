#include "render/HappyPetView.h"
#include "CanvasProbe.h"
#include "render/HappyPose.h"

#include <QTest>

using namespace pimlo;
using namespace pimlo::CanvasProbe;

namespace {

// A happy image that is transparent apart from two red bars in the middle, along its bottom and
// top edges, which show where the figure lands; the hearts' places stay clear.
constexpr QRgb red = 0xffff0000;

QImage happyImage(qreal ratio)
{
    QImage image = poseImage(ratio);
    QPainter painter(&image);
    painter.fillRect(QRectF(90, 0, 20, 8), QColor::fromRgba(red));
    painter.fillRect(QRectF(90, 192, 20, 8), QColor::fromRgba(red));
    return image;
}

struct Heart
{
    QRectF rect;
    double red, green, blue;
};
const Heart heartTable[] = {
    {QRectF(22, 146, 14, 14), 1.0, 0.35, 0.52},
    {QRectF(164, 157, 14, 14), 1.0, 0.43, 0.52},
    {QRectF(151, 180, 10, 10), 1.0, 0.51, 0.52},
};

// The premultiplied pixel a heart of this colour and opacity paints.
QRgb heartPixel(const Heart &heart, double opacity)
{
    const auto channel = [&](double c) { return int(std::lround(c * opacity * 255)); };
    return qRgba(channel(heart.red), channel(heart.green), channel(heart.blue), channel(1.0));
}

} // namespace

class HappyPetViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void hearts_data();
    void hearts();
    void figurePlacement_data();
    void figurePlacement();
};

void HappyPetViewTest::defaults()
{
    const QImage image = happyImage(1);
    const HappyPetView view(image);
    QCOMPARE(view.time, 0.0);
    QCOMPARE(view.image().cacheKey(), image.cacheKey());
    QCOMPARE(view.size(), QSize(200, 200));
}

void HappyPetViewTest::hearts_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<double>("time");
    QTest::addColumn<double>("opacity"); // the pose's hearts
    QTest::addColumn<double>("rise");    // 35 % of the pose's lift

    for (const qreal ratio : {1.0, 2.0}) {
        const QByteArray r = ratio > 1 ? " @2x" : " @1x";
        QTest::newRow("anticipation" + r) << ratio << 0.1 << 0.0 << 0.0;
        QTest::newRow("jump begins" + r) << ratio << 0.2 << 0.0 << 0.0;
        QTest::newRow("fading in" + r) << ratio << 0.265 << 0.5 << 0.35 * 3.4034;
        QTest::newRow("top" + r) << ratio << 0.7 << 1.0 << 4.9;
        QTest::newRow("fading out" + r) << ratio << 1.125 << 0.5 << 0.35 * 3.885;
        QTest::newRow("landing" + r) << ratio << 1.2 << 0.0 << 0.0;
        QTest::newRow("after" + r) << ratio << 2.0 << 0.0 << 0.0;
    }
}

void HappyPetViewTest::hearts()
{
    QFETCH(qreal, ratio);
    QFETCH(double, time);
    QFETCH(double, opacity);
    QFETCH(double, rise);
    HappyPetView view(happyImage(ratio));
    view.time = time;
    const QImage out = render(view, ratio);

    for (const Heart &heart : heartTable) {
        const QRectF r = heart.rect.translated(0, rise);
        const QRgb expected = opacity > 0 ? heartPixel(heart, opacity) : 0;
        // Between the lobes, and in the left lobe close to its top.
        QVERIFY(near(at(out, r.center().x() - 0.5, r.center().y() - 0.5), expected, 3));
        QVERIFY(near(at(out, r.left() + 0.25 * r.width() - 0.5, r.bottom() - 3), expected, 3));
        // Clear below the tip and above the lobes.
        QCOMPARE(at(out, r.center().x() - 0.5, r.top() - 1.5), QRgb(0));
        QCOMPARE(at(out, r.left() + 0.25 * r.width() - 0.5, r.bottom() + 0.5), QRgb(0));
    }
}

void HappyPetViewTest::figurePlacement_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<double>("time");
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("top");

    // Bottom 0.48 + lift; height 188 × squash.
    for (const qreal ratio : {1.0, 2.0}) {
        const QByteArray r = ratio > 1 ? " @2x" : " @1x";
        QTest::newRow("rest" + r) << ratio << 0.0 << 0.48 << 188.48;
        QTest::newRow("squash" + r) << ratio << 0.1 << 0.48 << 0.48 + 188 * 0.965;
        QTest::newRow("top of jump" + r) << ratio << 0.7 << 14.48 << 202.48;
        QTest::newRow("landing squash" + r) << ratio << 1.4 << 0.48 << 0.48 + 188 * 0.965;
    }
}

void HappyPetViewTest::figurePlacement()
{
    QFETCH(qreal, ratio);
    QFETCH(double, time);
    QFETCH(double, bottom);
    QFETCH(double, top);
    HappyPetView view(happyImage(ratio));
    view.time = time;
    const QImage out = render(view, ratio);

    const auto alphaAt = [&](double y) { return qAlpha(at(out, 99.5, y - 0.5)); };
    QVERIFY(alphaAt(bottom + 1.5) > 240);
    QVERIFY(alphaAt(bottom - 1) < 16);
    if (top < 200) {
        QVERIFY(alphaAt(top - 1.5) > 240);
        QVERIFY(alphaAt(top + 1) < 16);
    }
    // Centred at 94 % of the canvas: the bars span x 90…110 scaled about x = 100.
    QVERIFY(qAlpha(at(out, 100 - 9.4 + 1, bottom + 1)) > 240);
    QVERIFY(qAlpha(at(out, 100 - 9.4 - 2, bottom + 1)) < 16);
}

QTEST_MAIN(HappyPetViewTest)
#include "HappyPetViewTest.moc"
