#include "IdlePetView.h"

#include "render/PetCanvas.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace pimlo {
namespace {

constexpr double lidRed = 0.88, lidGreen = 0.89, lidBlue = 0.89;
const QRectF eyeOvals[] = {QRectF(79.5, 139.5, 16.8, 18), QRectF(104, 139.5, 16.8, 18)};

} // namespace

IdlePetView::IdlePetView(QImage image, bool animate, Clock clock, QWidget *parent)
    : QWidget(parent), m_image(std::move(image)), m_clock(std::move(clock)), m_startTime(m_clock())
{
    PetCanvas::setUpView(*this);
    if (!animate)
        return;
    buildCache();
    m_timer = std::make_unique<QTimer>();
    m_timer->setInterval(int(std::lround(frameInterval * 1000)));
    m_timer->setTimerType(Qt::CoarseTimer);
    // Only the cached region changes from frame to frame, so only it is repainted and flushed.
    const QRect dirty = m_cachedFrames.empty() ? rect() : m_cacheRect.toAlignedRect();
    connect(m_timer.get(), &QTimer::timeout, this, [this, dirty] {
        if (isVisible())
            update(dirty);
    });
    m_timer->start();
}

double IdlePetView::blinkAmount(double t)
{
    const double u = std::fmod(t, loopLength) - blinkStart;
    if (!(u >= 0 && u < 0.3))
        return 0;
    if (u < 0.1)
        return u / 0.1;
    if (u < 0.15)
        return 1;
    return std::max(0.0, 1 - (u - 0.15) / 0.15);
}

double IdlePetView::breath(double t)
{
    return (1 - std::cos(2 * std::numbers::pi * t / breathPeriod)) / 2;
}

double IdlePetView::sway(double t)
{
    return 0.023 * std::sin(2 * std::numbers::pi * t / loopLength);
}

int IdlePetView::frameIndex(double elapsed)
{
    const double phase = std::fmod(elapsed, loopLength) / loopLength * framesPerLoop;
    if (!std::isfinite(phase))
        return 0;
    // The uptime clock never runs backwards, but a negative time must not index out of range.
    const int index = int(phase) % framesPerLoop;
    return index < 0 ? index + framesPerLoop : index;
}

