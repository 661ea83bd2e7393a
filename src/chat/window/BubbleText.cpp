#include "BubbleText.h"

#include <QPainter>
#include <QTextBoundaryFinder>
#include <QtMath>

namespace pimlo {
namespace {

// A text layout breaks lines only at its own separator; every line break of the text becomes
// one, character for character, so positions in the layout are positions in the text.
QString displayed(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool crlf = c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n';
        if (crlf)
            text[i] = QChar(0x200B); // zero width: the following \n makes the break
        else if (c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x85 || c == 0x2029)
            text[i] = QChar::LineSeparator;
    }
    return text;
}

// Distinct wrap widths seen while a window is dragged narrower; older ones are dropped.
constexpr qsizetype maxCachedWidths = 64;

} // namespace

BubbleText::BubbleText(QString text) : m_text(std::move(text)), m_layout(displayed(m_text))
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_layout.setTextOption(option);
    // Keeps the shaped text for painting: shaping is the costly part, above all for colour
    // emoji, whose bitmaps the font engine decodes again on every shaping.
    m_layout.setCacheEnabled(true);
}

void BubbleText::setFont(const QFont &font)
{
    m_layout.setFont(font);
    m_sizes.clear();
    m_laidOutAt = -1;
}

QTextLayout &BubbleText::laidOut()
{
    if (m_laidOutAt == m_wrapWidth)
        return m_layout;
    const int width = qMax(1, m_wrapWidth);
    qreal y = 0;
    qreal widest = 0;
    m_layout.beginLayout();
    for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        widest = qMax(widest, line.naturalTextWidth());
    }
    m_layout.endLayout();
    m_laidOutAt = m_wrapWidth;
    if (m_sizes.size() >= maxCachedWidths)
        m_sizes.clear();
    m_sizes.insert(m_wrapWidth, QSize(qMin(width, qCeil(widest)), qCeil(y)));
    return m_layout;
}

QSize BubbleText::size()
{
    const auto known = m_sizes.constFind(m_wrapWidth);
    if (known != m_sizes.constEnd())
        return *known;
    laidOut();
    return m_sizes.value(m_wrapWidth);
}

int BubbleText::positionAt(QPointF point)
{
    const QTextLayout &layout = laidOut();
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (point.y() < line.y() + line.height() || i == layout.lineCount() - 1)
            return line.xToCursor(point.x());
    }
    return 0;
}

int BubbleText::moved(int from, Motion motion)
{
    const QTextLayout &layout = laidOut();
    const QTextLine line = layout.lineForTextPosition(from);
    const int length = int(m_text.size());
    switch (motion) {
    case PreviousChar:
        return layout.previousCursorPosition(from);
    case NextChar:
        return layout.nextCursorPosition(from);
    case PreviousWord:
        return layout.previousCursorPosition(from, QTextLayout::SkipWords);
    case NextWord:
        return layout.nextCursorPosition(from, QTextLayout::SkipWords);
    case LineStart:
        return line.isValid() ? line.textStart() : from;
    case LineEnd: {
        if (!line.isValid())
            return from;
        const int end = line.textStart() + line.textLength();
        // The end of a wrapped line is the start of the next one: stay on this line.
        return line.lineNumber() + 1 < layout.lineCount() ? layout.previousCursorPosition(end)
                                                          : end;
    }
    case PreviousLine:
    case NextLine: {
        if (!line.isValid())
            return from;
        const int target = line.lineNumber() + (motion == NextLine ? 1 : -1);
        if (target < 0)
            return 0;
        if (target >= layout.lineCount())
            return length;
        return layout.lineAt(target).xToCursor(line.cursorToX(from));
    }
    case Start:
        return 0;
    case End:
        return length;
    }
    return from;
}

std::pair<int, int> BubbleText::wordAt(int position) const
{
    const int length = int(m_text.size());
    // At the very end, the word before.
    position = qBound(0, position == length ? position - 1 : position, length);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, m_text);
    finder.setPosition(position);
    const qsizetype start = finder.isAtBoundary() ? position : finder.toPreviousBoundary();
    finder.setPosition(position);
    const qsizetype end = finder.toNextBoundary();
    return {int(qMax<qsizetype>(0, start)), int(end < 0 ? length : end)};
}

QString BubbleText::selectedText() const
{
    const int from = qMin(m_anchor, m_cursor);
    return m_text.mid(from, qAbs(m_cursor - m_anchor));
}

void BubbleText::setCursor(int position, bool keepAnchor)
{
    m_cursor = qBound(0, position, int(m_text.size()));
    if (!keepAnchor)
        m_anchor = m_cursor;
}

void BubbleText::select(int anchor, int cursor)
{
    setCursor(anchor, false);
    setCursor(cursor, true);
}

void BubbleText::draw(QPainter &painter, QPointF origin, const Colours &colours, bool caret)
{
    const QTextLayout &layout = laidOut();
    QList<QTextLayout::FormatRange> selections;
    if (hasSelection()) {
        QTextLayout::FormatRange range;
        range.start = qMin(m_anchor, m_cursor);
        range.length = qAbs(m_cursor - m_anchor);
        range.format.setBackground(colours.highlight);
        range.format.setForeground(colours.highlightedText);
        selections.append(range);
    }
    painter.setPen(colours.text);
    layout.draw(&painter, origin, selections);
    if (caret)
        layout.drawCursor(&painter, origin, m_cursor, 1);
}

} // namespace pimlo
