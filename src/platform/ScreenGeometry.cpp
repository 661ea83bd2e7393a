#include "ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <optional>

namespace pimlo::ScreenGeometry {

double flipHeight()
{
    // Kept from the first primary screen seen: when another screen becomes the primary one or
    // the primary changes its height, every y-up point keeps its place on the desktop, so a pet
    // that stays visible does not jump when it next moves.
    static std::optional<double> anchor;
    if (!anchor) {
        const QScreen *primary = QGuiApplication::primaryScreen();
        if (!primary)
            return 0;
        const QRect g = primary->geometry();
        anchor = g.y() + g.height();
    }
    return *anchor;
}

Point toYUp(QPointF globalPoint)
{
    return {globalPoint.x(), flipHeight() - globalPoint.y()};
}

Rect toYUp(const QRect &globalRect)
{
    const double h = globalRect.height();
    return makeRect(globalRect.x(), flipHeight() - (globalRect.y() + h), globalRect.width(), h);
}

QPoint windowTopLeft(Point origin, double windowHeight)
{
    return QPoint(int(std::lround(origin.x)),
                  int(std::lround(flipHeight() - origin.y - windowHeight)));
}

Point windowOrigin(const QWidget &window)
{
    const QRect g = window.geometry();
    return {double(g.x()), flipHeight() - (g.y() + g.height())};
}

Rect visibleFrame(const QScreen &screen)
{
    return toYUp(screen.availableGeometry());
}

QScreen *screenContaining(Point p)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (toYUp(screen->geometry()).contains(p))
            return screen;
    }
    return nullptr;
}

} // namespace pimlo::ScreenGeometry
