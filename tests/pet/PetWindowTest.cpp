#include "pet/PetWindow.h"
#include "platform/ScreenGeometry.h"

#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

using namespace pimlo;

namespace {

// What the window asked for, in order.
struct Requests
{
    QStringList log;
    std::vector<Point> origins;
    std::vector<Rect> frames;
};

void wire(PetWindow &window, Requests &requests)
{
    window.onDragBegan = [&] { requests.log << "began"; };
    window.onDragMoved = [&](Point origin, const Rect &frame) {
        requests.log << "moved";
        requests.origins.push_back(origin);
        requests.frames.push_back(frame);
    };
    window.onDragEnded = [&](bool moved) {
        requests.log << (moved ? "ended moved" : "ended click");
    };
}

} // namespace

// Qt's own entry for synthetic input (QTest uses it); unlike QTest's helpers it keeps fractions.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow *window, const QPointF &local, const QPointF &global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);

namespace {

// A mouse event at a fractional offset (points, y down) from the window's top-left corner.
void send(PetWindow &window, QEvent::Type type, QPointF offset, Qt::MouseButton button,
          Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    static int timestamp = 0;
    const QPointF global = QPointF(window.geometry().topLeft()) + offset;
    qt_handleMouseEvent(window.windowHandle(), offset, global, buttons, button, type, modifiers,
                        timestamp += 10);
    QCoreApplication::processEvents();
}

} // namespace

class PetWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_window = std::make_unique<PetWindow>(Point{300, 200}, Size{200, 200});
        m_content = new QWidget(m_window.get());
        m_window->setContentView(m_content);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_requests = {};
        wire(*m_window, m_requests);
    }
    void cleanup() { m_window.reset(); }

    void placesItselfByItsYUpOrigin()
    {
        const Point origin = m_window->origin();
        QCOMPARE(origin.x, 300.0);
        QCOMPARE(origin.y, 200.0);
        m_window->setOrigin({320.5, 180});
        QCOMPARE(m_window->origin().y, 180.0);
    }

    void clickWithoutMoving()
    {
        QTest::mousePress(m_window.get(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseRelease(m_window.get(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(m_requests.log, QStringList({"began", "ended click"}));
    }

    void dragThreshold_data()
    {
        QTest::addColumn<QPointF>("step");
        QTest::addColumn<bool>("moves");
        QTest::newRow("3.0 to the right") << QPointF(3.0, 0) << false;
        QTest::newRow("3.0 diagonally") << QPointF(1.8, 2.4) << false;
        QTest::newRow("3.01 to the right") << QPointF(3.01, 0) << true;
        QTest::newRow("3.01 up") << QPointF(0, -3.01) << true;
    }
    void dragThreshold()
    {
        QFETCH(QPointF, step);
        QFETCH(bool, moves);
        const QPointF start(100, 100);
        send(*m_window, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        send(*m_window, QEvent::MouseMove, start + step, Qt::NoButton, Qt::LeftButton);
        // The first drag request comes with the very event that crossed the threshold.
        QCOMPARE(m_requests.log.contains("moved"), moves);
        send(*m_window, QEvent::MouseButtonRelease, start + step, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(m_requests.log.last(), moves ? QString("ended moved") : QString("ended click"));
    }

    void dragReportsOriginAndScreen()
    {
        const Point before = m_window->origin();
        QTest::mousePress(m_window.get(), Qt::LeftButton, {}, QPoint(50, 150));
        QTest::mouseMove(m_window.get(), QPoint(80, 110));
        QCOMPARE(m_requests.log, QStringList({"began", "moved"}));
        // The pointer went 30 right and 40 up (y up): the window is asked to follow exactly.
        QCOMPARE(m_requests.origins.at(0).x, before.x + 30);
        QCOMPARE(m_requests.origins.at(0).y, before.y + 40);
        QCOMPARE(m_requests.frames.at(0),
                 ScreenGeometry::visibleFrame(*QGuiApplication::primaryScreen()));
        QTest::mouseRelease(m_window.get(), Qt::LeftButton, {}, QPoint(80, 110));
        QCOMPARE(m_requests.log.last(), QString("ended moved"));
    }

    void returningToTheStartIsStillADrag()
    {
        QTest::mousePress(m_window.get(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(m_window.get(), QPoint(110, 100));
        QTest::mouseMove(m_window.get(), QPoint(100, 100));
        QTest::mouseRelease(m_window.get(), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(m_requests.log, QStringList({"began", "moved", "moved", "ended moved"}));
    }

    void strayEventsAreIgnored()
    {
        // A move or release without a press on this window, and a right-click with no menu.
        send(*m_window, QEvent::MouseMove, {120, 120}, Qt::NoButton, Qt::LeftButton);
        send(*m_window, QEvent::MouseButtonRelease, {120, 120}, Qt::LeftButton, Qt::NoButton);
        QTest::mouseClick(m_window.get(), Qt::RightButton, {}, QPoint(100, 100));
        QVERIFY(m_requests.log.isEmpty());
    }

    void menuClicks_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("right click") << Qt::RightButton << Qt::KeyboardModifiers();
        QTest::newRow("control click")
            << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier);
    }
    void menuClicks()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QMenu menu;
        menu.addAction(QStringLiteral("打招呼"));
        m_window->actionMenu = &menu;
        QTest::mousePress(m_window.get(), button, modifiers, QPoint(100, 100));
        QTRY_VERIFY(menu.isVisible());
        QTest::mouseRelease(m_window.get(), button, modifiers, QPoint(100, 100));
        QVERIFY(m_requests.log.isEmpty()); // no press, no click
        menu.hide();
    }

private:
    std::unique_ptr<PetWindow> m_window;
    QWidget *m_content = nullptr;
    Requests m_requests;
};

QTEST_MAIN(PetWindowTest)
#include "PetWindowTest.moc"
