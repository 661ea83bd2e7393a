#pragma once

#include "chat/model/ChatLine.h"
#include "chat/window/BubbleText.h"

#include <QColor>
#include <QFont>
#include <QUuid>
#include <QWidget>

namespace pimlo {

struct ChatStyle;

// One line of the conversation as a speech bubble: the user's in the accent colour, Pimlo's in
// grey. Its text can be selected with the mouse, and after a click with the keyboard, and
// copied; it is not in the Tab chain. A screen reader reads its text and who said it.
class ChatBubble final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChatBubble)

public:
    static constexpr int paddingX = 15;
    static constexpr int paddingY = 11;
    static constexpr qreal cornerRadius = 18;

    ChatBubble(const ChatLine &line, QWidget *parent);

    QUuid id() const { return m_id; }
    bool isUser() const { return m_isUser; }
    const QString &text() const { return m_text.text(); }
    QString selectedText() const { return m_text.selectedText(); }

    void applyStyle(const ChatStyle &style);
    // The bubble's size when it may be at most maxWidth wide; it wraps its text to fit, and
    // paints with that wrapping until asked again.
    QSize fitTo(int maxWidth);

public Q_SLOTS:
    // The names of Qt's text widgets, so the edit menu reaches a focused bubble too.
    void copy() const;
    void selectAll();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    int positionAt(QPointF point);
    // Whether a key moves the caret; sets *to where, and *select when it extends the selection.
    bool keyMotion(const QKeyEvent *event, int *to, bool *select);

    QUuid m_id;
    bool m_isUser;
    BubbleText m_text;
    QFont m_font;
    QColor m_background;
    BubbleText::Colours m_colours;
};

} // namespace pimlo
