#pragma once

#include "platform/Geometry.h"

#include <QWidget>

namespace pimlo {

class Appearance;

// The greeting "你好呀": a rounded, slightly transparent card above the pet, light or dark after
// the desktop's preference. Click-through, never focused, above normal windows and on every
// workspace. Its window is larger than the card by a transparent margin that holds the shadow.
class GreetingBubble final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GreetingBubble)

public:
    static constexpr int margin = 10;
    static constexpr double radius = 14;
    static constexpr int textPixels = 17;

    // A window of its own, above every managed window, the pet's included. It has no parent
    // widget: when a child asks for its native window (winId() does), Qt makes all its siblings
    // native too, and a pet view with an X window of its own ends a press's pointer grab when it
    // hides as an action ends.
    GreetingBubble();

    // Puts the card's lower-left corner at origin (y-up points) and shows it if it is hidden.
    void showAt(Point origin);
    // Draws the bubble onto a device the size of the window (the window, or a test image).
    void draw(QPainter &painter) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Appearance *m_appearance;
    // The card's top in the window: the margin, less what a screen's top edge takes from it.
    int m_cardTop = margin;
};

} // namespace pimlo
