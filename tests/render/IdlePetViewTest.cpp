#include "render/IdlePetView.h"
#include "render/PoseImages.h"

#include <QPainter>
#include <QTest>
#include <cmath>

using pimlo::IdlePetView;

namespace {

const QColor lidColour = QColor::fromRgbF(0.88, 0.89, 0.89);

// A test pose in the loader's storage (mirrored, premultiplied): opaque from y = 20 to 180
// (canvas, y up) with a colour that changes every row, so misplaced slices show.
QImage stripedPose(qreal ratio)
{
    const int side = int(200 * ratio);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (int row = int(20 * ratio); row < int(180 * ratio); ++row) {
        const QColor colour(40 + row % 200, 200 - row % 150, (row * 7) % 256);
        for (int x = int(30 * ratio); x < int(170 * ratio); ++x)
            image.setPixelColor(x, row, colour);
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

// Pixel of a mirrored-storage image at a canvas point (y up).
QColor canvasPixel(const QImage &image, double x, double y)
{
    const qreal r = image.devicePixelRatio();
    return image.pixelColor(int(x * r), int(y * r));
}

// Renders the view onto a transparent 200 × 200 point image (y down).
QImage render(const IdlePetView &view, qreal ratio)
{
    QImage out(int(200 * ratio), int(200 * ratio), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(ratio);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    view.draw(painter);
    return out;
}

// Highest canvas y (y up) holding an opaque pixel in the column x of a y-down rendering.
double topOfColumn(const QImage &rendering, double x)
{
    const qreal r = rendering.devicePixelRatio();
    for (int row = 0; row < rendering.height(); ++row) {
        if (rendering.pixelColor(int(x * r), row).alpha() > 127)
            return 200 - row / r;
    }
    return -1;
}

int maxChannelDifference(const QImage &a, const QImage &b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return worst;
}

} // namespace

class IdlePetViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void blinkAmount_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("expected");
        QTest::newRow("before the blink") << 1.99 << 0.0;
        QTest::newRow("blink starts") << 2.0 << 0.0;
        QTest::newRow("closing") << 2.05 << 0.5;
        QTest::newRow("closed") << 2.1 << 1.0;
        QTest::newRow("still closed") << 2.149 << 1.0;
        QTest::newRow("opening") << 2.225 << 0.5;
        QTest::newRow("open again") << 2.3 << 0.0;
        QTest::newRow("next loop") << 10.45 << 0.5;
        QTest::newRow("start") << 0.0 << 0.0;
        QTest::newRow("negative time") << -6.35 << 0.0;
        QTest::newRow("not a number") << std::nan("") << 0.0;
    }
    void blinkAmount()
    {
        QFETCH(double, time);
        QFETCH(double, expected);
        QVERIFY2(std::abs(IdlePetView::blinkAmount(time) - expected) < 1e-9,
                 qPrintable(QString::number(IdlePetView::blinkAmount(time))));
    }

    void breathAndSway_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<double>("breath");
        QTest::addColumn<double>("sway");
        QTest::newRow("0") << 0.0 << 0.0 << 0.0;
        QTest::newRow("2.1") << 2.1 << 1.0 << 0.023;
        QTest::newRow("4.2") << 4.2 << 0.0 << 0.0;
        QTest::newRow("6.3") << 6.3 << 1.0 << -0.023;
        QTest::newRow("8.4") << 8.4 << 0.0 << 0.0;
    }
    void breathAndSway()
    {
        QFETCH(double, time);
        QFETCH(double, breath);
        QFETCH(double, sway);
        QVERIFY(std::abs(IdlePetView::breath(time) - breath) < 1e-12);
        QVERIFY(std::abs(IdlePetView::sway(time) - sway) < 1e-12);
    }

    void frameIndex_data()
    {
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<int>("index");
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("4.2") << 4.2 << 101;
        QTest::newRow("8.39") << 8.39 << 201;
        QTest::newRow("8.4") << 8.4 << 0;
        QTest::newRow("one frame") << IdlePetView::frameInterval * 1.0001 << 1;
        QTest::newRow("negative stays in range") << -0.1 << 200;
        QTest::newRow("not a number") << std::nan("") << 0;
        QTest::newRow("infinite") << HUGE_VAL << 0;
    }
    void frameIndex()
    {
        QFETCH(double, elapsed);
        QFETCH(int, index);
        QCOMPARE(IdlePetView::frameIndex(elapsed), index);
    }

