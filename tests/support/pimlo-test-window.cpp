// The application a desktop test puts under the pet: a plain blue maximized window that says on
// stdout when it has the keyboard focus; with -platform wayland, a native Wayland client.
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <cstdio>

struct TestWindow : QRasterWindow
{
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(0, 0, 9999, 9999, Qt::blue); }
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
