// Draws the tray badge, the glyph "皮" in white on a rounded dark-green badge with a light rim,
// as PNGs of the given pixel sizes, so the running pet shows it without loading a CJK face.
// Usage: pimlo-badge <out-dir> <pixels>…  (writes <out-dir>/badge-<pixels>.png)

#include <QDir>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>

namespace {

const QColor badgeFill(52, 122, 70);
const QColor badgeRim(141, 203, 127); // the seedling's green
const QColor glyphColour(255, 255, 255);

QFont glyphFont(int side)
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("sans-serif")});
    font.setWeight(QFont::Bold);
    font.setPixelSize(std::max(1, int(side * 0.75)));
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage drawBadge(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // At least one pixel wide, so the rim survives at 16 px.
    const double rim = std::max(side / 20.0, 1.0);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QPen(badgeRim, rim));
    painter.setBrush(badgeFill);
    const QRectF badge = QRectF(0, 0, side, side).adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2);
    painter.drawRoundedRect(badge, side * 0.24, side * 0.24);
    painter.setFont(glyphFont(side));
    painter.setPen(glyphColour);
    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("皮"));
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: pimlo-badge <out-dir> <pixels>...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR"))
        qputenv("QT_QPA_FONTDIR", "/usr/share/fonts");
    QGuiApplication app(argc, argv);
    // Another face would draw another glyph, or none: the build needs the one the badge is
    // made with (fonts-noto-cjk).
    const QString family = QFontInfo(glyphFont(48)).family();
    if (!family.contains(QStringLiteral("CJK"))) {
        std::fprintf(stderr, "pimlo-badge: Noto Sans CJK SC is not installed (got %s)\n",
                     qPrintable(family));
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int side = std::atoi(argv[i]);
        const QString path = out.filePath(QStringLiteral("badge-%1.png").arg(side));
        if (side <= 0 || !drawBadge(side).save(path, "PNG")) {
            std::fprintf(stderr, "pimlo-badge: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
