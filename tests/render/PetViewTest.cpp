#include "render/HappyPetView.h"
#include "render/HappyPose.h"
#include "render/IdlePetView.h"
#include "render/SleepPetView.h"
#include "render/SleepPose.h"
#include "render/WalkingPetView.h"

#include <QPainter>
#include <QPainterPath>
#include <QTest>
#include <functional>

using namespace pimlo;

namespace {

// What a probed pixel must be: a colour (premultiplied, within 2 a channel) or one of these,
// which no premultiplied pixel can be.
constexpr QRgb clear = 1, opaque = 2, dark = 3, asPose = 4;
constexpr QRgb red = 0xffff0000, green = 0xff00ff00, blue = 0xff0000ff;
constexpr QRgb magenta = 0xffff00ff, orange = 0xffff8000, lid = 0xffe0e3e3, pelvis = 0xff0b0b0b;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

using Curve = std::function<double(double)>;
using Probes = QList<std::pair<QPointF, QRgb>>;
using Pixel = std::function<bool(QPointF, QRgb)>; // a test of a pixel at a point (y up)

// Where the views paint the eyelids and the feet, so where the art must have its eyes and feet.
const QRectF eyes[] = {{79.5, 139.5, 16.8, 18}, {104, 139.5, 16.8, 18}};
const QRectF feet[] = {{67, 7, 37, 23}, {109, 7, 28, 23}};

bool near(QRgb a, QRgb b, int tolerance = 2)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))}) <= tolerance;
}

// A transparent 200 × 200 point image. Painting on it untransformed, a view draws its y-down
// output, and a test pose lands at canvas points (y up) in the views' mirrored storage.
QImage canvas(qreal ratio, const std::function<void(QPainter &)> &paint)
{
    QImage image(int(200 * ratio), int(200 * ratio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter);
    return image;
}

template <typename View> QImage render(const View &view, qreal ratio)
{
    return canvas(ratio, [&](QPainter &painter) { view.draw(painter); });
}

// The pixel of a y-down image holding canvas point p (y up).
QRgb pixelAt(const QImage &image, QPointF p)
{
    const qreal r = image.devicePixelRatio();
    return image.pixel(int(p.x() * r), int((200 - p.y()) * r));
}

QPoint findPixel(const QImage &image, const std::function<bool(int, int)> &bad)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (bad(x, y))
                return {x, y};
    return {-1, -1};
}

// Opaque from y = 20 to 180 and x = 30 to 170 on the background, its colour changing every
// pixel row so that misplaced slices show.
QImage stripedPose(qreal ratio, QColor background = Qt::transparent)
{
    QImage image = canvas(ratio, [&](QPainter &p) { p.fillRect(0, 0, 200, 200, background); });
    for (int row = int(20 * ratio); row < int(180 * ratio); ++row)
        for (int x = int(30 * ratio); x < int(170 * ratio); ++x)
            image.setPixelColor(x, row, QColor(40 + row % 200, 200 - row % 150, (row * 7) % 256));
    return image;
}

// The standing figure for sleeping, opaque like the blue sleeper: the striped figure on red.
IdlePetView standing(qreal ratio)
{
    return IdlePetView(stripedPose(ratio, Qt::red), false);
}

// Green below the hips outside the feet ovals, which must never show; the ovals clear but for a
// one-point marker each, red in foot 0 and blue in foot 1; the upper body magenta left of
// x = 100 and orange right of it.
QImage walkingPose(qreal ratio)
{
    return canvas(ratio, [](QPainter &painter) {
        QPainterPath below, ovals;
        below.addRect(0, 0, 200, 37);
        for (const QRectF &foot : feet) // a margin keeps the clip's antialiased edge off the green
            ovals.addEllipse(foot.adjusted(-1.5, -1.5, 1.5, 1.5));
        painter.fillPath(below.subtracted(ovals), QColor::fromRgba(green));
        painter.fillRect(QRectF(84, 10, 1, 1), QColor::fromRgba(red));
        painter.fillRect(QRectF(122, 16, 1, 1), QColor::fromRgba(blue));
        painter.fillRect(QRectF(0, 37, 100, 163), QColor::fromRgba(magenta));
        painter.fillRect(QRectF(100, 37, 100, 163), QColor::fromRgba(orange));
    });
}

