#pragma once

#include "platform/Uptime.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

namespace pimlo {

// Pimlo standing still: breathing, swaying and blinking on an 8.4 s loop. One loop is rendered
// into a frame cache at construction; afterwards each redraw is a single blit, driven by the
// view's own timer about 24 times a second.
class IdlePetView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IdlePetView)

public:
    static constexpr double loopLength = 8.4;
    static constexpr double breathPeriod = 4.2;
    static constexpr int framesPerLoop = 202;
    static constexpr double frameInterval = loopLength / framesPerLoop;
    static constexpr double blinkStart = 2.0;
    static constexpr double sliceHeight = 0.5;

    // image: the idle pose, mirrored for the y-up canvas (see PoseImages). With animate false
    // there is no cache and no timer, and every redraw renders the pose live.
    explicit IdlePetView(QImage image, bool animate = true, Clock clock = uptimeSeconds,
                         QWidget *parent = nullptr);

    const QImage &image() const { return m_image; }

    // When set, the view draws exactly this time, live, instead of the running clock and cache.
    std::optional<double> previewTime;

    static double blinkAmount(double t);
    static double breath(double t);
    static double sway(double t);
    // Index into the cache for a time since construction.
    static int frameIndex(double elapsed);

    // The standing figure with its eyelids closed by blink (0 open, 1 closed), in the same
    // mirrored storage as the pose images. For blink ≤ 0 or NaN it is the idle image itself.
    QImage pose(double blink) const;

    // Paints the view onto a 200 × 200 point y-down device (the widget, or a test image).
    void draw(QPainter &painter) const;

    const std::vector<QImage> &cachedFrames() const { return m_cachedFrames; }
    // Canvas rectangle (y-down, points) that each cached frame covers.
    QRectF cachedFrameRect() const { return m_cacheRect; }
    const QTimer *timer() const { return m_timer.get(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    // The timer pauses while the view is hidden, where its redraws would only wake the process.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Draws the whole animated figure for a time on a painter already in canvas coordinates.
    void drawPose(QPainter &canvas, double t) const;
    void buildCache();
    // Whether a redraw is a blit from the cache rather than a live drawing.
    bool drawsCachedFrame() const { return !m_cachedFrames.empty() && !previewTime; }

    QImage m_image;
    std::unique_ptr<QTimer> m_timer;
    Clock m_clock;
    double m_startTime;
    std::vector<QImage> m_cachedFrames;
    QRectF m_cacheRect;
};

} // namespace pimlo
