#pragma once

#include "platform/Geometry.h"

#include <QPainter>
#include <QRectF>

class QWidget;

namespace pimlo {

// Every pet view paints on a 200 × 200 point canvas with y up. Pose images are stored mirrored
// vertically (row 0 is the canvas bottom), so under the canvas transform they appear upright and
// y-up source rectangles select the right rows.
namespace PetCanvas {

inline constexpr double size = petSize;

// Turns the painter's y-down coordinates of a 200 × 200 device into canvas coordinates.
inline void applyTransform(QPainter &painter)
{
    painter.translate(0, size);
    painter.scale(1, -1);
}

// "High" interpolation: Qt's best resampling for scaled and transformed images.
inline void useHighInterpolation(QPainter &painter)
{
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// Makes a widget a pet view: 200 × 200 points, painting no background of its own, and letting
// every mouse event through to the pet window.
void setUpView(QWidget &view);

// The smallest rectangle, in points of the image's own rows and columns, holding every pixel of a
// 32-bit ARGB image that is not fully transparent; empty for a transparent image.
QRectF opaqueBounds(const QImage &image);

} // namespace PetCanvas
} // namespace pimlo
