// The floor of the resting animation: a minimal transparent Qt window that blits one premultiplied
// 200 × 200 image per tick, and optionally moves itself (the walking floor) or runs an idle 30 Hz
// timer beside it.
// Usage: pimlo-bench-floor <interval ms> [move | tick]

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

class FloorWindow final : public QWidget
{
public:
    explicit FloorWindow(QImage image)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
          m_image(std::move(image))
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedSize(200, 200);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawImage(QPointF(0, 0), m_image);
    }

private:
    QImage m_image;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int interval = argc > 1 ? std::atoi(argv[1]) : 42;
    const bool move = argc > 2 && QByteArray(argv[2]) == "move";
    const bool idleTick = argc > 2 && QByteArray(argv[2]) == "tick";

    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(224, 227, 227));
        painter.drawEllipse(QRectF(45, 20, 110, 160));
    }
    FloorWindow window(image);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint home(screen.right() - 240, screen.bottom() - 240);
    window.move(home);
    window.show();
    std::fprintf(stderr, "floor ready\n");

    int step = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &window, [&] {
        if (move)
            window.move(home.x() - (++step % 120), home.y());
        window.update();
    });
    timer.start(interval);
    // A second timer at 30 Hz that does nothing: the cost of a motion tick while resting.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    if (idleTick)
        tick.start(1000 / 30);
    return QApplication::exec();
}
