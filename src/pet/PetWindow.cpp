#include "PetWindow.h"

#include "platform/ScreenGeometry.h"
#include "platform/X11WindowHints.h"

#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <cmath>

namespace pimlo {

PetWindow::PetWindow(Point origin, Size size)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint)
{
    setWindowTitle(QStringLiteral("Pimlo"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(int(std::lround(size.width)), int(std::lround(size.height)));
    setOrigin(origin);
}

void PetWindow::setContentView(QWidget *view)
{
    if (view == m_contentView)
        return;
    if (m_contentView)
        m_contentView->hide();
    m_contentView = view;
    if (view) {
        if (view->parentWidget() != this)
            view->setParent(this);
        view->move(0, 0);
        view->show();
    }
}

void PetWindow::setOrigin(Point origin)
{
    m_origin = origin;
    const QPoint topLeft = ScreenGeometry::windowTopLeft(origin, height());
    if (topLeft != pos())
        move(topLeft);
}

void PetWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (pos() != ScreenGeometry::windowTopLeft(m_origin, height()) && onMovedElsewhere)
        onMovedElsewhere();
}

void PetWindow::orderFront()
{
    // The hints go on before mapping (read at map time) and again after (as requests to the
    // window manager, which may have reset them while mapping).
    winId();
    X11WindowHints::applyPetHints(*this);
    show();
    raise();
    X11WindowHints::applyPetHints(*this);
}

void PetWindow::mousePressEvent(QMouseEvent *event)
{
    const bool menuClick =
        event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ControlModifier));
    // The release of a press still held can no longer reach this window: the menu or another
    // program took the pointer. The press ends here, or the pet would stay held for good.
    if (menuClick || event->button() == Qt::LeftButton)
        endPress(false);
    if (menuClick) {
        if (actionMenu && m_contentView)
            actionMenu->popup(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const Point p = ScreenGeometry::toYUp(event->globalPosition());
    m_mouseDownPoint = p;
    m_moved = false;
    const Point frameOrigin = ScreenGeometry::windowOrigin(*this);
    m_dragOffset = Point{p.x - frameOrigin.x, p.y - frameOrigin.y};
    event->accept();
    if (onDragBegan)
        onDragBegan();
}

void PetWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragOffset) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    const Point p = ScreenGeometry::toYUp(event->globalPosition());
    if (m_mouseDownPoint &&
        std::hypot(p.x - m_mouseDownPoint->x, p.y - m_mouseDownPoint->y) > dragThreshold)
        m_moved = true;
    if (!m_moved)
        return;
    QScreen *screen = ScreenGeometry::screenContaining(p);
    if (!screen)
        screen = this->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    if (onDragMoved)
        onDragMoved(Point{p.x - m_dragOffset->x, p.y - m_dragOffset->y},
                    ScreenGeometry::visibleFrame(*screen));
}

void PetWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragOffset || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    endPress(m_moved);
}

void PetWindow::endPress(bool moved)
{
    if (!m_dragOffset)
        return;
    m_dragOffset.reset();
    m_mouseDownPoint.reset();
    if (onDragEnded)
        onDragEnded(moved);
}

} // namespace pimlo