QImage IdlePetView::pose(double blink) const
{
    if (!(blink > 0))
        return m_image;
    QImage result(m_image.size(), QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(m_image.devicePixelRatio());
    result.fill(Qt::transparent);

    // Mirrored storage: painting straight in canvas coordinates keeps row y at canvas height y.
    QPainter painter(&result);
    painter.drawImage(QRectF(0, 0, PetCanvas::size, PetCanvas::size), m_image);
    const QColor lid = QColor::fromRgbF(lidRed, lidGreen, lidBlue, 1);
    for (const QRectF &eye : eyeOvals) {
        painter.save();
        QPainterPath oval;
        oval.addEllipse(eye);
        painter.setClipPath(oval);
        const double lidLine = eye.center().y() - 0.5;
        const double upper = eye.bottom() - blink * (eye.bottom() - lidLine);
        const double lower = eye.top() + blink * (lidLine - eye.top());
        painter.fillRect(QRectF(eye.left(), upper, eye.width(), eye.bottom() - upper + 1), lid);
        painter.fillRect(QRectF(eye.left(), eye.top() - 1, eye.width(), lower - eye.top() + 1),
                         lid);
        if (blink > 0.8) {
            QPainterPath line;
            line.moveTo(eye.left() + 1.5, lidLine);
            line.cubicTo(eye.center().x() - 3, lidLine + 2, eye.center().x() + 3, lidLine + 2,
                         eye.right() - 1.5, lidLine);
            painter.setRenderHint(QPainter::Antialiasing);
            QPen pen(QColor::fromRgbF(0.12, 0.12, 0.12, (blink - 0.8) / 0.2), 0.85);
            pen.setCapStyle(Qt::FlatCap);
            painter.strokePath(line, pen);
        }
        painter.restore();
    }
    return result;
}

void IdlePetView::drawPose(QPainter &canvas, double t) const
{
    const double br = breath(t);
    const double sw = sway(t);
    const QImage source = pose(blinkAmount(t));
    const qreal ratio = source.devicePixelRatio();
    PetCanvas::useHighInterpolation(canvas);

    const auto body = [](double y) { return std::clamp((y - 18) / 55, 0.0, 1.0); };
    for (double y = 0; y < PetCanvas::size; y += sliceHeight) {
        const double b = body(y);
        const double w = std::clamp((y - 85) / 30, 0.0, 1.0);
        const double shift = sw * std::max(y - 85, 0.0) * w;
        const double sx = 1 + 0.004 * br * (1 - w) * b;
        const QRectF target(100 - 100 * sx + shift, y + 1.25 * br * b, 200 * sx,
                            sliceHeight + 1.25 * br * (body(y + sliceHeight) - b));
        const QRectF slice(0, y * ratio, PetCanvas::size * ratio, sliceHeight * ratio);
        canvas.drawImage(target, source, slice);
    }
}

void IdlePetView::buildCache()
{
    // Only the part of the canvas the figure can reach is cached: its opaque bounds widened by
    // the largest lean (2.645), widening (0.4) and lift (1.25), plus a point of antialiasing.
    const QRectF figure = PetCanvas::opaqueBounds(m_image); // y up: the image is mirrored
    if (figure.isEmpty())
        return;
    const QRectF reach = figure.adjusted(-4, -1, 4, 3);
    const QRectF canvasRect(0, 0, PetCanvas::size, PetCanvas::size);
    const QRect bounds = reach.intersected(canvasRect).toAlignedRect();
    // Canvas rows are y up; the widget's are y down.
    m_cacheRect =
        QRectF(bounds.x(), PetCanvas::size - bounds.bottom() - 1, bounds.width(), bounds.height());

    const qreal ratio = m_image.devicePixelRatio();
    const QSize pixels(int(std::lround(bounds.width() * ratio)),
                       int(std::lround(bounds.height() * ratio)));
    m_cachedFrames.reserve(framesPerLoop);
    for (int k = 0; k < framesPerLoop; ++k) {
        QImage frame(pixels, QImage::Format_ARGB32_Premultiplied);
        if (frame.isNull()) {
            m_cachedFrames.clear();
            return;
        }
        frame.setDevicePixelRatio(ratio);
        frame.fill(Qt::transparent);
        QPainter painter(&frame);
        painter.translate(-m_cacheRect.topLeft());
        PetCanvas::applyTransform(painter);
        drawPose(painter, double(k) * loopLength / framesPerLoop);
        painter.end();
        m_cachedFrames.push_back(std::move(frame));
    }
}

void IdlePetView::draw(QPainter &painter) const
{
    const double t = previewTime ? *previewTime : m_clock() - m_startTime;
    if (drawsCachedFrame()) {
        painter.drawImage(m_cacheRect.topLeft(), m_cachedFrames[size_t(frameIndex(t))]);
        return;
    }
    painter.save();
    PetCanvas::applyTransform(painter);
    drawPose(painter, t);
    painter.restore();
}

void IdlePetView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // The window is translucent and nothing is painted beneath this view, so the backing store
    // under a cached frame has just been cleared to transparent. Copying the premultiplied frame
    // then gives the pixels blending it would, and Qt copies rows instead of blending each pixel.
    if (drawsCachedFrame())
        painter.setCompositionMode(QPainter::CompositionMode_Source);
    draw(painter);
}

void IdlePetView::showEvent(QShowEvent *)
{
    if (m_timer && !m_timer->isActive())
        m_timer->start();
}

void IdlePetView::hideEvent(QHideEvent *)
{
    if (m_timer)
        m_timer->stop();
}

} // namespace pimlo
