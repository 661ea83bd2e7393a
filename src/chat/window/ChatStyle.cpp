#include "ChatStyle.h"

#include "platform/Appearance.h"

#include <QApplication>
#include <QFontInfo>

namespace pimlo {
namespace {

QColor grey(double white)
{
    return QColor::fromRgbF(white, white, white);
}
QColor withAlpha(QColor colour, double alpha)
{
    colour.setAlphaF(alpha);
    return colour;
}

// The text sizes are given for a 13 px desktop font.
constexpr double referenceFontPixels = 13.0;

} // namespace

ChatStyle ChatStyle::make(bool dark, const QPalette &system, double desktopFontPixels)
{
    ChatStyle s;
    s.dark = dark;
    s.textScale = desktopFontPixels > 0 ? desktopFontPixels / referenceFontPixels : 1.0;
    s.windowBackground = grey(dark ? 0.12 : 0.99);
    s.barBackground = grey(dark ? 0.16 : 0.955);
    s.inputBackground = grey(dark ? 0.2 : 0.94);
    s.pimloBubble = grey(dark ? 0.23 : 0.92);
    s.pimloBubbleText = dark ? Qt::white : Qt::black;
    s.accent = system.color(QPalette::Active, QPalette::Highlight);
    s.userBubble = s.accent;
    s.userBubbleText = Qt::white;
    s.primaryText = dark ? Qt::white : Qt::black;
    s.pictureBackground = withAlpha(s.primaryText, 0.05);
    const QColor red = dark ? QColor(255, 69, 58) : QColor(255, 59, 48);
    s.errorBackground = withAlpha(red, 0.05);
    s.errorText = red;
    s.successText = dark ? QColor(48, 209, 88) : QColor(40, 167, 69);
    s.secondaryText = withAlpha(s.primaryText, dark ? 0.55 : 0.5);
    s.tertiaryText = withAlpha(s.primaryText, dark ? 0.25 : 0.26);
    s.divider = withAlpha(s.primaryText, dark ? 0.15 : 0.1);
    return s;
}

Appearance &ChatStyle::appearance()
{
    static Appearance *appearance = new Appearance(qApp);
    return *appearance;
}

ChatStyle ChatStyle::current()
{
    const QFont desktop = QApplication::font();
    const double pixels =
        desktop.pixelSize() > 0 ? desktop.pixelSize() : QFontInfo(desktop).pixelSize();
    return make(appearance().dark(), QApplication::palette(), pixels);
}

QFont ChatStyle::font(double pixels, QFont::Weight weight) const
{
    QFont f = QApplication::font();
    f.setPixelSize(qMax(1, qRound(pixels * textScale)));
    f.setWeight(weight);
    return f;
}

QPalette ChatStyle::widgetPalette(const QPalette &system) const
{
    QPalette p = system;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, windowBackground);
        p.setColor(group, QPalette::Base, inputBackground);
        p.setColor(group, QPalette::Text, primaryText);
        p.setColor(group, QPalette::WindowText, primaryText);
        p.setColor(group, QPalette::ButtonText, primaryText);
        p.setColor(group, QPalette::Button, inputBackground);
        p.setColor(group, QPalette::PlaceholderText, tertiaryText);
        p.setColor(group, QPalette::Highlight, accent);
        p.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    p.setColor(QPalette::Disabled, QPalette::ButtonText, tertiaryText);
    p.setColor(QPalette::Disabled, QPalette::WindowText, tertiaryText);
    p.setColor(QPalette::Disabled, QPalette::Text, tertiaryText);
    return p;
}

} // namespace pimlo
