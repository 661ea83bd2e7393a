#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace pimlo {

class Appearance;

// The chat window's colours and type, for the light or the dark appearance. Sizes are
// device-independent pixels; every text size is scaled by the desktop's default font size over
// 13 px, so a user who enlarged their fonts gets larger chat text too.
struct ChatStyle
{
    bool dark = false;
    double textScale = 1.0;

    QColor windowBackground; // the whole view
    QColor barBackground;    // the header, a step off the window background
    QColor inputBackground;  // the message editor's rounded field
    QColor pimloBubble;      // Pimlo's bubbles
    QColor pimloBubbleText;
    QColor userBubble; // the user's bubbles: the accent colour
    QColor userBubbleText;
    QColor pictureBackground; // behind Pimlo's picture in the header
    QColor errorBackground;   // the error banner
    QColor errorText;
    QColor successText; // a settings notice after a save or delete that worked
    QColor accent;
    QColor primaryText;
    QColor secondaryText;
    QColor tertiaryText;
    QColor divider;

    // The style for an appearance; the accent comes from the system palette's highlight.
    static ChatStyle make(bool dark, const QPalette &system, double desktopFontPixels);
    // The style of this desktop now: its dark preference and its default font.
    static ChatStyle current();
    // The desktop's light or dark preference, shared by every chat widget; its changed() signal
    // tells when to apply current() again.
    static Appearance &appearance();

    // A font of `pixels` (before scaling) in the given weight.
    QFont font(double pixels, QFont::Weight weight = QFont::Normal) const;
    QFont body() const { return font(14); }
    QFont headline() const { return font(13, QFont::DemiBold); }
    QFont caption() const { return font(10); }
    QFont callout() const { return font(12); }
    QFont title2() const { return font(17, QFont::Bold); }

    // A palette for standard widgets placed on the chat window (text, base, highlight).
    QPalette widgetPalette(const QPalette &system) const;
};

} // namespace pimlo
