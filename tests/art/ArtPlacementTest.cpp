// Checks that the pose images put their features where the pet views expect them: the views
// paint eyelids, legs, feet and hearts at fixed places, so the art has to agree.

#include <QImage>
#include <QTest>
#include <functional>

namespace {

// An oval inscribed in a y-up rectangle of the 200 × 200 point canvas.
struct Oval
{
    double x, y, w, h;
    // True when p (y-up points) lies inside the oval grown by `grow` points (shrunk when < 0).
    bool contains(QPointF p, double grow = 0) const
    {
        const double rx = w / 2 + grow, ry = h / 2 + grow;
        const double dx = (p.x() - x - w / 2) / rx, dy = (p.y() - y - h / 2) / ry;
        return dx * dx + dy * dy <= 1;
    }
};

constexpr Oval kEyes[] = {{79.5, 139.5, 16.8, 18}, {104, 139.5, 16.8, 18}};
constexpr Oval kFeet[] = {{67, 7, 37, 23}, {109, 7, 28, 23}};
const QRgb kLid = qRgb(224, 227, 227);

QImage pose(const char *name, int scale)
{
    const QString path = QStringLiteral(":/pimlo/%1%2.png").arg(name, scale == 2 ? "@2x" : "");
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

// Calls f(point, pixel) for every pixel, with the pixel centre in y-up canvas points.
void forEachPixel(const QImage &img, const std::function<void(QPointF, QRgb)> &f)
{
    const double scale = img.width() / 200.0;
    for (int row = 0; row < img.height(); ++row)
        for (int col = 0; col < img.width(); ++col)
            f({(col + 0.5) / scale, 200 - (row + 0.5) / scale}, img.pixel(col, row));
}

bool isDark(QRgb c)
{
    return qAlpha(c) == 255 && qGray(c) < 90;
}

void addScales()
{
    QTest::addColumn<int>("scale");
    QTest::newRow("1x") << 1;
    QTest::newRow("2x") << 2;
}

} // namespace

class ArtPlacementTest final : public QObject
{
    Q_OBJECT
private slots:
    void poses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("scale");
        for (const char *name : {"pimlo-idle", "pimlo-walk-left", "pimlo-happy", "pimlo-sleep"})
            for (int scale : {1, 2})
                QTest::addRow("%s@%dx", name, scale) << QString::fromLatin1(name) << scale;
    }

    // Every pose fills its canvas at the right resolution and keeps clear of the canvas edges.
    void poses()
    {
        QFETCH(QString, name);
        QFETCH(int, scale);
        const QImage img = pose(name.toLatin1().constData(), scale);
        QCOMPARE(img.size(), QSize(200 * scale, 200 * scale));
        int nearEdge = 0, opaque = 0;
        forEachPixel(img, [&](QPointF p, QRgb c) {
            if (qAlpha(c) == 0)
                return;
            ++opaque;
            if (p.x() < 1 || p.x() > 199 || p.y() < 1 || p.y() > 199)
                ++nearEdge;
        });
        QCOMPARE(nearEdge, 0);
        QVERIFY(opaque > 8000 * scale * scale);
    }

    // Blink lids of exactly the skin colour are painted clipped to the eye ovals: around and
    // just inside each oval there must be flat opaque skin, within it a clearly dark eye.
    void idleEyesMeltIntoLids_data() { addScales(); }
    void idleEyesMeltIntoLids()
    {
        QFETCH(int, scale);
        for (const Oval &eye : kEyes) {
            int skinFaults = 0, dark = 0, inside = 0;
            forEachPixel(pose("pimlo-idle", scale), [&](QPointF p, QRgb c) {
                if (eye.contains(p, 4) && !eye.contains(p, -1) && c != kLid)
                    ++skinFaults;
                if (eye.contains(p)) {
                    ++inside;
                    dark += isDark(c);
                }
            });
            QCOMPARE(skinFaults, 0);
            QVERIFY2(dark > inside / 3, qPrintable(QString("%1 of %2").arg(dark).arg(inside)));
        }
    }

