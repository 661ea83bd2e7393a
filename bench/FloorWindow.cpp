// The floor of the resting animation: a minimal transparent Qt window that blits one premultiplied
// 200 × 200 image per tick, and optionally moves itself (the walking floor), runs an idle 30 Hz
// timer beside it, or blits the next of 202 different 116 × 196 images each time, as the idle
// view's frame cache does.
// Usage: pimlo-bench-floor <interval ms> [move | tick | frames]

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

class FloorWindow final : public QWidget
{
public:
    explicit FloorWindow(std::vector<QImage> images)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
          m_images(std::move(images))
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedSize(200, 200);
    }

    // The area the next image covers.
    QRect next()
    {
        m_index = (m_index + 1) % m_images.size();
        return QRect(QPoint(200 - m_images[m_index].width(), 0) / 2, m_images[m_index].size());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QImage &image = m_images[m_index];
        painter.drawImage(QPointF((200 - image.width()) / 2, 0), image);
    }

private:
    std::vector<QImage> m_images;
    size_t m_index = 0;
};

QImage figure(QSize size, double lift)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(224, 227, 227));
    painter.drawEllipse(QRectF(0, lift, size.width(), size.height() - 4));
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int interval = argc > 1 ? std::atoi(argv[1]) : 42;
    const bool move = argc > 2 && QByteArray(argv[2]) == "move";
    const bool idleTick = argc > 2 && QByteArray(argv[2]) == "tick";
    const bool frames = argc > 2 && QByteArray(argv[2]) == "frames";

    std::vector<QImage> images;
    if (frames) {
        for (int k = 0; k < 202; ++k)
            images.push_back(figure({116, 196}, 2 + 2 * std::sin(k * 6.283 / 101)));
    } else {
        images.push_back(QImage(200, 200, QImage::Format_ARGB32_Premultiplied));
        images[0].fill(Qt::transparent);
        QPainter painter(&images[0]);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(224, 227, 227));
        painter.drawEllipse(QRectF(45, 20, 110, 160));
    }
    FloorWindow window(std::move(images));
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
        if (frames)
            window.update(window.next());
        else
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
