#pragma once

#include "platform/Geometry.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QMenu;

namespace pimlo {

// The borderless, transparent, floating window that carries the pet. It turns mouse events into
// four requests: open the action menu, a press began, drag the window to an origin on a screen,
// the press ended. It knows nothing about walking or animations.
class PetWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PetWindow)

public:
    static constexpr double dragThreshold = 3.0;

    // origin and size are y-up points; the window is placed there when shown.
    explicit PetWindow(Point origin, Size size);

    // Popped up on right-click or control-click; not owned.
    QPointer<QMenu> actionMenu;
    std::function<void()> onDragBegan;
    // Requested (unclamped) window origin and the visible frame of the screen under the pointer.
    std::function<void(Point origin, const Rect &visibleFrame)> onDragMoved;
    // The press ended; true if the pointer went farther than the threshold during it.
    std::function<void(bool moved)> onDragEnded;
    // The window went elsewhere than it was put: the window manager moved it.
    std::function<void()> onMovedElsewhere;

    // The child that fills the window; the others are hidden. Not owned.
    QWidget *contentView() const { return m_contentView; }
    void setContentView(QWidget *view);

    // Frame origin, y up, exactly as last set (the native window sits on whole pixels).
    Point origin() const { return m_origin; }
    // Moves the native window only when the origin lands on another pixel.
    void setOrigin(Point origin);

    // Shows the window above normal windows without activating it.
    void orderFront();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    // Ends a press in progress, if any, reporting whether it was a drag.
    void endPress(bool moved);

    QPointer<QWidget> m_contentView;
    Point m_origin;
    std::optional<Point> m_mouseDownPoint;
    bool m_moved = false;
    std::optional<Point> m_dragOffset;
};

} // namespace pimlo
