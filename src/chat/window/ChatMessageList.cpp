#include "ChatMessageList.h"

#include "chat/model/ChatModel.h"
#include "chat/window/ChatBubble.h"
#include "chat/window/TypingRow.h"
#include "chat/window/WelcomeBlock.h"

#include <QApplication>
#include <QHash>
#include <QPropertyAnimation>
#include <QScrollBar>

namespace pimlo {
namespace {

constexpr int anchorHeight = 1;
// Keeps a bubble sane in a window narrower than the chat window allows.
constexpr int minBubbleWidth = 2 * ChatBubble::paddingX + 20;

} // namespace

ChatMessageList::ChatMessageList(ChatModel &model, QWidget *parent)
    : QScrollArea(parent), m_model(model), m_content(new QWidget),
      m_welcome(new WelcomeBlock(m_content)), m_typing(new TypingRow(m_content)),
      m_scroll(new QPropertyAnimation(verticalScrollBar(), "value", this))
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab reaches the list so the keyboard can page through it; a click on its background leaves
    // the focus where it was, in the message field.
    setFocusPolicy(Qt::TabFocus);
    setWidget(m_content);
    m_content->setAutoFillBackground(false); // the viewport paints the window colour
    viewport()->setBackgroundRole(QPalette::Window);
    m_scroll->setDuration(scrollMs);
    m_scroll->setEasingCurve(QEasingCurve::OutCubic);

    applyStyle(ChatStyle::current());
    m_busy = m_model.busy();
    m_lineCount = m_model.lines().size();
    syncRows();
    m_welcome->setVisible(m_bubbles.empty());
    m_typing->setVisible(m_busy);
    connect(&m_model, &ChatModel::changed, this, &ChatMessageList::sync);
}

ChatMessageList::~ChatMessageList() = default;

void ChatMessageList::applyStyle(const ChatStyle &style)
{
    m_style = style;
    setPalette(style.widgetPalette(QApplication::palette()));
    m_welcome->applyStyle(style);
    m_typing->applyStyle(style);
    for (ChatBubble *bubble : m_bubbles)
        bubble->applyStyle(style);
    layOutFrom(0); // the text size may have changed
}

void ChatMessageList::sync()
{
    const qsizetype changedRow = syncRows();
    const bool countChanged = m_model.lines().size() != m_lineCount;
    const bool busyChanged = m_model.busy() != m_busy;
    m_lineCount = m_model.lines().size();
    m_busy = m_model.busy();
    if (changedRow < 0 && !busyChanged)
        return; // typing, the banner, the settings: nothing here changes
    m_welcome->setVisible(m_bubbles.empty());
    m_typing->setVisible(m_busy);
    layOutFrom(changedRow < 0 ? qsizetype(m_bubbles.size()) : changedRow);
    if (countChanged)
        scrollToBottom(true);
    else if (busyChanged)
        scrollToBottom(false);
}

qsizetype ChatMessageList::syncRows()
{
    const QList<ChatLine> &lines = m_model.lines();
    qsizetype same = 0;
    while (same < lines.size() && same < qsizetype(m_bubbles.size()) &&
           m_bubbles[same]->id() == lines[same].id())
        ++same;
    if (same == lines.size() && same == qsizetype(m_bubbles.size()))
        return -1;

    // Rows past the common start are reused by id, so a bubble keeps its widget (and selection)
    // whatever happens around it.
    QHash<QUuid, ChatBubble *> spare;
    for (qsizetype i = same; i < qsizetype(m_bubbles.size()); ++i)
        spare.insert(m_bubbles[i]->id(), m_bubbles[i]);
    m_bubbles.resize(same);
    for (qsizetype i = same; i < lines.size(); ++i) {
        ChatBubble *bubble = spare.take(lines[i].id());
        if (!bubble) {
            bubble = new ChatBubble(lines[i], m_content);
            bubble->applyStyle(m_style);
            bubble->show();
        }
        bubble->raise(); // keeps the children, and so a screen reader's order, in line order
        m_bubbles.push_back(bubble);
    }
    qDeleteAll(spare);
    m_typing->raise();
    return same;
}

