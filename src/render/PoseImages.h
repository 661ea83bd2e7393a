#pragma once

#include <QImage>
#include <QString>
#include <functional>

namespace pimlo {

// Loads a pose image ("pimlo-idle", …) for a screen pixel ratio: the 2x rendering on high-density
// screens, the 1x one otherwise. The result is premultiplied ARGB, mirrored vertically for the
// y-up canvas, with its device pixel ratio set so it measures 200 × 200 points. A null image
// means the pose is missing or unreadable.
using PoseImageLoader = std::function<QImage(const QString &name, qreal devicePixelRatio)>;

namespace PoseImages {

QImage load(const QString &name, qreal devicePixelRatio);

// Pixel ratio the pet is drawn at on a screen of the given ratio: 1 or 2.
qreal renderRatio(qreal screenRatio);

} // namespace PoseImages
} // namespace pimlo
