#include "SleepPetView.h"

#include "render/IdlePetView.h"
#include "render/PetCanvas.h"
#include "render/SleepPose.h"

#include <algorithm>
#include <cmath>

namespace pimlo {

namespace {

QRectF wholeImage(const QImage &image)
{
    const double ratio = image.devicePixelRatio();
    return QRectF(0, 0, PetCanvas::size * ratio, PetCanvas::size * ratio);
}

// The image with every premultiplied channel scaled by alpha / 255.
QImage faded(const QImage &image, int alpha)
{
    if (alpha >= 255)
        return image;
    QImage result = image.copy();
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.fillRect(QRect(0, 0, result.width(), result.height()), QColor(0, 0, 0, alpha));
    return result;
}

} // namespace

SleepPetView::SleepPetView(QImage sleeper, const IdlePetView &standing, QWidget *parent)
    : QWidget(parent), m_sleeper(std::move(sleeper))
{
    m_eyelidFrames.reserve(eyelidSteps + 1);
    for (int i = 0; i <= eyelidSteps; ++i)
        m_eyelidFrames.push_back(standing.pose(double(i) / eyelidSteps));
    PetCanvas::setUpView(*this);
}

int SleepPetView::eyelidFrameIndex(double eyelids)
{
    if (!(eyelids > 0))
        return 0;
    return int(std::min<long>(std::lround(eyelids * eyelidSteps), eyelidSteps));
}

void SleepPetView::draw(QPainter &painter) const
{
    const SleepPose pose(time);
    const QRectF bounds(0, 0, PetCanvas::size, PetCanvas::size);
    // One 8-bit weight for both images, so that where both are opaque their alphas add up to
    // exactly 255 and the figure does not turn translucent mid-fade.
    const int sleeperAlpha = int(std::lround(pose.blend * 255));

    painter.save();
    PetCanvas::applyTransform(painter);
    PetCanvas::useHighInterpolation(painter);

    if (pose.blend < 1) {
        const QImage &standing = m_eyelidFrames[size_t(eyelidFrameIndex(pose.eyelids))];
        const QImage image = faded(standing, 255 - sleeperAlpha);
        painter.drawImage(bounds, image, wholeImage(image));
    }
    if (pose.blend > 0) {
        // Plus-lighter adds the sleeper scaled by blend. QPainter's Plus mode with an opacity
        // instead mixes the clamped sum with the destination, which would let two opaque images
        // turn translucent, so the sleeper is faded first and then added at full opacity.
        const QImage image = faded(m_sleeper, sleeperAlpha);
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
        painter.drawImage(bounds, image, wholeImage(image));
    }
    painter.restore();
}

void SleepPetView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    draw(painter);
}

} // namespace pimlo
