// Renders a pet view at any time to PNG, or a contact sheet of one animation.
//
//   pimlo-render idle  --time 2.1 -o idle.png
//   pimlo-render walk  --step 0.21 --direction 1 --ratio 2 -o walk.png
//   pimlo-render happy --sheet --frames 12 -o docs/happy-sheet.png
//
// Views: idle (the live pose of IdlePetView at --time), walk (--step, --direction), happy and
// sleep (--time). A sheet lays out --frames frames across the animation's length with their
// times, on a soft background; the walk sheet has one row per direction.

#include "render/HappyPetView.h"
#include "render/HappyPose.h"
#include "render/IdlePetView.h"
#include "render/PetCanvas.h"
#include "render/PoseImages.h"
#include "render/SleepPetView.h"
#include "render/SleepPose.h"
#include "render/WalkingPetView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QPainter>
#include <cstdio>
#include <functional>
#include <memory>

using namespace pimlo;

namespace {

struct Frame
{
    double time;
    std::int64_t direction;
};

// Draws one frame of a view onto a 200 × 200 point device.
using Renderer = std::function<void(QPainter &, const Frame &)>;

struct Animation
{
    double length;
    bool loops;    // a loop's last frame would repeat its first, so it is left out
    QString clock; // what the time drives, for the sheet's title
};

Animation animationOf(const QString &view)
{
    if (view == QLatin1String("idle"))
        return {IdlePetView::loopLength, true, QStringLiteral("idle loop")};
    if (view == QLatin1String("walk"))
        return {WalkingPetView::stridePeriod, true, QStringLiteral("one stride of stepTime")};
    if (view == QLatin1String("happy"))
        return {HappyPose::duration, false, QStringLiteral("happy jump")};
    return {SleepPose::duration, false, QStringLiteral("sleep")};
}

QImage loadPose(const QString &name, qreal ratio)
{
    QImage image = PoseImages::load(name, ratio);
    if (image.isNull()) {
        std::fprintf(stderr, "pimlo-render: missing pose image %s\n", qPrintable(name));
        std::exit(1);
    }
    return image;
}

// Owns the views a renderer needs and keeps them alive as long as the renderer.
Renderer makeRenderer(const QString &view, qreal ratio)
{
    if (view == QLatin1String("idle")) {
        auto idle =
            std::make_shared<IdlePetView>(loadPose(QStringLiteral("pimlo-idle"), ratio), false);
        return [idle](QPainter &painter, const Frame &frame) {
            idle->previewTime = frame.time;
            idle->draw(painter);
        };
    }
    if (view == QLatin1String("walk")) {
        auto walk =
            std::make_shared<WalkingPetView>(loadPose(QStringLiteral("pimlo-walk-left"), ratio));
        return [walk](QPainter &painter, const Frame &frame) {
            walk->stepTime = frame.time;
            walk->direction = frame.direction;
            walk->draw(painter);
        };
    }
    if (view == QLatin1String("happy")) {
        auto happy = std::make_shared<HappyPetView>(loadPose(QStringLiteral("pimlo-happy"), ratio));
        return [happy](QPainter &painter, const Frame &frame) {
            happy->time = frame.time;
            happy->draw(painter);
        };
    }
    const IdlePetView standing(loadPose(QStringLiteral("pimlo-idle"), ratio), false);
    auto sleep =
        std::make_shared<SleepPetView>(loadPose(QStringLiteral("pimlo-sleep"), ratio), standing);
    return [sleep](QPainter &painter, const Frame &frame) {
        sleep->time = frame.time;
        sleep->draw(painter);
    };
}

QImage blankImage(QSizeF points, qreal ratio, const QColor &fill)
{
    QImage image((points * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(fill);
    return image;
}

QImage renderFrame(const Renderer &renderer, const Frame &frame, qreal ratio)
{
    QImage image = blankImage(QSizeF(PetCanvas::size, PetCanvas::size), ratio, Qt::transparent);
    QPainter painter(&image);
    renderer(painter, frame);
    return image;
}

QImage renderSheet(const QString &view, const Renderer &renderer, int count, qreal ratio,
                   const QColor &background)
{
    const Animation animation = animationOf(view);
    std::vector<std::int64_t> rows{-1};
    if (view == QLatin1String("walk"))
        rows = {-1, 1};

    constexpr double pad = 10, label = 22, title = 30;
    const double cell = PetCanvas::size;
    const QSizeF size(pad + count * (cell + pad), title + rows.size() * (cell + label + pad));
    QImage sheet = blankImage(size, ratio, background);
    QPainter painter(&sheet);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(QColor(0x55, 0x5b, 0x66));
    painter.drawText(QRectF(pad, 0, size.width() - 2 * pad, title), Qt::AlignVCenter,
                     QStringLiteral("%1 — %2: %3 frames over %4 s")
                         .arg(view, animation.clock)
                         .arg(count)
                         .arg(animation.length));

    const int steps = animation.loops || count < 2 ? count : count - 1;
    for (size_t row = 0; row < rows.size(); ++row) {
        const double top = title + row * (cell + label + pad);
        for (int i = 0; i < count; ++i) {
            const Frame frame{i * animation.length / steps, rows[row]};
            const QPointF origin(pad + i * (cell + pad), top);
            painter.setPen(Qt::NoPen);
            painter.setBrush(background.lighter(104));
            painter.drawRoundedRect(QRectF(origin, QSizeF(cell, cell)), 8, 8);
            painter.drawImage(origin, renderFrame(renderer, frame, ratio));

            QString text = QStringLiteral("%1 s").arg(frame.time, 0, 'f', 2);
            if (view == QLatin1String("walk"))
                text +=
                    frame.direction >= 1 ? QStringLiteral("  → right") : QStringLiteral("  ← left");
            painter.setPen(QColor(0x55, 0x5b, 0x66));
            painter.drawText(QRectF(origin.x(), top + cell, cell, label), Qt::AlignCenter, text);
        }
    }
    return sheet;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders a Pimlo pet view to PNG, or a contact sheet of its animation."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("view"),
                                 QStringLiteral("idle, walk, happy or sleep"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("PNG file to write."), QStringLiteral("file"));
    const QCommandLineOption time(
        QStringLiteral("time"), QStringLiteral("Seconds into the animation (idle, happy, sleep)."),
        QStringLiteral("seconds"), QStringLiteral("0"));
    const QCommandLineOption step(QStringLiteral("step"), QStringLiteral("Walk clock (walk)."),
                                  QStringLiteral("seconds"), QStringLiteral("0"));
    const QCommandLineOption direction(QStringLiteral("direction"),
                                       QStringLiteral("-1 walks left, 1 right (walk)."),
                                       QStringLiteral("n"), QStringLiteral("-1"));
    const QCommandLineOption ratio(QStringLiteral("ratio"), QStringLiteral("Pixel ratio, 1 or 2."),
                                   QStringLiteral("r"), QStringLiteral("1"));
    const QCommandLineOption sheet(QStringLiteral("sheet"),
                                   QStringLiteral("Write a contact sheet across the animation."));
    const QCommandLineOption frames(QStringLiteral("frames"),
                                    QStringLiteral("Frames on a contact sheet."),
                                    QStringLiteral("n"), QStringLiteral("12"));
    const QCommandLineOption background(
        QStringLiteral("background"),
        QStringLiteral("Background colour (default: transparent; a soft grey on sheets)."),
        QStringLiteral("colour"));
    parser.addOptions({output, time, step, direction, ratio, sheet, frames, background});
    parser.process(app);

    const QStringList views{QStringLiteral("idle"), QStringLiteral("walk"), QStringLiteral("happy"),
                            QStringLiteral("sleep")};
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1 || !views.contains(args[0]) || !parser.isSet(output)) {
        std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return 2;
    }
    const QString view = args[0];

    bool ok = true;
    const auto number = [&](const QCommandLineOption &option) {
        bool good = false;
        const double value = parser.value(option).toDouble(&good);
        ok = ok && good;
        return value;
    };
    const qreal pixelRatio = number(ratio) > 1 ? 2.0 : 1.0;
    const int frameCount = int(number(frames));
    const double seconds = number(view == QLatin1String("walk") ? step : time);
    const auto walkDirection = std::int64_t(number(direction));
    QColor fill = parser.isSet(sheet) ? QColor(0xee, 0xf1, 0xf5) : QColor(Qt::transparent);
    if (parser.isSet(background))
        fill = QColor::fromString(parser.value(background));
    if (!ok || frameCount < 1 || frameCount > 200 || !fill.isValid()) {
        std::fprintf(stderr, "pimlo-render: bad number or colour\n");
        return 2;
    }

    const Renderer renderer = makeRenderer(view, pixelRatio);
    QImage result;
    if (parser.isSet(sheet)) {
        result = renderSheet(view, renderer, frameCount, pixelRatio, fill);
    } else {
        result = blankImage(QSizeF(PetCanvas::size, PetCanvas::size), pixelRatio, fill);
        QPainter painter(&result);
        painter.drawImage(QPointF(0, 0),
                          renderFrame(renderer, {seconds, walkDirection}, pixelRatio));
    }
    if (!result.save(parser.value(output), "PNG")) {
        std::fprintf(stderr, "pimlo-render: cannot write %s\n", qPrintable(parser.value(output)));
        return 1;
    }
    return 0;
}
