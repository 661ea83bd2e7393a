#include "render/SleepPetView.h"
#include "CanvasProbe.h"
#include "render/IdlePetView.h"

#include <QTest>

using namespace pimlo;
using namespace pimlo::CanvasProbe;

namespace {

// Both opaque: the standing figure red with black eyes (so the eyelid frames differ), the
// sleeping one blue.
QImage standingImage(qreal ratio)
{
    QImage image = poseImage(ratio);
    image.fill(Qt::red);
    QPainter painter(&image);
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

} // namespace

class SleepPetViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("@1x") << 1.0;
        QTest::newRow("@2x") << 2.0;
    }

    void eyelidFrames()
    {
        QFETCH_GLOBAL(qreal, ratio);
        const IdlePetView standing(standingImage(ratio), false);
        const SleepPetView view(sleepingImage(ratio), standing);
        const auto &frames = view.eyelidFrames();
        QCOMPARE(frames.size(), size_t(21));
        QCOMPARE(frames[0].cacheKey(), standing.image().cacheKey());
        QVERIFY(frames[20] != frames[0]);
        for (size_t i = 0; i < frames.size(); ++i)
            QCOMPARE(frames[i], standing.pose(double(i) / 20));
        QCOMPARE(frames[20].devicePixelRatio(), ratio);
    }

    void crossFade_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<int>("frame");
        QTest::addColumn<double>("blend");
        QTest::newRow("eyes half closed") << 0.45 << 10 << 0.0;
        QTest::newRow("starting to fade") << 1.3 << 20 << 116.0 / 1331;
        QTest::newRow("fading in") << 1.475 << 20 << 0.5;
        QTest::newRow("asleep: the sleeper only") << 1.75 << 0 << 1.0;
        QTest::newRow("fading out") << 5.1 << 13 << 0.5;
        QTest::newRow("end: frame 0 only") << 5.4 << 0 << 0.0;
    }

    // The output is (1 − blend) × eyelid frame + blend × sleeper in premultiplied colour (the
    // frames are stored mirrored, the output is not), and two opaque images stay opaque.
    void crossFade()
    {
        QFETCH_GLOBAL(qreal, ratio);
        QFETCH(double, time);
        QFETCH(int, frame);
        QFETCH(double, blend);
        const IdlePetView standing(standingImage(ratio), false);
        SleepPetView view(sleepingImage(ratio), standing);
        view.time = time;
        const QImage out = render(view, ratio);
        const QImage &standingFrame = view.eyelidFrames()[size_t(frame)];
        const QPoint wrong = findPixel(out, [&](int x, int y) {
            const QRgb o = out.pixel(x, y);
            const QRgb f = standingFrame.pixel(x, out.height() - 1 - y);
            const QRgb s = view.sleeper().pixel(x, out.height() - 1 - y);
            for (const int shift : {0, 8, 16, 24}) {
                const auto c = [&](QRgb p) { return long(p >> shift & 0xff); };
                const long mixed = std::min(255L, std::lround((1 - blend) * c(f) + blend * c(s)));
                // Fading in 8 bits costs up to 3 units where two roundings meet.
                if (std::abs(c(o) - mixed) > 3)
                    return true;
            }
            return qAlpha(o) < 254;
        });
        QCOMPARE(wrong, QPoint(-1, -1));
    }
};

QTEST_MAIN(SleepPetViewTest)
#include "SleepPetViewTest.moc"
