#include "PetCanvas.h"

#include <QWidget>
#include <algorithm>

namespace pimlo::PetCanvas {

void setUpView(QWidget &view)
{
    view.setFixedSize(int(size), int(size));
    view.setAttribute(Qt::WA_TransparentForMouseEvents);
    view.setAttribute(Qt::WA_NoSystemBackground);
}

QRectF opaqueBounds(const QImage &image)
{
    const qreal ratio = image.devicePixelRatio();
    int minX = image.width(), minY = image.height(), maxX = -1, maxY = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) == 0)
                continue;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    if (maxX < 0)
        return {};
    return QRectF(minX / ratio, minY / ratio, (maxX - minX + 1) / ratio, (maxY - minY + 1) / ratio);
}

} // namespace pimlo::PetCanvas
