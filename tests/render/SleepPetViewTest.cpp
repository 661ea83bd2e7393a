#include "render/SleepPetView.h"
#include "CanvasProbe.h"
#include "render/IdlePetView.h"
#include "render/SleepPose.h"

#include <QTest>

using namespace pimlo;
using namespace pimlo::CanvasProbe;

namespace {

// Two opaque images: the standing figure red with black eyes (so that every eyelid frame looks
// different), the sleeping one blue.
QImage standingImage(qreal ratio)
{
    QImage image = poseImage(ratio);
    QPainter painter(&image);
    painter.fillRect(QRectF(0, 0, 200, 200), Qt::red);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRectF(79.5, 139.5, 16.8, 18));
    painter.drawEllipse(QRectF(104, 139.5, 16.8, 18));
    return image;
}

QImage sleepingImage(qreal ratio)
{
    QImage image = poseImage(ratio);
    image.fill(Qt::blue);
    return image;
}

// Largest channel difference between the view's output and weight × frame + sleeperWeight ×
// sleeper, summed in premultiplied colour. Frames are stored mirrored, the output is not.
// Fading in 8 bits costs up to 3 units where two roundings meet.
int worstDifference(const QImage &out, const QImage &frame, double weight, const QImage &sleeper,
                    double sleeperWeight)
{
    int worst = 0;
    const int h = out.height();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const QRgb o = out.pixel(x, y);
            const QRgb f = frame.pixel(x, h - 1 - y);
            const QRgb s = sleeper.pixel(x, h - 1 - y);
            const auto sum = [&](int fc, int sc) {
                return std::min(255, int(std::lround(weight * fc + sleeperWeight * sc)));
            };
            worst = std::max({worst, std::abs(qRed(o) - sum(qRed(f), qRed(s))),
                              std::abs(qGreen(o) - sum(qGreen(f), qGreen(s))),
                              std::abs(qBlue(o) - sum(qBlue(f), qBlue(s))),
                              std::abs(qAlpha(o) - sum(qAlpha(f), qAlpha(s)))});
        }
    }
    return worst;
}

} // namespace

class SleepPetViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eyelidFrames_data();
    void eyelidFrames();
    void crossFade_data();
    void crossFade();
    void opaqueImagesStayOpaque_data();
    void opaqueImagesStayOpaque();
};

void SleepPetViewTest::eyelidFrames_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("@1x") << 1.0;
    QTest::newRow("@2x") << 2.0;
}

void SleepPetViewTest::eyelidFrames()
{
    QFETCH(qreal, ratio);
    const IdlePetView standing(standingImage(ratio), false);
    const QImage sleeper = sleepingImage(ratio);
    const SleepPetView view(sleeper, standing);

    QCOMPARE(view.time, 0.0);
    QCOMPARE(view.sleeper().cacheKey(), sleeper.cacheKey());
    const auto &frames = view.eyelidFrames();
    QCOMPARE(frames.size(), size_t(21));
    QCOMPARE(frames[0].cacheKey(), standing.image().cacheKey());
    for (size_t i = 0; i < frames.size(); ++i) {
        QCOMPARE(frames[i], standing.pose(double(i) / 20));
        QCOMPARE(frames[i].devicePixelRatio(), ratio);
    }
    // Closed lids cover the eye with skin; open eyes stay black.
    const QRgb closed = frames[20].pixel(int(88 * ratio), int(152 * ratio));
    QVERIFY(qRed(closed) > 200 && qGreen(closed) > 200);
    QCOMPARE(frames[0].pixel(int(88 * ratio), int(152 * ratio)), qRgb(0, 0, 0));
}

void SleepPetViewTest::crossFade_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<double>("time");
    QTest::addColumn<int>("frame");
    QTest::addColumn<double>("standingWeight");
    QTest::addColumn<double>("sleeperWeight");

    for (const qreal ratio : {1.0, 2.0}) {
        const QByteArray r = ratio > 1 ? " @2x" : " @1x";
        QTest::newRow("start" + r) << ratio << 0.0 << 0 << 1.0 << 0.0;
        QTest::newRow("eyes half closed" + r) << ratio << 0.45 << 10 << 1.0 << 0.0;
        QTest::newRow("eyes closed" + r) << ratio << 0.9 << 20 << 1.0 << 0.0;
        QTest::newRow("fading in" + r) << ratio << 1.475 << 20 << 0.5 << 0.5;
        QTest::newRow("asleep" + r) << ratio << SleepPose::settlingDuration << 0 << 0.0 << 1.0;
        QTest::newRow("waking" + r) << ratio << 4.8 << 0 << 0.0 << 1.0;
        QTest::newRow("fading out" + r) << ratio << 5.1 << 13 << 0.5 << 0.5;
        QTest::newRow("end" + r) << ratio << SleepPose::duration << 0 << 1.0 << 0.0;
        QTest::newRow("long after" + r) << ratio << 60.0 << 0 << 1.0 << 0.0;
        QTest::newRow("negative" + r) << ratio << -3.0 << 0 << 1.0 << 0.0;
    }
}

void SleepPetViewTest::crossFade()
{
    QFETCH(qreal, ratio);
    QFETCH(double, time);
    QFETCH(int, frame);
    QFETCH(double, standingWeight);
    QFETCH(double, sleeperWeight);
    const IdlePetView standing(standingImage(ratio), false);
    SleepPetView view(sleepingImage(ratio), standing);
    view.time = time;
    const QImage out = render(view, ratio);
    QCOMPARE(out.size(), view.sleeper().size());
    const int worst = worstDifference(out, view.eyelidFrames()[size_t(frame)], standingWeight,
                                      view.sleeper(), sleeperWeight);
    QVERIFY2(worst <= 3, qPrintable(QStringLiteral("differs by %1").arg(worst)));
}

void SleepPetViewTest::opaqueImagesStayOpaque_data()
{
    QTest::addColumn<double>("time");
    for (const double time : {1.3, 1.475, 1.6, 1.7, 4.9, 5.1, 5.3})
        QTest::addRow("t=%g", time) << time;
}

void SleepPetViewTest::opaqueImagesStayOpaque()
{
    QFETCH(double, time);
    const IdlePetView standing(standingImage(1), false);
    SleepPetView view(sleepingImage(1), standing);
    view.time = time;
    const QImage out = render(view, 1);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            QVERIFY2(qAlpha(out.pixel(x, y)) >= 254, qPrintable(QStringLiteral("alpha %1 at %2,%3")
                                                                    .arg(qAlpha(out.pixel(x, y)))
                                                                    .arg(x)
                                                                    .arg(y)));
}

QTEST_MAIN(SleepPetViewTest)
#include "SleepPetViewTest.moc"
