#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace pimlo {

class ChatModel;
struct ChatStyle;

// The input row: the multi-line message field (Return is a new line) and, beside it, the send
// button or, while a reply is on its way, "停止". Typing writes the model's draft.
class ChatComposer final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatComposer)

public:
    static constexpr int editorHeight = 60;

    explicit ChatComposer(ChatModel &model, QWidget *parent = nullptr);

    // Re-reads draft, busy and pending.
    void refresh();
    void applyStyle(const ChatStyle &style);
    // Sends the draft when the send button could be pressed; the Ctrl+Return shortcut.
    void sendIfEnabled();
    void focusEditor();

    QPlainTextEdit *editor() const { return m_editor; }
    QToolButton *sendButton() const { return m_send; }
    QPushButton *stopButton() const { return m_stop; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ChatModel &m_model;
    QPlainTextEdit *m_editor;
    QToolButton *m_send;
    QPushButton *m_stop;
    QColor m_fieldColour;
};

} // namespace pimlo
