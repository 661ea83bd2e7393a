#include "TrayBadge.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace pimlo {
namespace {

const QColor badgeFill(52, 122, 70);
const QColor badgeRim(141, 203, 127); // the seedling's green
const QColor glyphColour(255, 255, 255);

void drawBadge(QPainter &painter, const QRectF &area)
{
    const double side = std::min(area.width(), area.height());
    const QRectF square(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    // At least one device pixel wide, so the rim survives at 16 px.
    const double rim = std::max(side / 20, 1.0 / painter.device()->devicePixelRatioF());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QPen(badgeRim, rim));
    painter.setBrush(badgeFill);
    const QRectF badge = square.adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2);
    painter.drawRoundedRect(badge, side * 0.24, side * 0.24);

    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("sans-serif")});
    font.setWeight(QFont::Bold);
    font.setPixelSize(std::max(1, int(side * 0.75)));
    font.setHintingPreference(QFont::PreferFullHinting);
    painter.setFont(font);
    painter.setPen(glyphColour);
    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("皮"));
    painter.restore();
}

} // namespace

QImage TrayBadge::render(int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawBadge(painter, QRectF(0, 0, pixels, pixels));
    return image;
}

void TrayBadge::paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State)
{
    drawBadge(*painter, rect);
}

// QIcon asks for size × pixel ratio device pixels, so a 2x tray gets a badge drawn at 2x.
QPixmap TrayBadge::pixmap(const QSize &size, QIcon::Mode, QIcon::State)
{
    return QPixmap::fromImage(render(std::min(size.width(), size.height())));
}

QList<QSize> TrayBadge::availableSizes(QIcon::Mode, QIcon::State)
{
    return {{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}};
}

QIconEngine *TrayBadge::clone() const
{
    return new TrayBadge(*this);
}

QString TrayBadge::key() const
{
    return QStringLiteral("pimlo-tray-badge");
}

} // namespace pimlo
