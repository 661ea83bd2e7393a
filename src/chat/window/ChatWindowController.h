#pragma once

#include "chat/model/ChatModel.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QWidget;

namespace pimlo {

class ChatWindow;

// Owns the chat window and the conversation behind it for the life of the app. Closing the
// window only hides it: the conversation, the draft and a reply still in flight survive until
// the user starts a new conversation or quits.
class ChatWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatWindowController)

public:
    static constexpr int initialWidth = 620;
    static constexpr int initialHeight = 720;
    static constexpr int minimumWidth = 480;
    static constexpr int minimumHeight = 540;

    // A model with the default key provider and responder unless one is given.
    explicit ChatWindowController(std::unique_ptr<ChatModel> model = {});
    ~ChatWindowController() override;

    // True from present() until the window closes.
    bool isOpen() const { return m_isOpen; }
    // Called when the window closes.
    void setOnClose(std::function<void()> onClose) { m_onClose = std::move(onClose); }
    ChatModel &model() const { return *m_model; }
    QWidget *window() const;

    // Shows or re-shows the window: restored if minimised, raised, activated, and once more on
    // the next turn of the event loop, when the window manager has mapped it.
    void present();

private:
    void windowDidBecomeKey();
    void windowWillClose();
    void requestInputFocus();

    std::unique_ptr<ChatModel> m_model;
    std::unique_ptr<ChatWindow> m_window;
    bool m_isOpen = false;
    std::function<void()> m_onClose;
};

} // namespace pimlo
