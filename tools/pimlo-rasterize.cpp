// Renders an SVG to a square PNG of size × scale pixels with a transparent background.
// Usage: pimlo-rasterize <in.svg> <out.png> <points> <scale>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: pimlo-rasterize <in.svg> <out.png> <points> <scale>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "pimlo-rasterize: cannot read %s\n", argv[1]);
        return 1;
    }
    const int points = std::atoi(argv[3]);
    const int scale = std::atoi(argv[4]);
    if (points <= 0 || scale <= 0)
        return 2;
    QImage image(points * scale, points * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(0, 0, image.width(), image.height()));
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "pimlo-rasterize: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
