#include "TrayBadge.h"

#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace pimlo {
namespace {

const QString badgeDirectory = QStringLiteral(":/pimlo/badge");

// The side of the smallest badge made at build time that is at least pixels wide, else of the
// largest one.
int nearestMadeSide(int pixels)
{
    // Listed once: the badges are compiled in and never change.
    static const QList<int> sides = [] {
        QList<int> found;
        for (const QString &name : QDir(badgeDirectory).entryList({QStringLiteral("badge-*.png")}))
            found.append(name.section(u'-', 1).section(u'.', 0, 0).toInt());
        std::sort(found.begin(), found.end());
        return found;
    }();
    if (sides.isEmpty())
        return 0;
    const auto larger = std::lower_bound(sides.cbegin(), sides.cend(), pixels);
    return larger == sides.cend() ? sides.last() : *larger;
}

} // namespace

QImage TrayBadge::render(int pixels)
{
    const int side = nearestMadeSide(pixels);
    QImage image(QStringLiteral("%1/badge-%2.png").arg(badgeDirectory).arg(side));
    if (image.isNull())
        return image;
    if (side != pixels)
        image = image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void TrayBadge::paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State)
{
    const qreal ratio = painter->device()->devicePixelRatioF();
    const int side = std::min(rect.width(), rect.height());
    QRect square(0, 0, side, side);
    square.moveCenter(rect.center());
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(square, render(qRound(side * ratio)));
    painter->restore();
}

// QIcon asks for size × pixel ratio device pixels, so a 2x tray gets the badge made for 2x.
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
