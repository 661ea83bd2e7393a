#pragma once

#include <QIconEngine>

namespace pimlo {

// The tray icon's picture: the glyph "皮" in white on a rounded dark-green badge with a light
// rim, so it reads on light and dark panels alike. Drawn afresh at every size and pixel ratio the
// tray asks for, never scaled from another size.
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
