#pragma once

#include <QImage>
#include <QPainterPath>
#include <QWidget>

namespace pimlo {

// The happy jump: the happy pose drawn squashed and lifted as HappyPose gives it for `time`, with
// three pink hearts rising beside it at 35 % of its lift.
class HappyPetView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HappyPetView)

public:
    // image: the happy pose, mirrored for the y-up canvas (see PoseImages).
    explicit HappyPetView(QImage image, QWidget *parent = nullptr);

    const QImage &image() const { return m_image; }

    // Seconds since the action started. Writing does not redraw.
    double time = 0;

    // Paints the view onto a 200 × 200 point y-down device (the widget, or a test image).
    void draw(QPainter &painter) const;

    // Heart outline in a y-up rectangle, its tip at the bottom and its notch at 0.8 of the height.
    static QPainterPath heartPath(const QRectF &rect);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

} // namespace pimlo
