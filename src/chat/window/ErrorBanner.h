#pragma once

#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace pimlo {

class ChatModel;
struct ChatStyle;

// The failure of the last turn, verbatim, with the ways out: send it again, give it up, or fix
// the API key. Shown only while the model has an error.
class ErrorBanner final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ErrorBanner)

public:
    explicit ErrorBanner(ChatModel &model, QWidget *parent = nullptr);

    // Re-reads the model's error and busy state.
    void refresh();
    void applyStyle(const ChatStyle &style);

    QPushButton *retryButton() const { return m_retry; }
    QPushButton *abandonButton() const { return m_abandon; }
    QPushButton *settingsButton() const { return m_settings; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ChatModel &m_model;
    QLabel *m_message;
    QPushButton *m_retry;
    QPushButton *m_abandon;
    QPushButton *m_settings;
    QColor m_background;
};

} // namespace pimlo