    void poseWithOpenEyesIsTheImageItself()
    {
        const IdlePetView view(stripedPose(1), false);
        for (const double blink : {0.0, -1.0, std::nan("")})
            QCOMPARE(view.pose(blink).cacheKey(), view.image().cacheKey());
    }

    void poseCoversBothEyes_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("1x") << 1.0;
        QTest::newRow("2x") << 2.0;
    }
    void poseCoversBothEyes()
    {
        QFETCH(qreal, ratio);
        const IdlePetView view(stripedPose(ratio), false);
        const QImage closed = view.pose(1);
        QCOMPARE(closed.devicePixelRatio(), ratio);
        for (const double eyeX : {87.9, 112.4}) {
            // Lids everywhere in the oval but on the closed-eye line at y = 148.
            for (const double y : {141.0, 144.0, 146.5, 150.5, 153.0, 156.0})
                QCOMPARE(canvasPixel(closed, eyeX, y).rgba(), lidColour.rgba());
            QVERIFY(canvasPixel(closed, eyeX, 149.2).lightness() < 120);
        }
        // Outside the ovals the pose is untouched.
        QCOMPARE(canvasPixel(closed, 60, 148), canvasPixel(view.image(), 60, 148));

        // At 0.8 the lids leave a gap over the lid line and no line is drawn yet.
        const QImage nearlyClosed = view.pose(0.8);
        QCOMPARE(canvasPixel(nearlyClosed, 87.9, 148.2), canvasPixel(view.image(), 87.9, 148.2));
        QCOMPARE(canvasPixel(nearlyClosed, 87.9, 155).rgba(), lidColour.rgba());
        QCOMPARE(canvasPixel(nearlyClosed, 87.9, 142).rgba(), lidColour.rgba());
    }

    void firstFrameIsTheUndeformedImage_data() { poseCoversBothEyes_data(); }
    void firstFrameIsTheUndeformedImage()
    {
        QFETCH(qreal, ratio);
        const IdlePetView view(stripedPose(ratio));
        QCOMPARE(int(view.cachedFrames().size()), IdlePetView::framesPerLoop);
        QVERIFY(view.timer() && view.timer()->isActive());

        QImage frame0(int(200 * ratio), int(200 * ratio), QImage::Format_ARGB32_Premultiplied);
        frame0.setDevicePixelRatio(ratio);
        frame0.fill(Qt::transparent);
        {
            QPainter painter(&frame0);
            painter.drawImage(view.cachedFrameRect().topLeft(), view.cachedFrames()[0]);
        }
        const QImage expected = view.image().mirrored(false, true);
        QVERIFY2(maxChannelDifference(frame0, expected) <= 2,
                 qPrintable(QString::number(maxChannelDifference(frame0, expected))));
    }

    void fullBreathLiftsTheUpperBody_data() { poseCoversBothEyes_data(); }
    void fullBreathLiftsTheUpperBody()
    {
        QFETCH(qreal, ratio);
        IdlePetView view(stripedPose(ratio));
        view.previewTime = 2.1; // full breath, closed eyes
        const QImage breathing = render(view, ratio);
        // The top edge (180) rises by 1.25 points and leans right by up to 2.6 points.
        QVERIFY(std::abs(topOfColumn(breathing, 100) - 181.25) <= 0.5);
        QVERIFY(canvasPixel(breathing.mirrored(false, true), 171.5, 175).alpha() > 0);
        // Below the feet line nothing moves: the bottom edge stays at 20.
        const QImage upright = breathing.mirrored(false, true);
        QCOMPARE(canvasPixel(upright, 100, 20.25).alpha(), 255);
        QCOMPARE(canvasPixel(upright, 100, 19.75).alpha(), 0);
        // The preview is drawn live, not from the cache: it differs from the cached frame.
        view.previewTime.reset();
        QVERIFY(render(view, ratio) != breathing);
    }

    void withoutAnimationThereIsNoCacheOrTimer()
    {
        double now = 100;
        IdlePetView view(stripedPose(1), false, [&] { return now; });
        QVERIFY(view.cachedFrames().empty());
        QVERIFY(!view.timer());
        const QImage start = render(view, 1);
        now += 2.1;
        QVERIFY(render(view, 1) != start); // the live pose follows the clock
        now += 8.4 - 2.1;
        QCOMPARE(render(view, 1), start);
    }
};

QTEST_MAIN(IdlePetViewTest)
#include "IdlePetViewTest.moc"
