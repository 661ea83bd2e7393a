#pragma once

#include "chat/window/ChatStyle.h"
#include <QMessageBox>

#include <QDialog>
#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;

namespace pimlo {

class ChatComposer;
class ChatHeader;
class ChatMessageList;
class ChatModel;
class ErrorBanner;

// The content of the chat window: header, message list, error banner, input row and footer,
// all showing one ChatModel. It keeps no conversation state: on every change of the model it
// re-reads what it shows. It also opens the API key settings while the model asks for them,
// and confirms before a new conversation.
class PimloChatView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PimloChatView)

public:
    explicit PimloChatView(ChatModel &model, QWidget *parent = nullptr);

    void applyStyle(const ChatStyle &style);
    // Asks before clearing the conversation ("开始新对话？").
    void confirmNewConversation();

    ChatHeader *header() const { return m_header; }
    ChatMessageList *messageList() const { return m_list; }
    ErrorBanner *banner() const { return m_banner; }
    ChatComposer *composer() const { return m_composer; }
    QDialog *settingsDialog() const { return m_settingsDialog; }
    QMessageBox *confirmation() const { return m_confirmation; }

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void refresh();
    void syncSettingsDialog();

    ChatModel &m_model;
    ChatHeader *m_header;
    QFrame *m_topDivider;
    ChatMessageList *m_list;
    ErrorBanner *m_banner;
    QFrame *m_bottomDivider;
    ChatComposer *m_composer;
    QLabel *m_footer;
    QPointer<QDialog> m_settingsDialog;
    QPointer<QMessageBox> m_confirmation;
    ChatStyle m_style;
    bool m_shownOnce = false;
    qint64 m_seenFocusRequest;
    bool m_seenSettings;
};

} // namespace pimlo
