#include "FakeResponder.h"

#include "chat/client/ChatFailure.h"
#include "chat/window/BusySpinner.h"
#include "chat/window/ChatBubble.h"
#include "chat/window/ChatComposer.h"
#include "chat/window/ChatHeader.h"
#include "chat/window/ChatMessageList.h"
#include "chat/window/ChatWindowController.h"
#include "chat/window/CredentialSettingsDialog.h"
#include "chat/window/ErrorBanner.h"
#include "chat/window/PimloChatView.h"
#include "chat/window/TypingRow.h"
#include "chat/window/WelcomeBlock.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QToolButton>
#include <QtTest>

using namespace pimlo;

const QString longLine = QStringLiteral("一句话。").repeated(20);
const QString bubbleText = QStringLiteral("你好 Pimlo\n第二行 😀 end");
const QString noSpaces = "密钥不能含空格或换行，请检查粘贴内容。";

// The chat window's parts, offscreen, over a model with a fake key and responder.
class ChatWindowTest final : public QObject
{
    Q_OBJECT

    std::optional<test::FakeResponder> m_fake;
    std::optional<std::string> m_stored; // the key store's one slot
    QString m_refusal;                   // thrown by the key store instead of writing, when set
    std::unique_ptr<ChatWindowController> m_controller;
    std::unique_ptr<ChatMessageList> m_list; // a list of its own over the same model
    QPropertyAnimation *m_scroll = nullptr;  // its scrolling
    int m_calls = 0;

    ChatModel &model() { return m_controller->model(); }
    PimloChatView *view() { return m_controller->window()->findChild<PimloChatView *>(); }
    ChatComposer *composer() { return view()->composer(); }
    QPlainTextEdit *editor() { return composer()->editor(); }
    bool scrolling() { return m_scroll->state() == QAbstractAnimation::Running; }
    CredentialSettings::Store store()
    {
        auto write = [this](std::optional<std::string> key) {
            if (!m_refusal.isEmpty())
                throw ChatFailure(m_refusal.toStdString());
            m_stored = std::move(key);
        };
        return {[write](const std::string &key) { write(key); }, [write] { write({}); }};
    }
    // p presents the window; w shows the list and h hides it; s sends and holds the reply,
    // a answers it, f fails it, r retries and holds, t is a whole turn answered at once;
    // x abandons, n starts anew, d types.
    void run(const QString &script, const QString &text = QStringLiteral("你好"))
    {
        for (const QChar op : script) {
            if (op == u'p') {
                m_controller->present();
                QVERIFY(QTest::qWaitForWindowActive(m_controller->window()));
            } else if (op == u'w') {
                m_list->show();
                QVERIFY(QTest::qWaitForWindowActive(m_list.get()));
                QCoreApplication::processEvents(); // what the showing queued
            } else if (op == u's' || op == u't' || op == u'r') {
                op == u't' ? m_fake->next({}) : m_fake->hold(true);
                model().setDraft(text);
                op == u'r' ? model().retry() : model().send();
                QVERIFY(m_fake->waitForCalls(++m_calls));
            } else if (op == u'a' || op == u'f') {
                const auto kind =
                    op == u'a' ? test::FakeOutcome::Answer : test::FakeOutcome::Failure;
                m_fake->release(m_calls - 1, {kind, text.toStdString()});
            } else {
                op == u'h'   ? m_list->hide()
                : op == u'x' ? model().abandon()
                : op == u'n' ? model().newConversation()
                             : model().setDraft(QStringLiteral("在打字"));
            }
            if (op == u't' || op == u'a' || op == u'f')
                QVERIFY(QTest::qWaitFor([this] { return !model().busy(); }));
        }
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_fake.emplace();
        m_stored = "sk-old";
        m_refusal.clear();
        m_calls = 0;
        QSettings().remove("deepseekModel");
        m_controller = std::make_unique<ChatWindowController>(std::make_unique<ChatModel>(
            [] { return std::optional<std::string>("sk-test"); }, m_fake->responder()));
        model().setSelectedModel("deepseek-v4-pro"); // chosen before any key form opens
        m_list = std::make_unique<ChatMessageList>(model());
        m_list->resize(620, 150);
        m_scroll = m_list->findChild<QPropertyAnimation *>();
    }
    void cleanup()
    {
        m_list.reset();
        model().shutdown();
        m_controller.reset();
    }

