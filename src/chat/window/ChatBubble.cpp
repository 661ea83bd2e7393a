#include "ChatBubble.h"

#include "chat/window/ChatStyle.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

namespace pimlo {
namespace {

struct KeyMotion
{
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    BubbleText::Motion motion;
};

constexpr KeyMotion keyMotions[] = {
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, BubbleText::PreviousChar},
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, BubbleText::NextChar},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, BubbleText::PreviousWord},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, BubbleText::NextWord},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, BubbleText::LineStart},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, BubbleText::LineEnd},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, BubbleText::PreviousLine},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, BubbleText::NextLine},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, BubbleText::Start},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, BubbleText::End},
};

// A bubble is static text to a screen reader, named by its text.
QAccessibleInterface *accessibleBubble(const QString &className, QObject *object)
{
    if (className == QLatin1String("pimlo::ChatBubble") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::StaticText);
    return nullptr;
}

} // namespace

ChatBubble::ChatBubble(const ChatLine &line, QWidget *parent)
    : QWidget(parent), m_id(line.id()), m_isUser(line.isUser()), m_text(line.text())
{
    static const bool factoryInstalled = (QAccessible::installFactory(accessibleBubble), true);
    Q_UNUSED(factoryInstalled)
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::IBeamCursor);
    setAccessibleName(line.text());
    setAccessibleDescription(m_isUser ? QStringLiteral("你") : QStringLiteral("Pimlo"));
}

void ChatBubble::applyStyle(const ChatStyle &style)
{
    const QFont font = style.body();
    if (font != m_font) {
        m_font = font;
        m_text.setFont(font);
        setFont(font);
    }
    m_background = m_isUser ? style.userBubble : style.pimloBubble;
    m_colours.text = m_isUser ? style.userBubbleText : style.pimloBubbleText;
    // The selection must stand out on the accent colour of the user's bubble too.
    m_colours.highlight = m_isUser ? style.userBubbleText : style.accent;
    m_colours.highlightedText = m_isUser ? style.userBubble : QColor(Qt::white);
    update();
}

QSize ChatBubble::fitTo(int maxWidth)
{
    m_text.setWrapWidth(maxWidth - 2 * paddingX);
    return m_text.size() + QSize(2 * paddingX, 2 * paddingY);
}

void ChatBubble::copy() const
{
    if (m_text.hasSelection())
        QGuiApplication::clipboard()->setText(m_text.selectedText());
}

void ChatBubble::selectAll()
{
    m_text.select(0, int(text().size()));
    update();
}

bool ChatBubble::event(QEvent *event)
{
    // Keys the bubble handles win over shortcuts of the window.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        int to = 0;
        bool select = false;
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
            keyMotion(key, &to, &select)) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void ChatBubble::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_background);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    m_text.draw(painter, QPointF(paddingX, paddingY), m_colours, hasFocus());
}

int ChatBubble::positionAt(QPointF point)
{
    return m_text.positionAt(point - QPointF(paddingX, paddingY));
}

void ChatBubble::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_text.setCursor(positionAt(event->position()), event->modifiers() & Qt::ShiftModifier);
    update();
}

void ChatBubble::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    m_text.setCursor(positionAt(event->position()), true);
    update();
}

void ChatBubble::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    // X11's primary selection: a middle click elsewhere pastes what was just selected.
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (m_text.hasSelection() && clipboard->supportsSelection())
        clipboard->setText(m_text.selectedText(), QClipboard::Selection);
}

void ChatBubble::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    const auto [start, end] = m_text.wordAt(positionAt(event->position()));
    m_text.select(start, end);
    update();
}

bool ChatBubble::keyMotion(const QKeyEvent *event, int *to, bool *select)
{
    for (const KeyMotion &key : keyMotions) {
        *select = event->matches(key.select);
        if (*select || event->matches(key.move)) {
            *to = m_text.moved(m_text.cursor(), key.motion);
            return true;
        }
    }
    return false;
}

void ChatBubble::keyPressEvent(QKeyEvent *event)
{
    int to = 0;
    bool select = false;
    if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (keyMotion(event, &to, &select))
        m_text.setCursor(to, select);
    else
        return QWidget::keyPressEvent(event); // paging and the like go on to the list
    update();
}

void ChatBubble::focusInEvent(QFocusEvent *event)
{
    update(); // the caret
    QWidget::focusInEvent(event);
}

void ChatBubble::focusOutEvent(QFocusEvent *event)
{
    // Selecting in another bubble ends this one's selection; a menu or another window does not.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        m_text.setCursor(m_text.cursor(), false);
    update();
    QWidget::focusOutEvent(event);
}

void ChatBubble::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QStringLiteral("复制"), this, &ChatBubble::copy);
    copyAction->setEnabled(m_text.hasSelection());
    menu.addAction(QStringLiteral("全选"), this, &ChatBubble::selectAll);
    menu.exec(event->globalPos());
}

} // namespace pimlo
