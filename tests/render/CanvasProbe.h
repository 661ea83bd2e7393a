#pragma once

#include "render/PetCanvas.h"

#include <QImage>
#include <QPainter>
#include <cmath>

// Painting a pet view offscreen and probing its pixels at canvas points.
namespace pimlo::CanvasProbe {

// A transparent 200 × 200 point image at a pixel ratio. Drawn on untransformed, canvas point
// (x, y), y up, lands at (x, y): the views' mirrored storage of pose images.
inline QImage poseImage(qreal ratio)
{
    QImage image(int(200 * ratio), int(200 * ratio), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

template <typename View> QImage render(const View &view, qreal ratio)
{
    QImage out = poseImage(ratio);
    QPainter painter(&out);
    view.draw(painter);
    return out;
}

// The pixel in the canvas unit cell whose lower-left corner is p, y up.
inline QRgb at(const QImage &out, QPointF p)
{
    const qreal ratio = out.devicePixelRatio();
    return out.pixel(int(std::floor((p.x() + 0.5) * ratio)),
                     int(std::floor((PetCanvas::size - p.y() - 0.5) * ratio)));
}

inline bool near(QRgb a, QRgb b, int tolerance)
{
    for (const int shift : {0, 8, 16, 24})
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > tolerance)
            return false;
    return true;
}

// The first pixel (x, y) of the image for which bad(x, y) holds, or (−1, −1).
template <typename Predicate> QPoint findPixel(const QImage &image, Predicate bad)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (bad(x, y))
                return {x, y};
    return {-1, -1};
}

} // namespace pimlo::CanvasProbe
