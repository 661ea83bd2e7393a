#pragma once

#include <QWidget>

namespace pimlo {

// The chat's top-level window. It is never destroyed by closing: a close hides it and tells the
// controller, and becoming the active window is reported so the input can take the focus.
class ChatWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatWindow)

public:
    ChatWindow();

Q_SIGNALS:
    void becameActive();
    void closing();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};

} // namespace pimlo
