#include "ChatComposer.h"

#include "chat/model/ChatModel.h"
#include "chat/window/ChatStyle.h"
#include "chat/window/SymbolIcon.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace pimlo {
namespace {

constexpr int fieldPadding = 8;
constexpr int fieldRadius = 14;
constexpr int buttonBottomPadding = 10;
constexpr int sendSymbolPixels = 28;

} // namespace

ChatComposer::ChatComposer(ChatModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_editor(new QPlainTextEdit(this)),
      m_send(new QToolButton(this)), m_stop(new QPushButton(QStringLiteral("停止"), this))
{
    m_editor->setFixedHeight(editorHeight);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setTabChangesFocus(true);
    m_editor->setPlaceholderText(QStringLiteral("给 Pimlo 发消息…"));
    m_editor->setAccessibleName(QStringLiteral("消息"));
    m_editor->viewport()->setAutoFillBackground(false);
    m_editor->setAutoFillBackground(false);

    m_send->setAutoRaise(true);
    m_send->setToolTip(QStringLiteral("发送 · Ctrl+Return"));
    m_send->setAccessibleName(QStringLiteral("发送"));
    // Reached by Tab; a click on either button leaves the focus where it was.
    m_send->setFocusPolicy(Qt::TabFocus);
    m_send->setCursor(Qt::PointingHandCursor);
    m_stop->setAccessibleName(QStringLiteral("停止"));
    m_stop->setFocusPolicy(Qt::TabFocus);

    auto *row = new QHBoxLayout(this);
    // The rounded field is painted around the editor, inside these margins.
    row->setContentsMargins(16 + fieldPadding, 12 + fieldPadding, 16, 0);
    row->setSpacing(12 + fieldPadding);
    row->addWidget(m_editor, 1, Qt::AlignBottom);
    // The field's lower padding is the row's bottom; the buttons sit 10 above it.
    auto *buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, buttonBottomPadding - fieldPadding);
    buttons->addStretch(1);
    buttons->addWidget(m_send, 0, Qt::AlignHCenter);
    buttons->addWidget(m_stop);
    row->addLayout(buttons);
    setContentsMargins(0, 0, 0, fieldPadding);

    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = m_editor->toPlainText();
        if (text != m_model.draft())
            m_model.setDraft(text);
    });
    connect(m_send, &QToolButton::clicked, this, &ChatComposer::sendIfEnabled);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_model.stop(); });
    refresh();
}

void ChatComposer::refresh()
{
    const QString draft = m_model.draft();
    if (m_editor->toPlainText() != draft)
        m_editor->setPlainText(draft);
    const bool busy = m_model.busy();
    m_send->setVisible(!busy);
    m_stop->setVisible(busy);
    m_send->setEnabled(!draft.trimmed().isEmpty() && !m_model.pending().has_value());
}

void ChatComposer::sendIfEnabled()
{
    if (!m_model.busy() && m_send->isEnabled())
        m_model.send();
}

void ChatComposer::focusEditor()
{
    m_editor->setFocus(Qt::OtherFocusReason);
}

void ChatComposer::applyStyle(const ChatStyle &style)
{
    m_fieldColour = style.inputBackground;
    m_editor->setFont(style.body());
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, style.primaryText);
    palette.setColor(QPalette::PlaceholderText, style.tertiaryText);
    m_editor->setPalette(palette);

    const int pixels = qRound(sendSymbolPixels * style.textScale);
    QIcon icon;
    const QString name = QStringLiteral("arrow-up-circle-fill");
    icon.addPixmap(SymbolIcon::tinted(name, style.accent, pixels).pixmap(pixels), QIcon::Normal);
    icon.addPixmap(SymbolIcon::tinted(name, style.tertiaryText, pixels).pixmap(pixels),
                   QIcon::Disabled);
    m_send->setIcon(icon);
    m_send->setIconSize(QSize(pixels, pixels));
    update();
}

void ChatComposer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect editor = m_editor->geometry();
    QPainterPath field;
    field.addRoundedRect(
        QRectF(editor.adjusted(-fieldPadding, -fieldPadding, fieldPadding, fieldPadding)),
        fieldRadius, fieldRadius);
    painter.fillPath(field, m_fieldColour);
}

} // namespace pimlo