    // After a change (at |): one bubble per line, in order and below one another, each keeping
    // its widget; the typing row below them while a reply is on its way; and whether the list
    // goes to the bottom from the top, animated for a new line count, at once for a busy change.
    void rowsAndScrolling_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("bubbles");
        QTest::addColumn<bool>("typing");
        QTest::addColumn<bool>("atBottom");
        QTest::addColumn<bool>("animated");
        QTest::newRow("first display, empty") << "|w" << 0 << false << false << false;
        QTest::newRow("second reply under way") << "wsa|s" << 3 << true << true << true;
        QTest::newRow("answered") << "wts|a" << 4 << false << true << true;
        QTest::newRow("reply fails") << "wts|f" << 3 << false << true << false;
        QTest::newRow("retrying") << "wtsf|r" << 3 << true << true << false;
        QTest::newRow("abandoned") << "wtsf|x" << 2 << false << true << true;
        QTest::newRow("cleared while replying") << "wsas|n" << 0 << false << true << true;
        QTest::newRow("typing") << "wt|d" << 2 << false << false << false;
        QTest::newRow("shown again") << "wt|htw" << 4 << false << true << false;
    }
    void rowsAndScrolling()
    {
        QFETCH(QString, script);
        QFETCH(int, bubbles);
        QFETCH(bool, typing);
        QFETCH(bool, atBottom);
        run(script.section(u'|', 0, 0), longLine);
        m_scroll->stop();
        m_list->verticalScrollBar()->setValue(0);
        QHash<QUuid, ChatBubble *> old;
        for (ChatBubble *bubble : m_list->bubbles())
            old.insert(bubble->id(), bubble);
        run(script.section(u'|', 1), longLine);
        const auto &rows = m_list->bubbles();
        QCOMPARE(m_list->findChildren<ChatBubble *>().size(), bubbles); // removed ones deleted
        QCOMPARE(int(rows.size()), bubbles);
        for (int i = 0; i < bubbles; ++i) {
            QCOMPARE(rows[i]->id(), model().lines()[i].id());
            QCOMPARE(old.value(rows[i]->id(), rows[i]), rows[i]);
            QVERIFY(i == 0 || rows[i]->y() > rows[i - 1]->geometry().bottom());
        }
        QCOMPARE(m_list->welcomeBlock()->isVisible(), bubbles == 0);
        QCOMPARE(m_list->typingRow()->isVisible(), typing);
        QVERIFY(!typing || !bubbles || m_list->typingRow()->y() > rows.back()->geometry().bottom());
        QTEST(scrolling(), "animated");
        const int bottom = m_list->bottomScrollValue();
        QVERIFY(atBottom || bottom > 0);
        QCOMPARE(scrolling() ? m_scroll->endValue().toInt() : m_list->verticalScrollBar()->value(),
                 atBottom ? bottom : 0);
        QCOMPARE(m_list->typingRow()->spinner()->isSpinning(), typing);
        m_list->hide(); // a hidden window spends nothing on the spinner
        QVERIFY(!m_list->typingRow()->spinner()->isSpinning());
    }

    void bubbleGeometry_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wraps");
        const QString longText = QString("今天天气很好，一起去散步吧。😀 ").repeated(10);
        QTest::newRow("short") << 620 << QStringLiteral("嗯") << false;
        QTest::newRow("long, wide window") << 900 << longText << true;
        QTest::newRow("long, narrowest window") << 480 << longText << true;
        QTest::newRow("one unbreakable word") << 620 << "看：" + QString(150, u'a') << true;
    }
    // The user's bubble on the right and Pimlo's on the left, each leaving free space beside it
    // and no wider than the maximum; long text wraps to fill the room, short text not at all.
    void bubbleGeometry()
    {
        QFETCH(int, width);
        QFETCH(QString, text);
        QFETCH(bool, wraps);
        m_list->resize(width, 150);
        run(QStringLiteral("wsa"), text); // the user's line and the same text from Pimlo
        const int left = ChatMessageList::padding;
        const int right = m_list->viewport()->width() - left;
        const int room = qMin(ChatMessageList::maxBubbleWidth, right - left - 65);
        for (ChatBubble *bubble : m_list->bubbles()) {
            const QRect r = bubble->geometry();
            QVERIFY(r.width() <= ChatMessageList::maxBubbleWidth);
            QCOMPARE(bubble->isUser() ? r.right() + 1 : r.left(), bubble->isUser() ? right : left);
            QVERIFY((bubble->isUser() ? r.left() - left : right - r.right() - 1) >= 65);
            QCOMPARE(r.height() > 2 * ChatBubble::paddingY + 3 * bubble->fontMetrics().height(),
                     wraps);
            QCOMPARE(r.width() > room - 30, wraps); // a wrapped bubble fills its room
        }
    }

    // After a click the keyboard selects in a bubble and copies the selection.
    void selectAndCopy_data()
    {
        QTest::addColumn<QList<QKeySequence>>("keys");
        QTest::addColumn<QString>("selected");
        using K = QKeySequence;
        QTest::newRow("all") << QList<K>{K::SelectAll} << bubbleText;
        QTest::newRow("to line end") << QList<K>{K::SelectEndOfLine} << "你好 Pimlo";
        QTest::newRow("a line down") << QList<K>{K::SelectNextLine} << "你好 Pimlo\n";
        QTest::newRow("back over an emoji")
            << QList<K>{K::MoveToEndOfDocument} + QList<K>(5, K::SelectPreviousChar) << "😀 end";
    }
    void selectAndCopy()
    {
        QFETCH(QList<QKeySequence>, keys);
        run(QStringLiteral("wsa"), bubbleText);
        ChatBubble *bubble = m_list->bubbles().back();
        QTest::mouseClick(bubble, Qt::LeftButton, {}, QPoint(ChatBubble::paddingX, 15));
        QVERIFY(bubble->hasFocus());
        for (const QKeySequence &key : keys)
            QTest::keySequence(bubble, key);
        QTEST(bubble->selectedText(), "selected");
        QTest::keySequence(bubble, QKeySequence::Copy);
        QTEST(QGuiApplication::clipboard()->text(), "selected");
    }

    // What the send/stop buttons and the banner offer in each state of a turn; Return is a new
    // line, and Ctrl+Return sends only what the send button could send.
    void controlsFollowTheTurn_data()
    {
        QTest::addColumn<QString>("turn"); // none, on its way, failed
        QTest::addColumn<bool>("sendEnabled");
        QTest::addColumn<QString>("draft");
        QTest::newRow("blank") << "" << false << "  ";
        QTest::newRow("text") << "" << true << "你好";
        QTest::newRow("on its way") << "s" << false << "再说";
        QTest::newRow("failed waits") << "sf" << false << "再说";
    }
    void controlsFollowTheTurn()
    {
        QFETCH(QString, turn);
        QFETCH(bool, sendEnabled);
        QFETCH(QString, draft);
        run("p" + turn);
        editor()->insertPlainText(draft);
        QTest::keyClick(editor(), Qt::Key_Return);
        QCOMPARE(model().draft(), draft + "\n");
        QCOMPARE(composer()->sendButton()->isEnabled(), sendEnabled);
        QCOMPARE(composer()->sendButton()->isVisible(), turn != "s");
        QCOMPARE(composer()->stopButton()->isVisible(), turn == "s");
        QCOMPARE(view()->banner()->isVisible(), turn == "sf");
        QVERIFY(turn != "sf" || view()->banner()->retryButton()->isEnabled());
        QTest::keyClick(editor(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(int(model().lines().size()), int(!turn.isEmpty()) + sendEnabled);
        QCOMPARE(editor()->toPlainText(), sendEnabled ? QString() : draft + "\n");
    }

    // A click on a button, or Space on one reached by Tab that then hides or turns itself off,
    // leaves the focus in the input; "新对话" asks first ("取消" keeps the lines), and a focus
    // request waits while the key settings are up.
    void focusStaysInTheInput_data()
    {
        QTest::addColumn<QString>("turn"); // the turn so far and the button pressed
        QTest::addColumn<bool>("keys");
        const char *rows[] = {"d 发送", "s 停止", "sf 重试", "sf 放弃本次", "t 新对话", " API Key"};
        for (const bool keys : {false, true})
            for (int i = 0; i < (keys ? 4 : 6); ++i)
                QTest::addRow("%s%s", rows[i], keys ? " by keys" : "") << QString(rows[i]) << keys;
    }
    void focusStaysInTheInput()
    {
        QFETCH(QString, turn);
        QFETCH(bool, keys);
        const QString button = turn.section(u' ', 1);
        run("p" + (turn = turn.section(u' ', 0, 0)));
        QAbstractButton *target = nullptr;
        for (QAbstractButton *b : view()->findChildren<QAbstractButton *>())
            if (b->isVisible() && QStringList{b->text(), b->accessibleName()}.contains(button))
                target = b;
        for (int tab = 0; keys && target && tab < 8 && QApplication::focusWidget() != target; ++tab)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(target && (QApplication::focusWidget() == target) == keys);
        keys ? QTest::keyClick(target, Qt::Key_Space) : QTest::mouseClick(target, Qt::LeftButton);
        QVERIFY(keys || m_controller->window()->focusWidget() == editor()); // never left it
        QCOMPARE(!view()->confirmation(), button != "新对话");
        QCOMPARE(!view()->settingsDialog(), button != "API Key");
        if (view()->confirmation())
            view()->confirmation()->escapeButton()->click();
        if (QDialog *settings = view()->settingsDialog()) {
            model().setInputFocusRequest(model().inputFocusRequest() + 1);
            QTRY_VERIFY(!editor()->hasFocus());
            settings->reject(); // Escape, or the window's close button
        }
        QTRY_COMPARE(m_controller->window()->focusWidget(), editor());
        QCOMPARE(int(model().lines().size()),
                 turn == "t" ? 2 : int(!turn.isEmpty() && button != "放弃本次"));
    }

    // Closing hides the window and tells the app; presenting brings it back unminimised
    // and asks for the input's focus.
    void closeHidesAndPresentRestores()
    {
        int closes = 0;
        m_controller->setOnClose([&] { ++closes; });
        run(QStringLiteral("p"));
        QWidget *window = m_controller->window();
        window->close();
        QVERIFY(closes == 1 && !m_controller->isOpen() && !window->isVisible());
        window->showMinimized();
        const qint64 requests = model().inputFocusRequest();
        m_controller->present();
        QVERIFY(!window->isMinimized() && m_controller->isOpen());
        QTRY_VERIFY(model().inputFocusRequest() > requests);
    }

    void writeKey_data()
    {
        QTest::addColumn<QString>("action"); // save or delete, while a reply is on its way or not,
        QTest::addColumn<QString>("typed");  // and the key store may refuse with the notice
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("stored");
        const auto row = [](const char *name, const char *action, const QString &typed,
                            const QString &notice, const char *stored) {
            QTest::newRow(name) << QString(action) << typed << notice << QString(stored);
        };
        row("blanks", "save", " \n\t\u3000", "请输入 API Key。", "sk-old");
        row("space inside", "save", "sk-ab cd", noSpaces, "sk-old");
        row("zero-width space inside", "save", "sk-ab\u200bcd", noSpaces, "sk-old");
        row("blanks around", "save", "\u00a0 sk-new\u3000\r\n",
            "已保存到钥匙串。可关闭此窗口，发送消息或重试。", "sk-new");
        row("store refuses", "save refused", "sk-new", "钥匙串保存失败，原密钥未更新。", "sk-old");
        row("save while busy", "save busy", "sk-new", "", "sk-old");
        row("delete", "delete", "sk-new", "已删除此电脑上的密钥。", "");
        row("delete refused", "delete refused", "sk-new", "无法删除钥匙串中的密钥。", "sk-old");
        row("delete while busy", "delete busy", "sk-new", "", "sk-old");
    }
    // The notice, the stored key, the field, and the model choice written with a saved key.
    void writeKey()
    {
        QFETCH(QString, action);
        QFETCH(QString, typed);
        QFETCH(QString, notice);
        QFETCH(QString, stored);
        CredentialSettings form(model(), store());
        form.appeared();
        run(action.endsWith("busy") ? "s" : "");
        m_refusal = action.endsWith("refused") ? notice : QString();
        form.setKey(typed);
        action.startsWith("delete") ? form.remove() : form.save();
        const bool worked = stored != "sk-old";
        QCOMPARE(form.notice(), notice);
        QCOMPARE(form.saved(), worked);
        QCOMPARE(QString::fromStdString(m_stored.value_or("")), stored);
        QCOMPARE(form.key(), worked ? QString() : typed);
        const QVariant written = stored == "sk-new" ? QVariant("deepseek-v4-pro") : QVariant();
        QCOMPARE(QSettings().value("deepseekModel"), written);
    }

    // In the key dialog the field has the focus, Return does not save, the picker's choice is
    // written at once, a refusal shows in red, and Escape closes it.
    void keyDialog()
    {
        const ChatStyle style = ChatStyle::make(false, QApplication::palette(), 13);
        CredentialSettingsDialog dialog(model(), style, nullptr, store());
        auto *field = dialog.findChild<QLineEdit *>();
        model().setSelectedModel("deepseek-flash");
        model().setSettings(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog) && field->hasFocus());
        QTest::keyClicks(field, "sk-ty ped\r"); // Return
        QCOMPARE(dialog.settings().notice(), QString());
        QTest::keyClick(dialog.findChild<QComboBox *>(), Qt::Key_Down);
        QCOMPARE(QSettings().value("deepseekModel"), QVariant("deepseek-v4-pro"));
        dialog.settings().save();
        auto *notice = dialog.findChild<QLabel *>("notice");
        QCOMPARE(notice->text(), noSpaces);
        QCOMPARE(notice->palette().color(QPalette::WindowText), style.errorText);
        QCOMPARE(field->text(), "sk-ty ped");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible() && !model().settings());
    }
};

QTEST_MAIN(ChatWindowTest)
#include "ChatWindowTest.moc"