    // The breathing leaves everything below 18 points in place: the feet stand there.
    void idleFeetOnTheGround_data() { addScales(); }
    void idleFeetOnTheGround()
    {
        QFETCH(int, scale);
        int feet = 0;
        forEachPixel(pose("pimlo-idle", scale), [&](QPointF p, QRgb c) {
            if (p.y() < 18 && qAlpha(c) == 255)
                ++feet;
        });
        QVERIFY(feet > 400 * scale * scale);
    }

    // The walking view draws only the feet ovals below the hip line, its own dark legs and
    // pelvis, and the rows above it, so the art must have nothing else below the hips.
    void walkFeetInsideTheirOvals_data() { addScales(); }
    void walkFeetInsideTheirOvals()
    {
        QFETCH(int, scale);
        const QImage img = pose("pimlo-walk-left", scale);
        int stray = 0, foot[2] = {0, 0}, area[2] = {0, 0};
        double darkX = 0;
        int darkCount = 0;
        forEachPixel(img, [&](QPointF p, QRgb c) {
            for (int i = 0; i < 2; ++i)
                if (kFeet[i].contains(p)) {
                    ++area[i];
                    foot[i] += qAlpha(c) == 255;
                }
            // Half a point of margin keeps the view's anti-aliased clip off the shoe edges.
            if (p.y() < 37 && qAlpha(c) > 0 && !kFeet[0].contains(p, -0.5) &&
                !kFeet[1].contains(p, -0.5))
                ++stray;
            if (p.y() > 120 && isDark(c)) {
                darkX += p.x();
                ++darkCount;
            }
        });
        QCOMPARE(stray, 0);
        QVERIFY(foot[0] > area[0] / 3);
        QVERIFY(foot[1] > area[1] / 3);
        // Facing left: the eyes sit left of the canvas centre.
        QVERIFY(darkCount > 50 * scale * scale);
        QVERIFY(darkX / darkCount < 92);
        // The image is cut at the hip line: there it must be the pelvis colour the view paints
        // below, or the cut shows as a seam.
        for (int x = 80; x <= 128; x += 4) {
            const QRgb hips = img.pixel(x * scale, (200 - 37) * scale - 1);
            QVERIFY2(qAbs(qGray(hips) - 11) <= 2 && qAlpha(hips) == 255,
                     qPrintable(QString::number(x)));
        }
    }

    // The hearts rise beside the jumping figure: their rectangles, mapped into the image for
    // every lift of the jump, must be free of the figure.
    void happyLeavesRoomForHearts_data() { addScales(); }
    void happyLeavesRoomForHearts()
    {
        QFETCH(int, scale);
        const QRectF hearts[] = {{22, 146, 14, 14}, {164, 157, 14, 14}, {151, 180, 10, 10}};
        int covered = 0;
        forEachPixel(pose("pimlo-happy", scale), [&](QPointF p, QRgb c) {
            if (qAlpha(c) == 0)
                return;
            for (const QRectF &h : hearts)
                for (double lift = 0; lift <= 14; lift += 1) {
                    const QRectF r((h.x() - 6) / 0.94, (h.y() + 0.35 * lift - 0.48 - lift) / 0.94,
                                   h.width() / 0.94, h.height() / 0.94);
                    covered += r.contains(p);
                }
        });
        QCOMPARE(covered, 0);
    }

    // The sleep view cross-fades from the idle figure, so the two silhouettes must mostly agree.
    void sleepOverlapsIdle_data() { addScales(); }
    void sleepOverlapsIdle()
    {
        QFETCH(int, scale);
        const QImage idle = pose("pimlo-idle", scale), sleep = pose("pimlo-sleep", scale);
        int both = 0, either = 0;
        for (int row = 0; row < idle.height(); ++row)
            for (int col = 0; col < idle.width(); ++col) {
                const bool a = qAlpha(idle.pixel(col, row)) > 127;
                const bool b = qAlpha(sleep.pixel(col, row)) > 127;
                both += a && b;
                either += a || b;
            }
        QVERIFY2(both > 0.7 * either, qPrintable(QString("%1 of %2").arg(both).arg(either)));
    }
};

QTEST_GUILESS_MAIN(ArtPlacementTest)
#include "ArtPlacementTest.moc"
