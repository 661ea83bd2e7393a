#include "ChatWindow.h"

#include <QCloseEvent>

namespace pimlo {

ChatWindow::ChatWindow() : QWidget(nullptr, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("与 Pimlo 聊天"));
}

void ChatWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Q_EMIT becameActive();
}

void ChatWindow::closeEvent(QCloseEvent *event)
{
    // A hidden window emits no close; only a close of the shown window counts.
    const bool wasShown = isVisible();
    event->accept();
    if (wasShown)
        Q_EMIT closing();
}

} // namespace pimlo
