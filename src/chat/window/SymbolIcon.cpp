#include "chat/window/SymbolIcon.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtMath>

#include <iterator>

namespace pimlo {
namespace {

// The rendered sizes in device pixels, smallest first, and the file each comes from.
struct Rendering
{
    int pixels;
    const char *suffix;
};
constexpr Rendering renderings[] = {{16, "-16"},    {20, "-20"},    {28, "-28"},
                                    {32, "-16@2x"}, {40, "-20@2x"}, {56, "-28@2x"}};

// The exact size when it was rendered, else the next larger one (scaled down, which stays
// sharper than scaling up), else the largest.
QImage source(const QString &name, int pixels)
{
    const Rendering *best = &renderings[std::size(renderings) - 1];
    for (const Rendering &r : renderings) {
        if (r.pixels >= pixels) {
            best = &r;
            break;
        }
    }
    return QImage(QStringLiteral(":/pimlo/icons/%1%2.png").arg(name, QLatin1String(best->suffix)));
}

} // namespace

QPixmap SymbolIcon::pixmap(const QString &name, const QColor &colour, int size,
                           qreal devicePixelRatio)
{
    const int pixels = qMax(1, qCeil(size * devicePixelRatio));
    QImage image = source(name, pixels);
    if (image.isNull())
        return {};
    if (image.width() != pixels)
        image = image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        // Keeps the shape's coverage and replaces its colour.
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), colour);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return QPixmap::fromImage(std::move(image));
}

QIcon SymbolIcon::tinted(const QString &name, const QColor &colour, int size)
{
    QIcon icon;
    QList<qreal> ratios{1.0, 2.0};
    if (const qreal own = qGuiApp->devicePixelRatio(); !ratios.contains(own))
        ratios.append(own);
    for (const qreal ratio : ratios) {
        const QPixmap pm = pixmap(name, colour, size, ratio);
        if (pm.isNull())
            return {};
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace pimlo
