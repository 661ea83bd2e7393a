#pragma once

#include "render/PetCanvas.h"

#include <QImage>
#include <QPainter>
#include <cmath>

// Helpers for tests that paint a pet view offscreen and probe pixels at canvas points.
namespace pimlo::CanvasProbe {

// A transparent 200 × 200 point pose image at a pixel ratio, in the views' mirrored storage:
// painting on it with an untransformed painter puts canvas point (x, y), y up, at (x, y).
inline QImage poseImage(qreal ratio)
{
    QImage image(int(200 * ratio), int(200 * ratio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

// Paints a view's draw() into a fresh transparent 200 × 200 point image.
template <typename View> QImage render(const View &view, qreal ratio)
{
    QImage out = poseImage(ratio);
    QPainter painter(&out);
    view.draw(painter);
    return out;
}

// The output pixel inside the canvas unit cell whose lower-left corner is (x, y), y up.
inline QRgb at(const QImage &out, double x, double y)
{
    const qreal ratio = out.devicePixelRatio();
    const int px = int(std::floor((x + 0.5) * ratio));
    const int py = int(std::floor((PetCanvas::size - y - 0.5) * ratio));
    return out.pixel(px, py);
}

// Premultiplied channels of two pixels differ by at most tolerance.
inline bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance &&
           std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

} // namespace pimlo::CanvasProbe
