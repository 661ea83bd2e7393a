#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace pimlo {

// The chat window's symbols ("key", "square-and-pencil", "arrow-up-circle-fill"), drawn as
// single-colour shapes and rendered at build time at 16, 20 and 28 px and their double; here
// they take the colour of the palette they stand on.
class SymbolIcon final
{
public:
    SymbolIcon() = delete;

    // The symbol in `colour`, `size` device-independent pixels square, for both pixel ratios
    // and the application's own. Null when there is no such symbol.
    static QIcon tinted(const QString &name, const QColor &colour, int size);
    // The symbol in `colour` at one pixel ratio.
    static QPixmap pixmap(const QString &name, const QColor &colour, int size,
                          qreal devicePixelRatio);
};

} // namespace pimlo
