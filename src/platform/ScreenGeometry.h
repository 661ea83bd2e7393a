#pragma once

#include "platform/Geometry.h"

#include <QPointF>
#include <QRect>

class QScreen;
class QWidget;

namespace pimlo {

// Conversions between Qt's global y-down coordinates and the core's y-up points, whose origin is
// the lower-left corner of the primary screen at launch.
namespace ScreenGeometry {

// Height that anchors the flip: the bottom edge of the first primary screen, in Qt coordinates.
double flipHeight();

Point toYUp(QPointF globalPoint);
Rect toYUp(const QRect &globalRect);

// Qt top-left position of a window whose y-up origin (lower-left corner) is origin.
QPoint windowTopLeft(Point origin, double windowHeight);
// y-up origin of a top-level widget's frame.
Point windowOrigin(const QWidget &window);

// The visible frame (available geometry) of a screen, y up.
Rect visibleFrame(const QScreen &screen);

// The first screen, in Qt's order, whose frame contains the y-up point.
QScreen *screenContaining(Point p);

} // namespace ScreenGeometry
} // namespace pimlo
