#include "ErrorBanner.h"

#include "chat/model/ChatModel.h"
#include "chat/window/ChatStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace pimlo {

ErrorBanner::ErrorBanner(ChatModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_message(new QLabel(this)),
      m_retry(new QPushButton(QStringLiteral("重试"), this)),
      m_abandon(new QPushButton(QStringLiteral("放弃本次"), this)),
      m_settings(new QPushButton(QStringLiteral("API Key 设置"), this))
{
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Reached by Tab; a click leaves the focus where it was.
    for (QPushButton *button : {m_retry, m_abandon, m_settings})
        button->setFocusPolicy(Qt::TabFocus);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_retry);
    buttons->addWidget(m_abandon);
    buttons->addWidget(m_settings);
    buttons->addStretch(1);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    column->addWidget(m_message);
    column->addLayout(buttons);

    connect(m_retry, &QPushButton::clicked, this, [this] { m_model.retry(); });
    connect(m_abandon, &QPushButton::clicked, this, [this] { m_model.abandon(); });
    connect(m_settings, &QPushButton::clicked, this, [this] { m_model.setSettings(true); });
    refresh();
}

void ErrorBanner::refresh()
{
    const std::optional<QString> error = m_model.error();
    setVisible(error.has_value());
    if (!error)
        return;
    if (m_message->text() != *error) {
        m_message->setText(*error);
        m_message->setAccessibleName(*error);
    }
    m_retry->setEnabled(!m_model.busy());
    m_abandon->setEnabled(!m_model.busy());
}

void ErrorBanner::applyStyle(const ChatStyle &style)
{
    m_background = style.errorBackground;
    m_message->setFont(style.callout());
    QPalette red = m_message->palette();
    red.setColor(QPalette::WindowText, style.errorText);
    m_message->setPalette(red);
    update();
}

void ErrorBanner::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), m_background);
}

} // namespace pimlo
