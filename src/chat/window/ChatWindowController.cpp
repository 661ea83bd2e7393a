#include "ChatWindowController.h"

#include "chat/window/ChatWindow.h"
#include "chat/window/PimloChatView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace pimlo {

ChatWindowController::ChatWindowController(std::unique_ptr<ChatModel> model)
    : m_model(model ? std::move(model) : std::make_unique<ChatModel>()),
      m_window(std::make_unique<ChatWindow>())
{
    m_window->resize(initialWidth, initialHeight);
    m_window->setMinimumSize(minimumWidth, minimumHeight);
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new PimloChatView(*m_model, m_window.get()));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), QSize(initialWidth, initialHeight));
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    connect(m_window.get(), &ChatWindow::becameActive, this,
            &ChatWindowController::windowDidBecomeKey);
    connect(m_window.get(), &ChatWindow::closing, this, &ChatWindowController::windowWillClose);
}

ChatWindowController::~ChatWindowController() = default;

QWidget *ChatWindowController::window() const
{
    return m_window.get();
}

void ChatWindowController::present()
{
    m_isOpen = true;
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    // The window manager maps a new window asynchronously; ask again once it has.
    QTimer::singleShot(0, this, [this] {
        if (!m_isOpen)
            return;
        m_window->raise();
        m_window->activateWindow();
        requestInputFocus();
    });
}

void ChatWindowController::windowDidBecomeKey()
{
    requestInputFocus();
}

void ChatWindowController::windowWillClose()
{
    m_isOpen = false;
    if (m_onClose)
        m_onClose();
}

void ChatWindowController::requestInputFocus()
{
    m_model->setInputFocusRequest(m_model->inputFocusRequest() + 1);
}

} // namespace pimlo
