#include "pet/PetWindow.h"
#include "platform/ScreenGeometry.h"

#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

using namespace pimlo;

// Qt's own entry for synthetic input (QTest uses it); unlike QTest's helpers it keeps fractions.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow *window, const QPointF &local, const QPointF &global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);

class PetWindowTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mouse_data()
    {
        // P, M, R: press, move and release at points (y down) in the window.
        QTest::addColumn<QString>("input");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("menu"); // none, hidden or shown
        QTest::addColumn<QStringList>("requests");
        const auto row = [](const char *name, const char *input, const QStringList &requests,
                            const char *menu = "hidden", Qt::MouseButton button = Qt::LeftButton,
                            Qt::KeyboardModifiers modifiers = {}) {
            QTest::newRow(name) << input << button << modifiers << menu << requests;
        };
        const QStringList click{"began", "ended click"};
        row("click", "P100,100 R100,100", click);
        row("3.0 to the right", "P100,100 M103,100 R103,100", click);
        row("3.0 diagonally", "P100,100 M101.8,102.4 R101.8,102.4", click);
        // The first drag request comes with the very event that crossed the threshold, and asks
        // for the window to follow the pointer exactly (y up).
        row("3.01 to the right", "P100,100 M103.01,100 R103.01,100",
            {"began", "moved 3.01,0", "ended moved"});
        row("3.01 up", "P100,100 M100,96.99 R100,96.99", {"began", "moved 0,3.01", "ended moved"});
        row("back to the start is still a drag", "P50,150 M80,110 M50,150 R50,150",
            {"began", "moved 30,40", "moved 0,0", "ended moved"});
        row("stray move and release", "M120,120 R120,120", {});
        // A press whose release got lost ends as a click at the next press or a right press (Q).
        row("press again, release lost", "P100,100 P130,130 R130,130", click + click);
        row("menu while held", "P100,100 Q100,100 R100,100", click, "shown");
        row("right click, no menu", "P100,100 R100,100", {}, "none", Qt::RightButton);
        row("right click", "P100,100 R100,100", {}, "shown", Qt::RightButton);
        row("control click", "P100,100 R100,100", {}, "shown", Qt::LeftButton, Qt::ControlModifier);
    }

    void mouse()
    {
        QFETCH(QString, input);
        QFETCH(Qt::MouseButton, button);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, menu);
        PetWindow window({300, 200}, {200, 200});
        window.setContentView(new QWidget(&window));
        QMenu actions;
        actions.addAction(QStringLiteral("打招呼"));
        if (menu != "none")
            window.actionMenu = &actions;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const Point start = window.origin();
        const Rect screen = ScreenGeometry::visibleFrame(*QGuiApplication::primaryScreen());
        QStringList log;
        window.onDragBegan = [&] { log << "began"; };
        window.onDragMoved = [&](Point origin, const Rect &frame) {
            log << (frame == screen
                        ? QString("moved %1,%2").arg(origin.x - start.x).arg(origin.y - start.y)
                        : QString("moved off the screen"));
        };
        window.onDragEnded = [&](bool moved) { log << (moved ? "ended moved" : "ended click"); };

        int timestamp = 0;
        bool shown = false;
        for (const QString &event : input.split(' ')) {
            const QStringList xy = event.mid(1).split(',');
            const QPointF at(xy[0].toDouble(), xy[1].toDouble());
            const Qt::MouseButton pressed = event[0] == 'Q' ? Qt::RightButton : button;
            const QEvent::Type type = event[0] == 'M'   ? QEvent::MouseMove
                                      : event[0] == 'R' ? QEvent::MouseButtonRelease
                                                        : QEvent::MouseButtonPress;
            const QPointF global = QPointF(window.geometry().topLeft()) + at;
            // A release without a press (Qt drops those) goes straight to the window.
            QMouseEvent release(type, at, global, button, Qt::NoButton, modifiers);
            if (type == QEvent::MouseButtonRelease && !input.startsWith('P'))
                QCoreApplication::sendEvent(&window, &release);
            else
                qt_handleMouseEvent(window.windowHandle(), at, global,
                                    type == QEvent::MouseButtonRelease ? Qt::NoButton : pressed,
                                    type == QEvent::MouseMove ? Qt::NoButton : pressed, type,
                                    modifiers, timestamp += 10);
            QCoreApplication::processEvents();
            shown = shown || actions.isVisible();
        }
        QTEST(log, "requests");
        QCOMPARE(shown, menu == "shown");
    }
};

QTEST_MAIN(PetWindowTest)
#include "PetWindowTest.moc"
