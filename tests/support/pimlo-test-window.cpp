// The application a desktop test puts under the pet: a plain blue maximized window that says on
// stdout when it has the keyboard focus; with -platform wayland, a native Wayland client.
#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("pimlo-test-window"));
    window.setStyleSheet(QStringLiteral("background: blue"));
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, [](QWindow *focus) {
        std::puts(focus ? "active" : "inactive");
        std::fflush(stdout);
    });
    window.showMaximized();
    return app.exec();
}