void ChatMessageList::layOutFrom(qsizetype row)
{
    if (!isVisible()) { // placed when shown, at the width it is shown with
        m_dirtyFrom = m_dirtyFrom < 0 ? row : qMin(m_dirtyFrom, row);
        return;
    }
    const int width = viewport()->width();
    const int inner = qMax(0, width - 2 * padding);
    const int bubbleWidth = qMax(minBubbleWidth, qMin(maxBubbleWidth, inner - minFreeSpace));
    int y = padding;
    if (!m_welcome->isHidden()) {
        const int height = m_welcome->heightForWidth(inner);
        m_welcome->setGeometry(padding, y, inner, height);
        y += height + rowSpacing;
    }
    row = qBound<qsizetype>(0, row, m_bubbles.size());
    if (row > 0)
        y = m_bubbles[row - 1]->geometry().bottom() + 1 + rowSpacing;
    for (auto it = m_bubbles.begin() + row; it != m_bubbles.end(); ++it) {
        ChatBubble *bubble = *it;
        const QSize size = bubble->fitTo(bubbleWidth);
        const int x = bubble->isUser() ? padding + inner - size.width() : padding;
        bubble->setGeometry(QRect(QPoint(x, y), size));
        y += size.height() + rowSpacing;
    }
    if (!m_typing->isHidden()) {
        const int height = m_typing->sizeHint().height();
        m_typing->setGeometry(padding, y, inner, height);
        y += height + rowSpacing;
    }
    m_anchorBottom = y + anchorHeight;
    m_content->resize(width, m_anchorBottom + padding);
    m_laidOutWidth = width;
    m_dirtyFrom = -1;
}

int ChatMessageList::bottomScrollValue() const
{
    const QScrollBar *bar = verticalScrollBar();
    return qBound(bar->minimum(), m_anchorBottom - viewport()->height(), bar->maximum());
}

void ChatMessageList::scrollToBottom(bool animated)
{
    if (!isVisible()) {
        m_scrollWhenShown = true;
        return;
    }
    QScrollBar *bar = verticalScrollBar();
    const int target = bottomScrollValue();
    // A scroll under way goes on to the new bottom, so a reply's two changes make one motion.
    if (m_scroll->state() == QAbstractAnimation::Running)
        m_scroll->setEndValue(target);
    else if (!animated || target == bar->value())
        bar->setValue(target);
    else {
        m_scroll->setStartValue(bar->value());
        m_scroll->setEndValue(target);
        m_scroll->start();
    }
}

void ChatMessageList::resizeEvent(QResizeEvent *event)
{
    // Also called for the viewport's resizes, e.g. when the scroll bar comes or goes.
    if (viewport()->width() != m_laidOutWidth) {
        layOutFrom(0);
        if (m_scroll->state() == QAbstractAnimation::Running)
            m_scroll->setEndValue(bottomScrollValue());
    }
    QScrollArea::resizeEvent(event);
}

void ChatMessageList::showEvent(QShowEvent *event)
{
    QScrollArea::showEvent(event);
    if (m_dirtyFrom >= 0)
        layOutFrom(m_dirtyFrom);
    if (std::exchange(m_scrollWhenShown, false)) {
        // After the scroll bars have settled on the shown size.
        QMetaObject::invokeMethod(
            this, [this] { scrollToBottom(false); }, Qt::QueuedConnection);
    }
}

void ChatMessageList::hideEvent(QHideEvent *event)
{
    if (m_scroll->state() == QAbstractAnimation::Running) {
        m_scroll->stop();
        verticalScrollBar()->setValue(m_scroll->endValue().toInt());
    }
    QScrollArea::hideEvent(event);
}

} // namespace pimlo
