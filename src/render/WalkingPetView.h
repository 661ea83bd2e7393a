#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>

namespace pimlo {

// Pimlo walking, drawn from the single walking pose (a side view facing left): the upper body
// bobs, the legs become two thick strokes from the hips to the feet, and the feet, cut out of the
// image with oval clips, swing back and forth in opposite phase. Walking right mirrors it all.
// The view has no clock: the controller sets direction and stepTime, then asks for a redraw.
class WalkingPetView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WalkingPetView)

public:
    static constexpr double stridePeriod = 0.84;
    static constexpr double bobAmplitude = 1.2;
    static constexpr double hipLine = 37.0;
    static constexpr double footLift = 4.0;
    static constexpr double legWidth = 12.0;
    // On screen the stride is shown from frames cached at this many steps per stride (26 ms of
    // walk clock each, finer than the 33 ms motion tick), rendered on first use.
    static constexpr int cachedSteps = 32;

    // image: the walking pose facing left, mirrored for the y-up canvas (see PoseImages).
    explicit WalkingPetView(QImage image, QWidget *parent = nullptr);

    const QImage &image() const { return m_image; }

    // −1 walks left, +1 right; any value ≥ 1 mirrors the drawing. Writing does not redraw.
    std::int64_t direction = -1;
    // The walk clock in seconds that drives the stride. Writing does not redraw.
    double stepTime = 0;

    // Paints the view onto a 200 × 200 point y-down device (the widget, or a test image).
    void draw(QPainter &painter) const;

    // The cached step nearest to a walk clock, and the walk clock of a cached step.
    static int cachedStep(double stepTime);
    static double cachedStepTime(int step);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The image turned upright (row 0 at the top), whole and cut to the upper body, for drawing
    // without a flipping transform.
    struct Upright
    {
        QImage whole;
        QImage body;
    };

    // One rendered step of the stride, cut to the pixels it covers.
    struct CachedFrame
    {
        QImage image;
        QPointF origin; // top-left corner in the view, points
    };

    void drawStride(QPainter &painter, double time, bool mirrored) const;
    const CachedFrame &cachedFrame(int step, bool mirrored, qreal ratio);

    QImage m_image;
    // Indexed by whether the drawing is mirrored left to right.
    std::array<Upright, 2> m_upright;
    std::array<std::array<CachedFrame, cachedSteps>, 2> m_frames;
    qreal m_framesRatio = 0;
};

} // namespace pimlo
