// The pet views paint eyelids, legs, feet and hearts at fixed places, so the pose art has to put
// its features where they expect them.

#include <QImage>
#include <QTest>
#include <functional>

namespace {

// A test of one pixel: its centre in y-up canvas points and its colour.
using Pixel = std::function<bool(QPointF, QRgb)>;

// An oval inscribed in a y-up rectangle of the 200 × 200 point canvas.
struct Oval
{
    double x, y, w, h;
    // Whether p lies inside the oval grown by `grow` points (shrunk when < 0).
    bool contains(QPointF p, double grow = 0) const
    {
        const double dx = (p.x() - x - w / 2) / (w / 2 + grow);
        const double dy = (p.y() - y - h / 2) / (h / 2 + grow);
        return dx * dx + dy * dy <= 1;
    }
};

constexpr Oval kEyes[] = {{79.5, 139.5, 16.8, 18}, {104, 139.5, 16.8, 18}};
constexpr Oval kFeet[] = {{67, 7, 37, 23}, {109, 7, 28, 23}};

QImage pose(const QString &name, int scale)
{
    return QImage(QStringLiteral(":/pimlo/pimlo-%1%2.png").arg(name, scale == 2 ? "@2x" : ""))
        .convertToFormat(QImage::Format_ARGB32);
}

// Calls f(point, pixel) for every pixel, with the pixel centre in y-up canvas points.
void forEachPixel(const QImage &img, const std::function<void(QPointF, QRgb)> &f)
{
    const double scale = img.width() / 200.0;
    for (int row = 0; row < img.height(); ++row)
        for (int col = 0; col < img.width(); ++col)
            f({(col + 0.5) / scale, 200 - (row + 0.5) / scale}, img.pixel(col, row));
}

} // namespace

Q_DECLARE_METATYPE(Pixel)

class ArtPlacementTest final : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data()
    {
        QTest::addColumn<int>("scale");
        QTest::newRow("1x") << 1;
        QTest::newRow("2x") << 2;
    }

    void placement_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Pixel>("region");
        QTest::addColumn<Pixel>("wanted");
        QTest::addColumn<double>("share"); // of the region's pixels that must be as wanted

        const Pixel clear = [](QPointF, QRgb c) { return qAlpha(c) == 0; };
        const Pixel opaque = [](QPointF, QRgb c) { return qAlpha(c) == 255; };
        const Pixel dark = [](QPointF, QRgb c) { return qAlpha(c) == 255 && qGray(c) < 90; };
        for (const char *name : {"idle", "walk-left", "happy", "sleep"}) {
            QTest::addRow("%s: clear of the edges", name)
                << QString(name) << Pixel([](QPointF p, QRgb) {
                       return p.x() < 1 || p.x() > 199 || p.y() < 1 || p.y() > 199;
                   })
                << clear << 1.0;
        }
        for (const int i : {0, 1}) {
            // Blink lids of exactly the skin colour are clipped to the eye ovals: around and just
            // inside each oval lies flat skin, within it a clearly dark eye.
            const Oval eye = kEyes[i], foot = kFeet[i];
            QTest::addRow("idle: skin around eye %d", i) << "idle" << Pixel([=](QPointF p, QRgb) {
                return eye.contains(p, 4) && !eye.contains(p, -1);
            }) << Pixel([](QPointF, QRgb c) { return c == qRgb(224, 227, 227); })
                                                         << 1.0;
            QTest::addRow("idle: eye %d", i)
                << "idle" << Pixel([=](QPointF p, QRgb) { return eye.contains(p); }) << dark
                << 1.0 / 3;
            QTest::addRow("walk: foot %d in its oval", i)
                << "walk-left" << Pixel([=](QPointF p, QRgb) { return foot.contains(p); }) << opaque
                << 1.0 / 3;
        }
        // The breathing leaves everything below 18 points in place: the feet stand there.
        QTest::newRow("idle: feet on the ground")
            << "idle" << Pixel([](QPointF p, QRgb) { return p.y() < 18; }) << opaque << 0.11;
        // Below the hip line the walking view draws only the feet ovals (half a point inside,
        // off the clip's antialiased edge) and its own legs and pelvis.
        QTest::newRow("walk: nothing else below the hips")
            << "walk-left" << Pixel([](QPointF p, QRgb) {
                   return p.y() < 37 && !kFeet[0].contains(p, -0.5) && !kFeet[1].contains(p, -0.5);
               })
            << clear << 1.0;
        // Where the image is cut at the hips it must be the pelvis colour, or the cut shows.
        QTest::newRow("walk: pelvis colour at the hip line")
            << "walk-left" << Pixel([](QPointF p, QRgb) {
                   return p.y() > 37 && p.y() < 37.6 && p.x() > 80 && p.x() < 128;
               })
            << Pixel([](QPointF, QRgb c) { return qAlpha(c) == 255 && qAbs(qGray(c) - 11) <= 2; })
            << 1.0;
        QTest::newRow("walk: faces left, eyes left of the centre")
            << "walk-left" << Pixel([=](QPointF p, QRgb c) { return p.y() > 120 && dark(p, c); })
            << Pixel([](QPointF p, QRgb) { return p.x() < 100; }) << 0.75;
        // The hearts' rectangles, mapped into the image for every lift of the jump.
        QTest::newRow("happy: room for the hearts") << "happy" << Pixel([](QPointF p, QRgb) {
            for (const QRectF h :
                 {QRectF(22, 146, 14, 14), QRectF(164, 157, 14, 14), QRectF(151, 180, 10, 10)})
                for (double lift = 0; lift <= 14; ++lift)
                    if (QRectF((h.x() - 6) / 0.94, (h.y() - 0.65 * lift - 0.48) / 0.94,
                               h.width() / 0.94, h.height() / 0.94)
                            .contains(p))
                        return true;
            return false;
        }) << clear << 1.0;
    }

    void placement()
    {
        QFETCH_GLOBAL(int, scale);
        QFETCH(QString, name);
        QFETCH(Pixel, region);
        QFETCH(Pixel, wanted);
        QFETCH(double, share);
        const QImage img = pose(name, scale);
        QCOMPARE(img.size(), QSize(200 * scale, 200 * scale));
        int inRegion = 0, asWanted = 0;
        forEachPixel(img, [&](QPointF p, QRgb c) {
            if (region(p, c)) {
                ++inRegion;
                asWanted += wanted(p, c);
            }
        });
        QVERIFY2(inRegion > 0 && asWanted >= share * inRegion,
                 qPrintable(QString("%1 of %2").arg(asWanted).arg(inRegion)));
    }

    // The sleep view cross-fades from the idle figure, so the silhouettes must mostly agree.
    void sleepOverlapsIdle()
    {
        QFETCH_GLOBAL(int, scale);
        const QImage idle = pose("idle", scale), sleep = pose("sleep", scale);
        int both = 0, either = 0;
        for (int row = 0; row < idle.height(); ++row) {
            for (int col = 0; col < idle.width(); ++col) {
                const bool a = qAlpha(idle.pixel(col, row)) > 127;
                const bool b = qAlpha(sleep.pixel(col, row)) > 127;
                both += a && b;
                either += a || b;
            }
        }
        QVERIFY2(both > 0.7 * either, qPrintable(QString("%1 of %2").arg(both).arg(either)));
    }
};

QTEST_GUILESS_MAIN(ArtPlacementTest)
#include "ArtPlacementTest.moc"
