#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

namespace pimlo {

class IdlePetView;

// The sleep action: the standing figure closes its eyes, cross-fades into the sleeping pose,
// rests, and fades back, as SleepPose gives it for `time`. The standing figure's eyelid images
// are made once, at construction, from the idle view.
class SleepPetView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SleepPetView)

public:
    static constexpr int eyelidSteps = 20;

    // sleeper: the sleeping pose, mirrored for the y-up canvas (see PoseImages). standing: the
    // idle view whose pose(blink:) gives the eyelid frames; no reference to it is kept.
    SleepPetView(QImage sleeper, const IdlePetView &standing, QWidget *parent = nullptr);

    const QImage &sleeper() const { return m_sleeper; }
    // The standing figure with eyelid closure i / 20, i = 0…20; element 0 is the idle image.
    const std::vector<QImage> &eyelidFrames() const { return m_eyelidFrames; }

    // Seconds since the action started. Writing does not redraw.
    double time = 0;

    // Index into eyelidFrames for an eyelid closure: nearest, halves away from zero, 0…20.
    static int eyelidFrameIndex(double eyelids);

    // Paints the view onto a 200 × 200 point y-down device (the widget, or a test image).
    void draw(QPainter &painter) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_sleeper;
    std::vector<QImage> m_eyelidFrames;
};

} // namespace pimlo
