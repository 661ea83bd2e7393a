#pragma once

#include "chat/window/ChatStyle.h"

#include <QScrollArea>

#include <vector>

class QPropertyAnimation;

namespace pimlo {

class ChatBubble;
class ChatModel;
class TypingRow;
class WelcomeBlock;

// The scrolling list of the conversation: the welcome block while it is empty, one bubble per
// line (kept by the line's id), the typing row while a reply is on its way, and a bottom anchor.
// It follows the model by itself and scrolls to the bottom when the number of lines changes
// (animated) or a reply starts or ends (at once), never while the user only types.
//
// Rows are placed by hand rather than by a layout: an append places one row, and a resize asks
// each bubble for its size at the new width, which it keeps per width.
class ChatMessageList final : public QScrollArea
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatMessageList)

public:
    static constexpr int padding = 20;
    static constexpr int rowSpacing = 14;
    static constexpr int maxBubbleWidth = 470;
    // Free space beside a bubble: the flexible space's minimum plus the row's own spacing.
    static constexpr int minFreeSpace = 65 + 8;
    static constexpr int scrollMs = 250;

    explicit ChatMessageList(ChatModel &model, QWidget *parent = nullptr);
    ~ChatMessageList() override;

    // Light or dark, and the text size; applies at once.
    void applyStyle(const ChatStyle &style);

    // The bubbles in the order of the model's lines.
    const std::vector<ChatBubble *> &bubbles() const { return m_bubbles; }
    WelcomeBlock *welcomeBlock() const { return m_welcome; }
    TypingRow *typingRow() const { return m_typing; }
    // The scroll position that puts the bottom anchor at the bottom of the visible area.
    int bottomScrollValue() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void sync();
    // Brings the bubbles in line with the model's lines; the first row that changed, or -1.
    qsizetype syncRows();
    // Places the rows from `row` on (and the typing row and anchor after them).
    void layOutFrom(qsizetype row);
    void scrollToBottom(bool animated);

    ChatModel &m_model;
    ChatStyle m_style;
    QWidget *m_content;
    WelcomeBlock *m_welcome;
    TypingRow *m_typing;
    std::vector<ChatBubble *> m_bubbles;
    QPropertyAnimation *m_scroll;
    qsizetype m_lineCount = 0;
    bool m_busy = false;
    int m_laidOutWidth = -1;
    qsizetype m_dirtyFrom = 0; // rows not yet placed while hidden; -1 when all are
    int m_anchorBottom = 0;
    bool m_scrollWhenShown = false;
};

} // namespace pimlo
