// The application a desktop test puts under the pet: a plain blue window, maximized,
// and says on stdout when it has the keyboard focus. With -platform wayland it is a native
// Wayland client, which no X tool can see.
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <cstdio>

class TestWindow : public QRasterWindow
{
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::blue);
    }
};

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestWindow window;
    window.setTitle(QStringLiteral("pimlo-test-window"));
    QObject::connect(&window, &QWindow::activeChanged, [&window] {
        std::puts(window.isActive() ? "active" : "inactive");
        std::fflush(stdout);
    });
    window.showMaximized();
    return app.exec();
}
