#include "WelcomeBlock.h"

#include "chat/window/ChatStyle.h"

#include <QLabel>
#include <QVBoxLayout>

namespace pimlo {
namespace {

QLabel *centred(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}

void setColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

WelcomeBlock::WelcomeBlock(QWidget *parent)
    : QWidget(parent), m_title(centred(QStringLiteral("你好呀 👋"), this)),
      m_invitation(centred(QStringLiteral("今天有什么想和我聊的？"), this)),
      m_hint(centred(QStringLiteral("首次使用，请点右上角 API Key 完成连接。"), this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 65, 0, 65);
    column->setSpacing(12);
    column->addWidget(m_title);
    column->addWidget(m_invitation);
    column->addWidget(m_hint);
}

void WelcomeBlock::applyStyle(const ChatStyle &style)
{
    m_title->setFont(style.title2());
    setColour(m_title, style.primaryText);
    m_invitation->setFont(style.body());
    setColour(m_invitation, style.secondaryText);
    m_hint->setFont(style.caption());
    setColour(m_hint, style.secondaryText);
}

} // namespace pimlo