// A view by name drawn at a time; "lids" is the idle pose with its eyelids closed by `time`.
QImage draw(const QString &name, qreal ratio, double time, qint64 direction = -1)
{
    if (name == "walk") {
        WalkingPetView view(walkingPose(ratio));
        view.stepTime = time;
        view.direction = direction;
        return render(view, ratio);
    }
    if (name == "happy") {
        // Red bars along the bottom edge and the middle of the top show where the figure lands.
        HappyPetView view(canvas(ratio, [](QPainter &painter) {
            painter.fillRect(QRectF(10, 0, 100, 8), Qt::red);
            painter.fillRect(QRectF(90, 192, 20, 8), Qt::red);
        }));
        view.time = time;
        return render(view, ratio);
    }
    if (name == "sleep") {
        SleepPetView view(canvas(ratio, [](QPainter &p) { p.fillRect(0, 0, 200, 200, Qt::blue); }),
                          standing(ratio));
        view.time = time;
        return render(view, ratio);
    }
    IdlePetView view(stripedPose(ratio), false);
    if (name == "lids")
        return view.pose(time).mirrored(false, true);
    view.previewTime = time;
    return render(view, ratio);
}

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

QImage art(const QString &name, int scale)
{
    return QImage(QStringLiteral(":/pimlo/pimlo-%1%2.png").arg(name, scale == 2 ? "@2x" : ""))
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace

Q_DECLARE_METATYPE(Curve)
Q_DECLARE_METATYPE(Pixel)

class PetViewTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("@1x") << 1.0;
        QTest::newRow("@2x") << 2.0;
    }

    // Every quantity the views take from a clock, sampled as (time, value).
    void curve_data()
    {
        QTest::addColumn<Curve>("curve");
        QTest::addColumn<QPointF>("sample");
        const auto samples = [](const char *name, Curve curve, const QList<QPointF> &points) {
            for (const QPointF &p : points)
                QTest::addRow("%s at %g", name, p.x()) << curve << p;
        };
        // From 2 s every 8.4 s the eyes close in 0.1 s, stay shut 0.05 s and open in 0.15 s.
        samples("blink", IdlePetView::blinkAmount,
                {{2.05, 0.5}, {2.175, 5.0 / 6}, {10.45, 0.5}, {-6.35, 0}, {notANumber, 0}});
        samples("breath", IdlePetView::breath, {{2.1, 1}});
        samples("sway", IdlePetView::sway, {{2.1, 0.023}, {6.3, -0.023}});
        // A clock that ran backwards still gives a frame in range; 8.39 is not the next loop's 0.
        samples("idle frame", IdlePetView::frameIndex,
                {{4.2, 101}, {8.39, 201}, {-0.1, 200}, {notANumber, 0}});
        samples("lift", [](double t) { return HappyPose(t).lift; }, {{0.265, 3.4034}, {0.7, 14}});
        samples("hearts", [](double t) { return HappyPose(t).hearts; },
                {{0.265, 0.5}, {0.7, 1}, {1.125, 0.5}});
        samples("squash", [](double t) { return HappyPose(t).squash; },
                {{0.1, 0.965}, {1.4, 0.965}, {2.5, 1}, {-0.1, 1}});
        samples("eyelids", [](double t) { return SleepPose(t).eyelids; },
                {{0.45, 0.5}, {5.1, 0.648}, {10, 0}, {notANumber, 0}});
        // Off the midpoint, smoothstep and a linear fade differ.
        samples("blend", [](double t) { return SleepPose(t).blend; },
                {{1.475, 0.5}, {5.1, 0.5}, {5.15, 325.0 / 864}});
        samples("resting", [](double t) { return double(SleepPose(t).resting); },
                {{1.475, 0}, {1.75, 1}, {4.8, 0}});
        // Nearest, halves away from zero (not to even), within 0…20.
        samples("eyelid frame", SleepPetView::eyelidFrameIndex,
                {{0.125, 3}, {0.6249, 12}, {1.3, 20}, {-0.2, 0}, {notANumber, 0}});
        // The nearest of 32 steps a stride, from either side; the end of the stride wraps.
        const double step = WalkingPetView::stridePeriod / 32;
        samples("walk step", WalkingPetView::cachedStep,
                {{0.21, 8},
                 {5 * step - 0.005, 5},
                 {5 * step + 0.005, 5},
                 {32 * step - 0.004, 0},
                 {3200 * step + 0.21, 8}});
    }

    void curve()
    {
        QFETCH(Curve, curve);
        QFETCH(QPointF, sample);
        QVERIFY2(std::abs(curve(sample.x()) - sample.y()) < 1e-9,
                 qPrintable(QString::number(curve(sample.x()))));
    }

    void probe_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<double>("time");
        QTest::addColumn<qint64>("direction");
        QTest::addColumn<Probes>("probes");
        const auto row = [](const char *view, double time, const Probes &probes,
                            qint64 direction = -1) {
            const QPointF first = probes.isEmpty() ? QPointF() : probes.first().first;
            QTest::addRow("%s %g %lld (%g, %g)", view, time, direction, first.x(), first.y())
                << QString(view) << time << direction << probes;
        };
        // Closed lids fill both eye ovals but for a dark line; at 0.8 a gap is left, unlined.
        Probes closed{{{60, 148.3}, asPose}};
        for (const QRectF &eye : eyes) {
            const double x = eye.center().x();
            for (const QPointF p :
                 {QPointF(x, 141.3), QPointF(x, 146.6), QPointF(x, 150.6), QPointF(x, 156.3),
                  QPointF(eye.left() + 1.5, 150.6), QPointF(eye.right() - 1.5, 150.6)})
                closed.append({p, lid});
            closed.append({{x, 149.2}, dark});
        }
        row("lids", 1, closed);
        row("lids", 0.8,
            {{{87.9, 148.2}, asPose},
             {{87.9, 149.4}, asPose},
             {{87.9, 155.3}, lid},
             {{87.9, 142.3}, lid}});
        row("idle", 0, {{{100, 179.5}, opaque}, {{100, 180.5}, clear}}); // the pose itself
        // A full breath lifts the top edge (180) by 1.25 and leans it right; the feet stay.
        row("idle", 2.1,
            {{{100.3, 180.6}, opaque},
             {{100.3, 182.2}, clear},
             {{171.6, 175.1}, opaque},
             {{100.3, 20.25}, opaque},
             {{100.3, 19.75}, clear}});
        // The feet swing by ±(10 + 12 sin φ), the forward one lifted by up to 4; the pelvis
        // covers the top of leg 0 (grey 0.055); the body's split stays sharp. Walking right (any
        // direction from 1 up) mirrors x to 200 − x. Rows without probes are checked whole.
        const auto walk = [&](double time, const Probes &probes) {
            row("walk", time, probes);
            Probes mirrored;
            for (const auto &[p, want] : probes)
                mirrored.append({{200 - p.x(), p.y()}, want});
            row("walk", time, mirrored, 1);
        };
        walk(0, {{{94.5, 10.5}, red}, {{112.5, 16.5}, blue}});
        walk(0, {{{99.8, 150.3}, magenta}, {{100.2, 150.3}, orange}});
        walk(0, {{{50, 37.6}, clear}, {{50, 39.5}, magenta}}); // the body bobbed up by 1.2
        walk(0.21, {{{106.5, 14.5}, red}, {{100.5, 16.5}, blue}, {{89.5, 32.5}, pelvis}});
        walk(0.63, {{{82.5, 10.5}, red}, {{124.5, 20.5}, blue}});
        for (const qint64 direction : {qint64(0), std::numeric_limits<qint64>::min()})
            row("walk", 0.21, {{{106.5, 14.5}, red}}, direction);
        row("walk", 0.21, {{{93.5, 14.5}, red}}, 7);
        const double step = WalkingPetView::stridePeriod / 32;
        for (const double time :
             {0.1, 0.5, 5 * step - 0.005, 5 * step + 0.005, 32 * step - 0.004, 3200 * step + 0.21})
            walk(time, {});
        for (const double time : {0.45, 1.3, 1.475, 1.75, 5.1, 5.4})
            row("sleep", time, {});
        // The figure at 94 % of the canvas, squashed and lifted as the pose says; the hearts at
        // its opacity, risen by 35 % of its lift.
        for (const double time : {0.1, 0.265, 0.7, 1.4}) {
            const HappyPose pose(time);
            const double bottom = 0.48 + pose.lift, top = bottom + 188 * pose.squash;
            // Scaled about x = 100, the bottom bar starts at 15.4.
            Probes probes{{{100, bottom + 1.5}, opaque},
                          {{16.4, bottom + 1.5}, opaque},
                          {{14.4, bottom + 1.5}, clear}};
            if (pose.lift > 1)
                probes.append({{100, bottom - 1}, clear});
            if (top < 198)
                probes.append({{{100, top - 1.5}, opaque}, {{100, top + 1}, clear}});
            for (const auto &[heart, g] : {std::pair{QRectF(22, 146, 14, 14), 0.35},
                                           {QRectF(164, 157, 14, 14), 0.43},
                                           {QRectF(151, 180, 10, 10), 0.51}}) {
                const QRectF r = heart.translated(0, 0.35 * pose.lift);
                const auto c = [&](double v) { return int(std::lround(v * pose.hearts * 255)); };
                const QRgb fill = qRgba(c(1), c(g), c(0.52), c(1));
                const double lobe = r.left() + 0.25 * r.width();
                // Between the lobes and near the top of the left one; clear above and below.
                probes.append({{r.center(), fill},
                               {{lobe, r.bottom() - 2.5}, fill},
                               {{r.center().x(), r.top() - 1}, clear},
                               {{lobe, r.bottom() + 1}, clear}});
            }
            row("happy", time, probes);
        }
    }

    void probe()
    {
        QFETCH_GLOBAL(qreal, ratio);
        QFETCH(QString, view);
        QFETCH(double, time);
        QFETCH(qint64, direction);
        QFETCH(Probes, probes);
        const QImage out = draw(view, ratio, time, direction);
        const QImage pose = stripedPose(ratio).mirrored(false, true);
        for (const auto &[point, want] : probes) {
            const QRgb got = pixelAt(out, point);
            const bool ok = want == clear    ? qAlpha(got) < 16
                            : want == opaque ? qAlpha(got) > 240
                            : want == dark
                                ? qAlpha(got) == 255 && qGray(got) < 120
                                : near(got, want == asPose ? pixelAt(pose, point) : want);
            QVERIFY2(
                ok,
                qPrintable(QString("(%1, %2): %3").arg(point.x()).arg(point.y()).arg(got, 0, 16)));
        }
        if (view == "walk") {
            // Nothing below the hips shows outside the feet (antialiased edges may mix a little
            // green in), the stride repeats, the widget paints the nearest cached step's drawing.
            const QImage later = draw(view, ratio, time + WalkingPetView::stridePeriod, direction);
            QCOMPARE(findPixel(out,
                               [&](int x, int y) {
                                   const QRgb p = out.pixel(x, y);
                                   return qGreen(p) >= std::max(qRed(p), qBlue(p)) + 24 ||
                                          !near(p, later.pixel(x, y), 1);
                               }),
                     QPoint(-1, -1));
            WalkingPetView widget(walkingPose(1));
            QVERIFY(widget.testAttribute(Qt::WA_TransparentForMouseEvents));
            widget.stepTime = time;
            widget.direction = direction;
            QImage painted = canvas(1, [](QPainter &) {});
            widget.render(&painted, QPoint(), QRegion(), QWidget::DrawChildren);
            const double step = WalkingPetView::cachedStepTime(WalkingPetView::cachedStep(time));
            QCOMPARE(painted, draw(view, 1, step, direction));
        }
        if (view == "idle") {
            // On screen, a clock's time shows the frame cached for it: the live drawing at that
            // frame's time, copied onto the cleared window.
            double now = 100;
            IdlePetView widget(stripedPose(ratio), true, [&] { return now; });
            QVERIFY(widget.timer()->isActive());
            now += time;
            QImage painted = canvas(ratio, [](QPainter &) {});
            widget.render(&painted);
            const QImage live =
                draw(view, ratio, IdlePetView::frameIndex(time) * IdlePetView::frameInterval);
            QCOMPARE(findPixel(painted,
                               [&](int x, int y) {
                                   return !near(painted.pixel(x, y), live.pixel(x, y));
                               }),
                     QPoint(-1, -1));
        }
        if (view == "sleep") {
            // (1 − blend) × the idle pose closed by the nearest twentieth + blend × the sleeper,
            // in premultiplied colour; two opaque images stay opaque.
            const SleepPose pose(time);
            const int frame = SleepPetView::eyelidFrameIndex(pose.eyelids);
            const QImage closed = standing(ratio).pose(frame / 20.0).mirrored(false, true);
            const auto mix = [&](QRgb f, QRgb s) {
                QRgb mixed = 0;
                for (const int shift : {0, 8, 16, 24}) {
                    const double c =
                        (1 - pose.blend) * (f >> shift & 0xff) + pose.blend * (s >> shift & 0xff);
                    mixed |= QRgb(std::min(255L, std::lround(c))) << shift;
                }
                return mixed;
            };
            // Fading in 8 bits costs up to 3 units where two roundings meet.
            QCOMPARE(findPixel(out,
                               [&](int x, int y) {
                                   const QRgb o = out.pixel(x, y);
                                   return qAlpha(o) < 254 ||
                                          !near(o, mix(closed.pixel(x, y), blue), 3);
                               }),
                     QPoint(-1, -1));
        }
    }

    // The pose art puts its features where the views expect them.
    void artPlacement_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Pixel>("region");
        QTest::addColumn<Pixel>("wanted");
        QTest::addColumn<double>("share"); // of the region's pixels that must be as wanted
        const auto row = [](const char *name, const char *what, Pixel region, Pixel wanted,
                            double share) {
            QTest::addRow("%s: %s", name, what) << QString(name) << region << wanted << share;
        };
        const Pixel isClear = [](QPointF, QRgb c) { return qAlpha(c) == 0; };
        const Pixel isOpaque = [](QPointF, QRgb c) { return qAlpha(c) == 255; };
        const Pixel isDark = [](QPointF, QRgb c) { return qAlpha(c) == 255 && qGray(c) < 90; };
        for (const char *name : {"idle", "walk-left", "happy", "sleep"})
            row(name, "clear of the edges", within({{0, 0, 200, 200}, {1, 1, 198, 198}}), isClear,
                1);
        for (const QRectF &eye : eyes) {
            // Blink lids of exactly the skin colour are clipped to the eye ovals: around and just
            // inside each oval lies flat skin, within it a clearly dark eye.
            row(
                "idle", "skin around an eye",
                within({}, {eye.adjusted(-4, -4, 4, 4), eye.adjusted(1, 1, -1, -1)}),
                [](QPointF, QRgb c) { return c == qRgb(224, 227, 227); }, 1);
            row("idle", "eye", within({}, {eye}), isDark, 1.0 / 3);
        }
        for (const QRectF &foot : feet)
            row("walk-left", "foot in its oval", within({}, {foot}), isOpaque, 1.0 / 3);
        // The breathing leaves everything below 18 points in place: the feet stand there.
        row("idle", "feet on the ground", within({{0, 0, 200, 18}}), isOpaque, 0.11);
        // Below the hip line the walking view draws only the feet ovals (half a point inside,
        // off the clip's antialiased edge) and its own legs and pelvis.
        const auto inner = [](const QRectF &r) { return r.adjusted(0.5, 0.5, -0.5, -0.5); };
        row("walk-left", "nothing else below the hips",
            within({{0, 0, 200, 37}}, {inner(feet[0]), inner(feet[1])}), isClear, 1);
        // Where the image is cut at the hips it must be the pelvis colour, or the cut shows.
        row(
            "walk-left", "pelvis colour at the hip line", within({{80, 37, 48, 0.6}}),
            [](QPointF, QRgb c) { return qAlpha(c) == 255 && qAbs(qGray(c) - 11) <= 2; }, 1);
        row(
            "walk-left", "eyes left of the centre",
            [=](QPointF p, QRgb c) { return p.y() > 120 && isDark(p, c); },
            [](QPointF p, QRgb) { return p.x() < 100; }, 0.75);
        // The hearts' rectangles, mapped into the image for every lift (0 to 14) of the jump.
        const auto heart = [](double x, double y, double side) {
            return QRectF((x - 6) / 0.94, (y - 9.58) / 0.94, side / 0.94, (side + 9.1) / 0.94);
        };
        row("happy", "room for the hearts",
            within({heart(22, 146, 14), heart(164, 157, 14), heart(151, 180, 10)}), isClear, 1);
        // The sleep view cross-fades from the idle figure, so the silhouettes must mostly agree.
        const auto idleCovers = [idle = art("idle", 2)](QPointF p) {
            return qAlpha(idle.pixel(int(p.x() * 2), int((200 - p.y()) * 2))) > 127;
        };
        row(
            "sleep", "over the idle figure",
            [=](QPointF p, QRgb c) { return qAlpha(c) > 127 || idleCovers(p); },
            [=](QPointF p, QRgb c) { return qAlpha(c) > 127 && idleCovers(p); }, 0.7);
    }
    void artPlacement()
    {
        QFETCH_GLOBAL(qreal, ratio);
        QFETCH(QString, name);
        QFETCH(Pixel, region);
        QFETCH(Pixel, wanted);
        QFETCH(double, share);
        const QImage img = art(name, int(ratio));
        QCOMPARE(img.size(), QSize(200, 200) * ratio);
        int inRegion = 0, asWanted = 0;
        for (int row = 0; row < img.height(); ++row) {
            for (int col = 0; col < img.width(); ++col) {
                const QPointF p((col + 0.5) / ratio, 200 - (row + 0.5) / ratio);
                const bool in = region(p, img.pixel(col, row));
                inRegion += in;
                asWanted += in && wanted(p, img.pixel(col, row));
            }
        }
        QVERIFY2(inRegion > 0 && asWanted >= share * inRegion,
                 qPrintable(QString("%1 of %2").arg(asWanted).arg(inRegion)));
    }
};

QTEST_MAIN(PetViewTest)
#include "PetViewTest.moc"
