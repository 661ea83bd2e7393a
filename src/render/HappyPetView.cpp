#include "HappyPetView.h"

#include "render/HappyPose.h"
#include "render/PetCanvas.h"

#include <array>

namespace pimlo {

namespace {

struct Heart
{
    QRectF rect; // before the lift is added, y up
    float red, green, blue;
};

constexpr std::array<Heart, 3> hearts{{
    {QRectF(22, 146, 14, 14), 1.0f, 0.35f, 0.52f},
    {QRectF(164, 157, 14, 14), 1.0f, 0.43f, 0.52f},
    {QRectF(151, 180, 10, 10), 1.0f, 0.51f, 0.52f},
}};

// Hearts rise at this fraction of the figure's lift.
constexpr double heartLiftShare = 0.35;

} // namespace

HappyPetView::HappyPetView(QImage image, QWidget *parent)
    : QWidget(parent), m_image(std::move(image))
{
    PetCanvas::setUpView(*this);
}

QPainterPath HappyPetView::heartPath(const QRectF &r)
{
    const double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    QPainterPath path;
    path.moveTo(x + 0.5 * w, y);
    path.cubicTo(x + 0.2 * w, y + 0.25 * h, x, y + 0.4 * h, x, y + 0.65 * h);
    path.cubicTo(x, y + h, x + 0.35 * w, y + h, x + 0.5 * w, y + 0.8 * h);
    path.cubicTo(x + 0.65 * w, y + h, x + w, y + h, x + w, y + 0.65 * h);
    path.cubicTo(x + w, y + 0.4 * h, x + 0.8 * w, y + 0.25 * h, x + 0.5 * w, y);
    path.closeSubpath();
    return path;
}

void HappyPetView::draw(QPainter &painter) const
{
    const HappyPose pose(time);
    const double ratio = m_image.devicePixelRatio();

    painter.save();
    PetCanvas::applyTransform(painter);
    PetCanvas::useHighInterpolation(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);

    // 94 % of the canvas, centred, squashed towards its bottom edge.
    painter.drawImage(QRectF(6, 0.48 + pose.lift, 188, 188 * pose.squash), m_image,
                      QRectF(0, 0, PetCanvas::size * ratio, PetCanvas::size * ratio));

    if (pose.hearts > 0) {
        for (const Heart &heart : hearts) {
            const QColor colour =
                QColor::fromRgbF(heart.red, heart.green, heart.blue, float(pose.hearts));
            painter.fillPath(heartPath(heart.rect.translated(0, heartLiftShare * pose.lift)),
                             colour);
        }
    }
    painter.restore();
}

void HappyPetView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    draw(painter);
}

} // namespace pimlo
