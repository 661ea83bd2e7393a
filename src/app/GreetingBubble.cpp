#include "GreetingBubble.h"

#include "app/PetController.h"
#include "platform/Appearance.h"
#include "platform/ScreenGeometry.h"
#include "platform/X11WindowHints.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>

namespace pimlo {
namespace {

constexpr int shadowLayers = 8;
constexpr int shadowAlpha = 9; // added by each layer, so the darkest band is 8 × 9
constexpr double shadowDrop = 2;

} // namespace

// Past the window manager: KWin hides the utility windows of an application that is not active
// (and Pimlo never is), so a managed bubble would never show there.
GreetingBubble::GreetingBubble()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                           Qt::NoDropShadowWindowHint | Qt::BypassWindowManagerHint),
      m_appearance(new Appearance(this))
{
    setWindowTitle(QStringLiteral("你好呀"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    const Size card = PetController::greetingSize;
    setFixedSize(int(card.width) + 2 * margin, int(card.height) + 2 * margin);
    connect(m_appearance, &Appearance::changed, this, qOverload<>(&QWidget::update));
}

void GreetingBubble::showAt(Point origin)
{
    QPoint topLeft =
        ScreenGeometry::windowTopLeft({origin.x - margin, origin.y - margin}, height());
    // Window managers keep a window's top on its screen (mutter does): at a screen's top edge the
    // window stops there and the card moves up into the shadow's margin, so it stays in place.
    const QScreen *screen = QGuiApplication::screenAt(topLeft + QPoint(margin, margin));
    const int above = screen ? screen->availableGeometry().top() - topLeft.y() : 0;
    const int cardTop = margin - std::clamp(above, 0, margin);
    topLeft.ry() += margin - cardTop;
    if (cardTop != m_cardTop) {
        m_cardTop = cardTop;
        update();
    }
    if (pos() != topLeft)
        move(topLeft);
    if (isVisible())
        return;
    // As for the pet window: hints before mapping, and again as requests once mapped.
    winId();
    X11WindowHints::applyPetHints(*this);
    show();
    raise();
    X11WindowHints::applyPetHints(*this);
}

void GreetingBubble::draw(QPainter &painter) const
{
    const bool dark = m_appearance->dark();
    painter.setRenderHint(QPainter::Antialiasing);
    const Size size = PetController::greetingSize;
    const QRectF card(margin, m_cardTop, size.width, size.height);

    // A soft shadow: rounded bands widening into the margin, each adding a little darkness.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, dark ? shadowAlpha * 2 : shadowAlpha));
    for (int i = shadowLayers; i >= 1; --i)
        painter.drawRoundedRect(card.adjusted(-i, -i + shadowDrop, i, i + shadowDrop), radius + i,
                                radius + i);

    // Source, so the shadow does not darken the card through its transparency.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setBrush(dark ? QColor(44, 44, 48, 224) : QColor(255, 255, 255, 232));
    painter.drawRoundedRect(card, radius, radius);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    QFont font = this->font();
    font.setPixelSize(textPixels);
    painter.setFont(font);
    painter.setPen(dark ? QColor(245, 245, 247) : QColor(29, 29, 31));
    painter.drawText(card, Qt::AlignCenter, QStringLiteral("你好呀"));
}

void GreetingBubble::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    draw(painter);
}

} // namespace pimlo
