#include "FakeResponder.h"
#include "chat/window/ChatComposer.h"
#include "chat/window/ChatHeader.h"
#include "chat/window/ChatWindowController.h"
#include "chat/window/ErrorBanner.h"
#include "chat/window/PimloChatView.h"

#include <QDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

using namespace pimlo;
using pimlo::test::FakeOutcome;
using pimlo::test::FakeResponder;

// The chat window and its view, offscreen, over a model with a fake key and responder.
class ChatWindowTest final : public QObject
{
    Q_OBJECT

    FakeResponder m_responder;
    std::optional<std::string> m_key = "sk-test";
    std::unique_ptr<ChatWindowController> m_controller;

    ChatModel &model() { return m_controller->model(); }
    PimloChatView *view() { return m_controller->window()->findChild<PimloChatView *>(); }
    ChatComposer *composer() { return view()->composer(); }
    QPlainTextEdit *editor() { return composer()->editor(); }

    void present()
    {
        m_controller->present();
        QVERIFY(QTest::qWaitForWindowActive(m_controller->window()));
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_responder.next({});
        m_key = "sk-test";
        auto model = std::make_unique<ChatModel>([this] { return m_key; }, m_responder.responder());
        m_controller = std::make_unique<ChatWindowController>(std::move(model));
    }
    void cleanup()
    {
        model().shutdown();
        m_controller.reset();
    }

    // What the send/stop buttons and the banner offer in each state of a turn.
    void controlsFollowTheTurn_data()
    {
        QTest::addColumn<QString>("draft");
        QTest::addColumn<QString>("turn"); // none, busy, failed
        QTest::addColumn<bool>("sendShown");
        QTest::addColumn<bool>("sendEnabled");
        QTest::addColumn<bool>("bannerShown");
        QTest::addColumn<bool>("retryEnabled");
        QTest::newRow("empty") << ""
                               << "none" << true << false << false << false;
        QTest::newRow("blank") << " \n\t"
                               << "none" << true << false << false << false;
        QTest::newRow("text") << "你好"
                              << "none" << true << true << false << false;
        QTest::newRow("busy") << "再说"
                              << "busy" << false << false << false << false;
        QTest::newRow("failed waits") << "再说"
                                      << "failed" << true << false << true << true;
    }
    void controlsFollowTheTurn()
    {
        QFETCH(QString, draft);
        QFETCH(QString, turn);
        present();
        if (turn != "none") {
            if (turn == "busy")
                m_responder.hold(true);
            else
                m_responder.next({FakeOutcome::Failure, "网络连接失败或超时"});
            model().setDraft(QStringLiteral("第一句"));
            model().send();
            if (turn == "failed")
                QTRY_VERIFY(model().error().has_value());
        }
        editor()->insertPlainText(draft);
        QCOMPARE(model().draft(), draft);
        QTEST(composer()->sendButton()->isVisible(), "sendShown");
        QTEST(composer()->sendButton()->isEnabled(), "sendEnabled");
        QCOMPARE(composer()->stopButton()->isVisible(), turn == "busy");
        QTEST(view()->banner()->isVisible(), "bannerShown");
        const QPushButton *retry = view()->banner()->retryButton();
        QTEST(retry->isVisible() && retry->isEnabled(), "retryEnabled");
        QCOMPARE(editor()->isEnabled(), true);
    }

    // Ctrl+Return sends only what the send button could send; Return is a new line.
    void keysInTheEditor()
    {
        present();
        QTest::keyClicks(editor(), QStringLiteral("  "));
        QTest::keyClick(editor(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(model().lines().isEmpty());
        QTest::keyClicks(editor(), QStringLiteral("a"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QTest::keyClicks(editor(), QStringLiteral("b"));
        QCOMPARE(model().draft(), QStringLiteral("  a\nb"));
        QTest::keyClick(editor(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(model().lines().size(), 1);
        QCOMPARE(model().lines().first().text(), QStringLiteral("a\nb"));
        QCOMPARE(editor()->toPlainText(), QString());
        QTRY_COMPARE(model().lines().size(), 2);
    }

    // The input has the focus unless the settings are up; a focus request then waits.
    void focusGoesToTheInputUnlessSettingsAreUp()
    {
        present();
        QTRY_VERIFY(editor()->hasFocus());
        model().setSettings(true);
        QTRY_VERIFY(view()->settingsDialog() && view()->settingsDialog()->isVisible());
        QTRY_VERIFY(!editor()->hasFocus());
        model().setInputFocusRequest(model().inputFocusRequest() + 1);
        QVERIFY(!editor()->hasFocus());
        view()->settingsDialog()->reject(); // Escape, or the window's close button
        QTRY_VERIFY(!view()->settingsDialog());
        QCOMPARE(model().settings(), false);
        QCOMPARE(m_controller->window()->focusWidget(), editor());
    }

    void newConversationAsksFirst_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("linesAfter");
        QTest::newRow("cancel") << "取消" << 2;
        QTest::newRow("clear") << "新对话" << 0;
    }
    void newConversationAsksFirst()
    {
        QFETCH(QString, button);
        present();
        model().setDraft(QStringLiteral("你好"));
        model().send();
        QTRY_COMPARE(model().lines().size(), 2);
        view()->header()->newConversationButton()->click();
        QMessageBox *box = view()->confirmation();
        QVERIFY(box);
        for (QAbstractButton *b : box->buttons())
            if (b->text() == button)
                b->click();
        QTEST(int(model().lines().size()), "linesAfter");
        QTRY_VERIFY(!view()->confirmation());
    }

    // Closing hides the same window and tells the app once; presenting brings it back.
    void closeHidesAndPresentRestores()
    {
        int closes = 0;
        m_controller->setOnClose([&] { ++closes; });
        const qint64 requests = model().inputFocusRequest();
        present();
        QWidget *window = m_controller->window();
        QCOMPARE(window->minimumSize(), QSize(480, 540));
        QVERIFY(m_controller->isOpen());
        QTRY_VERIFY(model().inputFocusRequest() > requests);
        model().setDraft(QStringLiteral("还没发"));
        window->close();
        QCOMPARE(closes, 1);
        QVERIFY(!m_controller->isOpen());
        QVERIFY(!window->isVisible());
        window->showMinimized();
        m_controller->present();
        QVERIFY(!window->isMinimized());
        QVERIFY(m_controller->isOpen());
        QCOMPARE(m_controller->window(), window);
        QCOMPARE(editor()->toPlainText(), QStringLiteral("还没发"));
        QCOMPARE(closes, 1);
    }
};

QTEST_MAIN(ChatWindowTest)
#include "ChatWindowTest.moc"
