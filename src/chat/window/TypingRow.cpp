#include "TypingRow.h"

#include "chat/window/BusySpinner.h"
#include "chat/window/ChatStyle.h"

#include <QHBoxLayout>
#include <QLabel>

namespace pimlo {

TypingRow::TypingRow(QWidget *parent)
    : QWidget(parent), m_spinner(new BusySpinner(this)),
      m_label(new QLabel(QStringLiteral("Pimlo 正在回复…"), this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_spinner, 0, Qt::AlignVCenter);
    row->addWidget(m_label, 0, Qt::AlignVCenter);
    row->addStretch(1);
}

void TypingRow::applyStyle(const ChatStyle &style)
{
    m_label->setFont(style.caption());
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, style.secondaryText);
    m_label->setPalette(palette);
    m_spinner->setColor(style.secondaryText);
}

} // namespace pimlo
