#include "PoseImages.h"

#include <QImageReader>

namespace pimlo::PoseImages {

qreal renderRatio(qreal screenRatio)
{
    return screenRatio > 1.0 ? 2.0 : 1.0;
}

QImage load(const QString &name, qreal devicePixelRatio)
{
    const qreal ratio = renderRatio(devicePixelRatio);
    const QString path = ratio > 1.0 ? QStringLiteral(":/pimlo/%1@2x.png").arg(name)
                                     : QStringLiteral(":/pimlo/%1.png").arg(name);
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied).mirrored(false, true);
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace pimlo::PoseImages
