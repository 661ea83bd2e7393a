#include "app/AppDelegate.h"
#include "StderrCapture.h"
#include "app/ChatModule.h"
#include "app/GreetingBubble.h"
#include "app/TrayBadge.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace pimlo;
using View = PetScene::View;

namespace {

// A launched delegate whose clock the test owns, on a 1440 × 875 screen, lacking one pose if
// asked.
struct App
{
    explicit App(QString missingPose = {}) : missing(std::move(missingPose)) {}

    QString missing;
    double now = 1000;
    AppDelegate delegate{
        {.loadImage =
             [this](const QString &name, qreal ratio) {
                 return name == missing ? QImage() : PoseImages::load(name, ratio);
             },
         .clock = [this] { return now; },
         .visibleFrame = [](const QScreen &) { return makeRect(0, 0, 1440, 875); }}};
    bool launched = delegate.applicationDidFinishLaunching();
    PetController *controller = delegate.controller();
};

} // namespace

class AppDelegateTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Without one of the poses the launch ends and, for the idle one, says so. With all of them the
    // window stands at the start origin, shows what the controller decides and reports clicks to
    // it. Termination hides it, and skips what launch never made.
    void launchAndTermination_data()
    {
        QTest::addColumn<QString>("pose"); // the one missing
        QTest::addColumn<QStringList>("log");
        QTest::newRow("all there") << "" << QStringList();
        QTest::newRow("idle") << "pimlo-idle" << QStringList{"Pimlo: missing image or screen"};
        for (const char *pose : {"pimlo-walk-left", "pimlo-happy", "pimlo-sleep"})
            QTest::newRow(pose) << pose << QStringList();
    }
    void launchAndTermination()
    {
        QFETCH(QString, pose);
        StderrCapture capture;
        App app(pose);
        QCOMPARE(app.launched, pose.isEmpty());
        PetStage *stage = app.delegate.stage();
        PetWindow *window = app.launched ? stage->window() : nullptr;
        if (window) {
            QVERIFY(window->isVisible() && window->contentView() == stage->idleView());
            QCOMPARE(window->origin(), (Point{1200, 40}));
            // Resting, the motion timer sleeps until a changed screen wakes it.
            QVERIFY(app.delegate.movementTimer()->isSleeping());
            QScreen *screen = QGuiApplication::primaryScreen();
            Q_EMIT screen->availableGeometryChanged(screen->availableGeometry());
            QVERIFY(!app.delegate.movementTimer()->isSleeping());
            for (; app.now < 1030; app.now += 1.0 / 30) // after the launch nap and 20 s of rest
                app.controller->updateMotion();
            QCOMPARE(window->contentView(), stage->walkingView());
            QVERIFY(!stage->idleView()->timer()->isActive()); // hidden, it sleeps too
            QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(100, 100));
            QCOMPARE(window->contentView(), stage->happyView());
        }
        app.delegate.applicationWillTerminate();
        QVERIFY(!window || !window->isVisible());
        app.delegate.applicationWillTerminate(); // a second call finds nothing left to do
        QTEST(capture.lines("Pimlo:"), "log");
    }

    // From the main menu's shortcut and the pet menu's last item alike.
    void quitGoesThroughTheEventLoop()
    {
        App app;
        QSignalSpy aboutToQuit(qApp, &QCoreApplication::aboutToQuit);
        for (QAction *quit :
             {app.delegate.mainMenu()->quitAction(), app.delegate.petMenu()->actions().last()}) {
            QTimer::singleShot(0, quit, &QAction::trigger);
            QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(2); }); // never quit
            QCOMPARE(QApplication::exec(), 0);
        }
        QCOMPARE(aboutToQuit.count(), 2);
    }

    // An open menu pauses the pet until it closes, with a command chosen (item) or none; the
    // commands run after it has closed, also when a tray host draws the tray's menu itself and
    // never reports the close.
    void menus_data()
    {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<int>("item");
        QTest::addColumn<View>("view");
        QTest::newRow("打招呼") << false << 0 << View::idle;
        QTest::newRow("开心") << true << 1 << View::happy;
        QTest::newRow("睡觉") << false << 2 << View::sleep;
        QTest::newRow("dismissed") << false << -1 << View::idle;
    }
    void menus()
    {
        QFETCH(bool, tray);
        QFETCH(int, item);
        App app;
        QMenu *menu = tray ? app.delegate.trayMenu() : app.delegate.petMenu();
        tray ? Q_EMIT menu->aboutToShow() : menu->popup(QPoint(10, 10));
        QCOMPARE(app.controller->menuPauseStarted(), std::optional(app.now));
        if (!tray)
            menu->hide();
        if (item >= 0)
            menu->actions().at(item)->trigger();
        QVERIFY(!app.controller->menuPauseStarted());
        QVERIFY((app.controller->scene() == PetScene{.origin = {1200, 40}, .greeting = {}}));
        QCoreApplication::processEvents();
        QTEST(app.controller->scene().view, "view");
        if (item == 0) { // the card sits where the controller put it, the shadow around it
            GreetingBubble *bubble = app.delegate.stage()->greetingBubble();
            const QPoint topLeft = ScreenGeometry::windowTopLeft({1245 - 10, 234 - 10}, 66);
            QVERIFY(bubble->isVisible() && bubble->geometry() == QRect(topLeft, QSize(130, 66)));
            // The pet's views stay drawn into the pet's own window: one with a window of its
            // own would end a press's pointer grab when it hides as an action ends.
            for (const QWidget *view : app.delegate.stage()->window()->findChildren<QWidget *>())
                QVERIFY(!view->internalWinId());
            // At the screen's top the window stops there and the card moves up inside it.
            const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
            bubble->showAt({screen.x() + 100.0, ScreenGeometry::flipHeight() - screen.y() - 46});
            const QImage card = bubble->grab().toImage();
            QVERIFY(bubble->y() == screen.y() && qAlpha(card.pixel(65, 1)) > 200);
        }
    }

    // The executable lives in <root>/bin; the module (or a file of its name that is none) is put
    // at place under root.
    void chatModule_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<bool>("isModule");
        QTest::addColumn<bool>("loads");
        QTest::newRow("installed") << PIMLO_INSTALLED_MODULE_DIR << true << true;
        QTest::newRow("build tree") << PIMLO_INSTALLED_BINDIR << true << true;
        QTest::newRow("elsewhere") << "lib" << true << false;
        QTest::newRow("not a module") << PIMLO_INSTALLED_MODULE_DIR << false << false;
    }
    void chatModule()
    {
        QFETCH(QString, place);
        QFETCH(bool, isModule);
        QFETCH(bool, loads);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(place));
        const QString path = root.filePath(place + '/' + ChatModule::fileName);
        QFile file(path);
        QVERIFY(isModule ? QFile::link(PIMLO_CHAT_MODULE, path)
                         : file.open(QIODevice::WriteOnly) && file.write("ELF") == 3);
        QString error;
        const auto *factory =
            ChatModule::load(ChatModule::searchPath(root.filePath(PIMLO_INSTALLED_BINDIR)), error);
        QCOMPARE(factory != nullptr, loads);
        QCOMPARE(error.isEmpty(), loads);
    }

    // Without the module the pet goes on: one log line, and each request says so in a box.
    void chatModuleMissing()
    {
        StderrCapture capture;
        App app;
        app.delegate.petMenu()->actions().at(3)->hover(); // "聊天" highlighted: loads it
        QCOMPARE(capture.lines("Pimlo: the chat module").size(), 1);
        for (int request = 0; request < 2; ++request)
            app.delegate.showChat();
        QVERIFY(!app.delegate.chat() && app.controller->scene().view == View::idle);
        QCOMPARE(capture.lines("Pimlo: the chat module").size(), 1);
        int boxes = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(widget)) {
                boxes += box->isVisible() && box->text().startsWith(u"聊天窗口打不开");
                delete box;
            }
        QCOMPARE(boxes, 2);
    }

    // Drawn at the pixels asked for, never scaled: a white glyph on a green badge, corners clear.
    void trayBadge_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<qreal>("ratio");
        for (int points : {16, 48})
            for (qreal ratio : {1.0, 2.0})
                QTest::addRow("%d@%gx", points, ratio) << points << ratio;
    }
    void trayBadge()
    {
        QFETCH(int, points);
        QFETCH(qreal, ratio);
        const QImage image = QIcon(new TrayBadge)
                                 .pixmap(QSize(points, points), ratio)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        const int side = int(points * ratio);
        QCOMPARE(image.size(), QSize(side, side));
        const auto *pixels = reinterpret_cast<const QRgb *>(image.constBits());
        const auto glyph = std::count(pixels, pixels + side * side, qRgb(255, 255, 255));
        QVERIFY(glyph > side * side / 12 && qAlpha(image.pixel(side / 2, side / 8)) == 255);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }
};

QTEST_MAIN(AppDelegateTest)
#include "AppDelegateTest.moc"
