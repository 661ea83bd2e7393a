#pragma once

#include <QFont>
#include <QHash>
#include <QSize>
#include <QString>
#include <QTextLayout>

#include <utility>

class QPainter;

namespace pimlo {

// The text of one chat bubble: its wrapped layout, the sizes it takes at the widths it has been
// asked for, and a selection. A QTextLayout instead of a selectable QLabel: the label keeps a
// whole QTextDocument per bubble (ten times the memory and build time over a long conversation)
// and cannot break a word longer than the bubble, which would be cut off.
class BubbleText final
{
public:
    enum Motion
    {
        PreviousChar,
        NextChar,
        PreviousWord,
        NextWord,
        LineStart,
        LineEnd,
        PreviousLine,
        NextLine,
        Start,
        End
    };

    explicit BubbleText(QString text);
    Q_DISABLE_COPY_MOVE(BubbleText)

    const QString &text() const { return m_text; }
    // Drops every cached size and the layout.
    void setFont(const QFont &font);
    // The width the text wraps at; sizes and positions below refer to it.
    void setWrapWidth(int width) { m_wrapWidth = width; }

    // The wrapped text's size, never wider than the wrap width; kept per wrap width.
    QSize size();
    // The text position nearest to a point in text coordinates.
    int positionAt(QPointF point);
    // The position a caret at `from` reaches by `motion`.
    int moved(int from, Motion motion);
    // The text position's word, as [start, end).
    std::pair<int, int> wordAt(int position) const;

    int cursor() const { return m_cursor; }
    bool hasSelection() const { return m_cursor != m_anchor; }
    QString selectedText() const;
    // Moves the caret; the selection runs from the anchor to the caret when keepAnchor.
    void setCursor(int position, bool keepAnchor);
    void select(int anchor, int cursor);

    struct Colours
    {
        QColor text;
        QColor highlight;
        QColor highlightedText;
    };
    // Draws the text with its selection, and the caret when asked, at `origin`.
    void draw(QPainter &painter, QPointF origin, const Colours &colours, bool caret);

private:
    QTextLayout &laidOut();

    QString m_text;
    QTextLayout m_layout;
    int m_wrapWidth = 0;
    int m_laidOutAt = -1;
    QHash<int, QSize> m_sizes;
    int m_anchor = 0;
    int m_cursor = 0;
};

} // namespace pimlo
