#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace pimlo {

struct ChatStyle;

// The bar at the top of the chat: Pimlo's picture, its name and what it is doing, and the
// new-conversation and API key buttons.
class ChatHeader final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatHeader)

public:
    explicit ChatHeader(QWidget *parent = nullptr);

    void setBusy(bool busy);
    void applyStyle(const ChatStyle &style);

    QToolButton *newConversationButton() const { return m_newConversation; }
    QToolButton *settingsButton() const { return m_settings; }

Q_SIGNALS:
    void newConversationClicked();
    void settingsClicked();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_picture;
    QLabel *m_name;
    QLabel *m_status;
    QToolButton *m_newConversation;
    QToolButton *m_settings;
    QColor m_background;
};

} // namespace pimlo
