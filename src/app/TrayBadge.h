#pragma once

#include <QIconEngine>

namespace pimlo {

// The tray icon's picture: the glyph "皮" in white on a rounded dark-green badge with a light
// rim, so it reads on light and dark panels alike. Drawn at build time (tools/pimlo-badge) at the
// sizes trays ask for, at 1x and 2x, so showing it loads no CJK face; other sizes are scaled
// down from the next larger one.
class TrayBadge final : public QIconEngine
{
public:
    TrayBadge() = default;

    // The badge as an image of pixels × pixels.
    static QImage render(int pixels);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;

private:
    TrayBadge(const TrayBadge &) = default; // for clone()
};

} // namespace pimlo
