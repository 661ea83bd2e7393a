#include "WalkingPetView.h"

#include "render/PetCanvas.h"
#include "render/PoseImages.h"

#include <QPainterPath>
#include <array>
#include <cmath>
#include <numbers>

namespace pimlo {

namespace {

struct Foot
{
    QRectF rect; // where the foot lies in the image, y up
    double hipX;
    double swingSign; // the foot's swing is swingSign × sin φ
};

// Foot 0 swings with sin φ, foot 1 against it; each is offset by ±(10 + 12 sin φ).
constexpr std::array<Foot, 2> feet{{
    {QRectF(67, 7, 37, 23), 90, 1},
    {QRectF(109, 7, 28, 23), 119, -1},
}};

const QColor legColour = QColor::fromRgbF(0.055f, 0.055f, 0.055f);
const QColor pelvisColour = QColor::fromRgbF(0.045f, 0.045f, 0.045f);

} // namespace

WalkingPetView::WalkingPetView(QImage image, QWidget *parent)
    : QWidget(parent), m_image(std::move(image))
{
    // Upright rows of the canvas band [hipLine, 200) are the top rows of the upright image.
    const qreal ratio = m_image.devicePixelRatio();
    const QRect bodyRows(0, 0, m_image.width(),
                         int(std::lround((PetCanvas::size - hipLine) * ratio)));
    for (const bool mirrored : {false, true}) {
        QImage whole = m_image.mirrored(mirrored, true);
        QImage body = whole.copy(bodyRows);
        whole.setDevicePixelRatio(ratio);
        body.setDevicePixelRatio(ratio);
        m_upright[mirrored] = {std::move(whole), std::move(body)};
    }
    PetCanvas::setUpView(*this);
}

void WalkingPetView::draw(QPainter &painter) const
{
    drawStride(painter, stepTime, direction >= 1);
}

void WalkingPetView::drawStride(QPainter &painter, double time, bool mirrored) const
{
    const double phi = 2 * time * std::numbers::pi / stridePeriod;
    const double sinPhi = std::sin(phi);
    const double bob = bobAmplitude * std::abs(std::cos(phi));

    painter.save();
    const QTransform device = painter.worldTransform();
    PetCanvas::applyTransform(painter);
    if (mirrored) {
        // Mirror about x = 100: canvas point (x, y) lands on (200 − x, y).
        painter.translate(PetCanvas::size, 0);
        painter.scale(-1, 1);
    }
    const QTransform canvas = painter.worldTransform();
    PetCanvas::useHighInterpolation(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);

    // Images drawn through a flipping transform take Qt's slow resampling path, so they are drawn
    // from upright copies into the rectangles the canvas transform gives. The clip stays in
    // effect: it is kept in device space.
    const Upright &upright = m_upright[mirrored];
    const QTransform canvasToWidget = canvas * device.inverted();
    const auto drawUpright = [&](const QImage &image, const QRectF &target) {
        painter.setWorldTransform(device);
        painter.drawImage(canvasToWidget.mapRect(target), image);
        painter.setWorldTransform(canvas);
    };

    for (const Foot &foot : feet) {
        const double swing = foot.swingSign * sinPhi;
        const double lift = footLift * std::max(swing, 0.0);
        const double dx = foot.swingSign * (10 + 12 * sinPhi);

        painter.setPen(QPen(legColour, legWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(foot.hipX, hipLine + bob),
                         QPointF(foot.rect.center().x() + dx, foot.rect.center().y() + lift + 4));

        // The whole image moved by the foot's offset, visible only inside the moved oval.
        painter.save();
        QPainterPath oval;
        oval.addEllipse(foot.rect.translated(dx, lift));
        painter.setClipPath(oval, Qt::IntersectClip);
        drawUpright(upright.whole, QRectF(dx, lift, PetCanvas::size, PetCanvas::size));
        painter.restore();
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(pelvisColour);
    painter.drawEllipse(QRectF(72, 29 + bob, 64, 25));

    const double bodyHeight = PetCanvas::size - hipLine;
    // The body is a separate image so that resampling cannot pull in the rows below the hips.
    drawUpright(upright.body, QRectF(0, hipLine + bob, PetCanvas::size, bodyHeight));
    painter.restore();
}

int WalkingPetView::cachedStep(double stepTime)
{
    const double phase = std::fmod(stepTime, stridePeriod) / stridePeriod;
    if (!std::isfinite(phase))
        return 0;
    const int step = int(std::lround(phase * cachedSteps)) % cachedSteps;
    return step < 0 ? step + cachedSteps : step;
}

double WalkingPetView::cachedStepTime(int step)
{
    return step * stridePeriod / cachedSteps;
}

const WalkingPetView::CachedFrame &WalkingPetView::cachedFrame(int step, bool mirrored, qreal ratio)
{
    if (ratio != m_framesRatio) {
        m_frames = {};
        m_framesRatio = ratio;
    }
    CachedFrame &frame = m_frames[mirrored][size_t(step)];
    if (!frame.image.isNull())
        return frame;
    const int side = int(std::lround(PetCanvas::size * ratio));
    QImage full(side, side, QImage::Format_ARGB32_Premultiplied);
    full.setDevicePixelRatio(ratio);
    full.fill(Qt::transparent);
    {
        QPainter painter(&full);
        drawStride(painter, cachedStepTime(step), mirrored);
    }
    const QRectF bounds = PetCanvas::opaqueBounds(full);
    if (bounds.isEmpty())
        return frame;
    const QRect pixels = QRectF(bounds.topLeft() * ratio, bounds.size() * ratio).toAlignedRect();
    frame.image = full.copy(pixels);
    frame.image.setDevicePixelRatio(ratio);
    frame.origin = bounds.topLeft();
    return frame;
}

void WalkingPetView::paintEvent(QPaintEvent *)
{
    // Drawing the stride live costs several times a blit on every tick of a walk; a cached frame
    // is a plain copy of pixels at a whole-pixel position.
    QPainter painter(this);
    const CachedFrame &frame = cachedFrame(cachedStep(stepTime), direction >= 1,
                                           PoseImages::renderRatio(devicePixelRatioF()));
    if (!frame.image.isNull())
        painter.drawImage(frame.origin, frame.image);
}

} // namespace pimlo
