// The pet views paint eyelids, legs, feet and hearts at fixed places, so the pose art has to put
// its features where they expect them.

#include <QImage>
#include <QPainterPath>
#include <QTest>
#include <functional>

namespace {

// A test of one pixel: its centre in y-up canvas points and its colour.
using Pixel = std::function<bool(QPointF, QRgb)>;

// The points (y up) inside an odd number of the rectangles and the ovals inscribed in others.
Pixel within(std::initializer_list<QRectF> rects, std::initializer_list<QRectF> ovals = {})
{
    QPainterPath path;
    for (const QRectF &r : rects)
        path.addRect(r);
    for (const QRectF &r : ovals)
        path.addEllipse(r);
    return [path](QPointF p, QRgb) { return path.contains(p); };
}

const QRectF eyes[] = {{79.5, 139.5, 16.8, 18}, {104, 139.5, 16.8, 18}};
const QRectF feet[] = {{67, 7, 37, 23}, {109, 7, 28, 23}};

QImage pose(const QString &name, int scale)
{
    return QImage(QStringLiteral(":/pimlo/pimlo-%1%2.png").arg(name, scale == 2 ? "@2x" : ""))
        .convertToFormat(QImage::Format_ARGB32);
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
        const auto row = [](const char *name, const char *what, Pixel region, Pixel wanted,
                            double share) {
            QTest::addRow("%s: %s", name, what) << QString(name) << region << wanted << share;
        };
        const Pixel clear = [](QPointF, QRgb c) { return qAlpha(c) == 0; };
        const Pixel opaque = [](QPointF, QRgb c) { return qAlpha(c) == 255; };
        const Pixel dark = [](QPointF, QRgb c) { return qAlpha(c) == 255 && qGray(c) < 90; };
        for (const char *name : {"idle", "walk-left", "happy", "sleep"})
            row(name, "clear of the edges", within({{0, 0, 200, 200}, {1, 1, 198, 198}}), clear, 1);
        for (const QRectF &eye : eyes) {
            // Blink lids of exactly the skin colour are clipped to the eye ovals: around and just
            // inside each oval lies flat skin, within it a clearly dark eye.
            row(
                "idle", "skin around an eye",
                within({}, {eye.adjusted(-4, -4, 4, 4), eye.adjusted(1, 1, -1, -1)}),
                [](QPointF, QRgb c) { return c == qRgb(224, 227, 227); }, 1);
            row("idle", "eye", within({}, {eye}), dark, 1.0 / 3);
        }
        for (const QRectF &foot : feet)
            row("walk-left", "foot in its oval", within({}, {foot}), opaque, 1.0 / 3);
        // The breathing leaves everything below 18 points in place: the feet stand there.
        row("idle", "feet on the ground", within({{0, 0, 200, 18}}), opaque, 0.11);
        // Below the hip line the walking view draws only the feet ovals (half a point inside,
        // off the clip's antialiased edge) and its own legs and pelvis.
        const auto inner = [](const QRectF &r) { return r.adjusted(0.5, 0.5, -0.5, -0.5); };
        row("walk-left", "nothing else below the hips",
            within({{0, 0, 200, 37}}, {inner(feet[0]), inner(feet[1])}), clear, 1);
        // Where the image is cut at the hips it must be the pelvis colour, or the cut shows.
        row(
            "walk-left", "pelvis colour at the hip line", within({{80, 37, 48, 0.6}}),
            [](QPointF, QRgb c) { return qAlpha(c) == 255 && qAbs(qGray(c) - 11) <= 2; }, 1);
        row(
            "walk-left", "eyes left of the centre",
            [=](QPointF p, QRgb c) { return p.y() > 120 && dark(p, c); },
            [](QPointF p, QRgb) { return p.x() < 100; }, 0.75);
        // The hearts' rectangles, mapped into the image for every lift (0 to 14) of the jump.
        const auto heart = [](double x, double y, double side) {
            return QRectF((x - 6) / 0.94, (y - 9.58) / 0.94, side / 0.94, (side + 9.1) / 0.94);
        };
        row("happy", "room for the hearts",
            within({heart(22, 146, 14), heart(164, 157, 14), heart(151, 180, 10)}), clear, 1);
        // The sleep view cross-fades from the idle figure, so the silhouettes must mostly agree.
        const auto idleCovers = [idle = pose("idle", 2)](QPointF p) {
            return qAlpha(idle.pixel(int(p.x() * 2), int((200 - p.y()) * 2))) > 127;
        };
        row(
            "sleep", "over the idle figure",
            [=](QPointF p, QRgb c) { return qAlpha(c) > 127 || idleCovers(p); },
            [=](QPointF p, QRgb c) { return qAlpha(c) > 127 && idleCovers(p); }, 0.7);
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
        for (int row = 0; row < img.height(); ++row) {
            for (int col = 0; col < img.width(); ++col) {
                const QPointF p((col + 0.5) / scale, 200 - (row + 0.5) / scale);
                const bool in = region(p, img.pixel(col, row));
                inRegion += in;
                asWanted += in && wanted(p, img.pixel(col, row));
            }
        }
        QVERIFY2(inRegion > 0 && asWanted >= share * inRegion,
                 qPrintable(QString("%1 of %2").arg(asWanted).arg(inRegion)));
    }
};

QTEST_GUILESS_MAIN(ArtPlacementTest)
#include "ArtPlacementTest.moc"
