#include "FakeResponder.h"

#include "chat/window/BusySpinner.h"
#include "chat/window/ChatBubble.h"
#include "chat/window/ChatMessageList.h"
#include "chat/window/TypingRow.h"
#include "chat/window/WelcomeBlock.h"

#include <QAccessible>
#include <QClipboard>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QtTest>

using namespace pimlo;
using test::FakeOutcome;

namespace {

// A conversation driven through the model's own operations, shown in a list of its own.
struct Conversation
{
    test::FakeResponder fake;
    ChatModel model{[] { return std::optional<std::string>("sk-test"); }, fake.responder()};
    std::unique_ptr<ChatMessageList> list;
    int calls = 0;

    void show(int width = 620, int height = 400)
    {
        list = std::make_unique<ChatMessageList>(model);
        list->resize(width, height);
        list->show();
        QVERIFY(QTest::qWaitForWindowActive(list.get()));
    }
    // s: send and hold the reply, a: answer it, f: fail it, r: retry, x: abandon,
    // n: new conversation, d: type, k: open the settings, t: a whole turn answered at once.
    void run(const QString &script, const QString &text = QStringLiteral("你好"))
    {
        for (const QChar op : script) {
            if (op == u's' || op == u't') {
                op == u's' ? fake.hold(true) : fake.next({FakeOutcome::Answer, "好的"});
                model.setDraft(text);
                model.send();
                QVERIFY(fake.waitForCalls(++calls));
                if (op == u't')
                    QTRY_VERIFY(!model.busy());
            } else if (op == u'a' || op == u'f') {
                fake.release(calls - 1, {op == u'a' ? FakeOutcome::Answer : FakeOutcome::Failure,
                                         text.toStdString()});
                QTRY_VERIFY(!model.busy());
            } else if (op == u'r') {
                fake.hold(true);
                model.retry();
                QVERIFY(fake.waitForCalls(++calls));
            } else if (op == u'x') {
                model.abandon();
            } else if (op == u'n') {
                model.newConversation();
            } else if (op == u'd') {
                model.setDraft(QStringLiteral("在打字"));
            } else if (op == u'k') {
                model.setSettings(true);
            }
        }
    }
    QScrollBar *bar() const { return list->verticalScrollBar(); }
    bool animating() const
    {
        return list->findChild<QPropertyAnimation *>()->state() == QAbstractAnimation::Running;
    }
};

} // namespace

class ChatMessageListTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowsFollowTheModel_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("bubbles");
        QTest::addColumn<bool>("typing");
        QTest::newRow("empty") << "" << 0 << false;
        QTest::newRow("replying") << "s" << 1 << true;
        QTest::newRow("answered") << "sa" << 2 << false;
        QTest::newRow("failed") << "sf" << 1 << false;
        QTest::newRow("abandoned") << "sfx" << 0 << false;
        QTest::newRow("retrying") << "sfr" << 1 << true;
        QTest::newRow("second reply under way") << "sas" << 3 << true;
        QTest::newRow("cleared while replying") << "sasn" << 0 << false;
    }
    void rowsFollowTheModel()
    {
        QFETCH(QString, script);
        QFETCH(int, bubbles);
        QFETCH(bool, typing);
        Conversation c;
        c.show();
        c.run(script);
        const auto &rows = c.list->bubbles();
        QCOMPARE(int(rows.size()), bubbles);
        for (int i = 0; i < bubbles; ++i) {
            QCOMPARE(rows[i]->id(), c.model.lines()[i].id());
            QVERIFY(i == 0 || rows[i]->y() > rows[i - 1]->geometry().bottom());
        }
        QCOMPARE(c.list->welcomeBlock()->isVisible(), bubbles == 0);
        QCOMPARE(c.list->typingRow()->isVisible(), typing);
        if (typing && bubbles)
            QVERIFY(c.list->typingRow()->y() > rows.back()->geometry().bottom());
        BusySpinner *spinner = c.list->typingRow()->spinner();
        QCOMPARE(spinner->isSpinning(), typing);
        c.list->hide(); // a hidden window spends nothing on the spinner
        QVERIFY(!spinner->isSpinning());
    }

    void scrollTriggers_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("scrolls");
        QTest::addColumn<bool>("animated");
        QTest::newRow("send") << ""
                              << "s" << true << true;
        QTest::newRow("reply arrives") << "s"
                                       << "a" << true << true;
        QTest::newRow("reply fails") << "s"
                                     << "f" << true << false;
        QTest::newRow("retry") << "sf"
                               << "r" << true << false;
        QTest::newRow("abandon") << "sf"
                                 << "x" << true << true;
        QTest::newRow("typing") << ""
                                << "d" << false << false;
        QTest::newRow("settings") << ""
                                  << "k" << false << false;
        QTest::newRow("nothing to abandon") << ""
                                            << "x" << false << false;
    }
    void scrollTriggers()
    {
        QFETCH(QString, before);
        QFETCH(QString, change);
        QFETCH(bool, scrolls);
        QFETCH(bool, animated);
        Conversation c;
        c.show();
        c.run(QStringLiteral("tttttt") + before, QStringLiteral("一句话。").repeated(20));
        QTRY_VERIFY(!c.animating());
        c.bar()->setValue(0);
        c.run(change, QStringLiteral("一句话。").repeated(20));
        const int bottom = c.list->bottomScrollValue();
        QVERIFY(bottom > 0);
        QCOMPARE(c.animating(), scrolls && animated);
        QCOMPARE(c.bar()->value() == bottom, scrolls && !animated);
        QTRY_VERIFY(!c.animating());
        QCOMPARE(c.bar()->value(), scrolls ? c.list->bottomScrollValue() : 0);
    }

    void firstShowStaysAtTheTop()
    {
        Conversation c;
        c.run(QStringLiteral("tttttt"), QStringLiteral("一句话。").repeated(20));
        c.show();
        QVERIFY(c.bar()->maximum() > 0);
        QTest::qWait(2 * ChatMessageList::scrollMs);
        QCOMPARE(c.bar()->value(), 0);
    }

    void bubbleWidthAndAlignment_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wraps");
        const QString longText =
            QStringLiteral("今天天气很好，我们一起去公园散步吧。😀 ").repeated(8);
        const QString token = QStringLiteral("看：") + QString(150, u'a');
        QTest::newRow("short") << 620 << QStringLiteral("嗯") << false;
        QTest::newRow("long") << 620 << longText << true;
        QTest::newRow("long, wide window") << 900 << longText << true;
        QTest::newRow("long, narrowest window") << 480 << longText << true;
        QTest::newRow("one unbreakable word") << 620 << token << true;
    }
    void bubbleWidthAndAlignment()
    {
        QFETCH(int, width);
        QFETCH(QString, text);
        QFETCH(bool, wraps);
        Conversation c;
        c.show(width);
        c.run(QStringLiteral("sa"), text); // the user's line and the same text from Pimlo
        const int left = ChatMessageList::padding;
        const int right = c.list->viewport()->width() - ChatMessageList::padding;
        const int available = qMin(ChatMessageList::maxBubbleWidth, right - left - 65);
        for (ChatBubble *bubble : c.list->bubbles()) {
            const QRect r = bubble->geometry();
            const int lineHeight = QFontMetrics(bubble->font()).height();
            QVERIFY(r.width() <= ChatMessageList::maxBubbleWidth);
            QCOMPARE(bubble->isUser() ? r.right() + 1 : r.left(), bubble->isUser() ? right : left);
            QVERIFY((bubble->isUser() ? r.left() - left : right - r.right() - 1) >= 65);
            QCOMPARE(r.height() > 2 * ChatBubble::paddingY + 3 * lineHeight, wraps); // 4+ lines
            QCOMPARE(r.width() > available - 30, wraps); // a wrapped bubble fills its room
        }
    }

    void rowsKeepTheirWidgets_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("change");
        QTest::newRow("append") << ""
                                << "s";
        QTest::newRow("abandon") << "sf"
                                 << "x";
        QTest::newRow("clear") << ""
                               << "n";
    }
    void rowsKeepTheirWidgets()
    {
        QFETCH(QString, before);
        QFETCH(QString, change);
        Conversation c;
        c.show();
        c.run(QStringLiteral("tttt") + before);
        QHash<QUuid, QPointer<ChatBubble>> old;
        for (ChatBubble *bubble : c.list->bubbles())
            old.insert(bubble->id(), bubble);
        c.run(change);
        int kept = 0;
        for (qsizetype i = 0; i < c.model.lines().size(); ++i) {
            const QUuid id = c.model.lines()[i].id();
            kept += old.contains(id);
            if (old.contains(id))
                QCOMPARE(c.list->bubbles()[i], old.value(id).data());
        }
        int alive = 0;
        for (const QPointer<ChatBubble> &bubble : std::as_const(old))
            alive += !bubble.isNull();
        QCOMPARE(alive, kept); // the widgets of removed lines are gone, the others stay
        QCOMPARE(int(c.list->bubbles().size()), int(c.model.lines().size()));
    }

    void selectAndCopy_data()
    {
        QTest::addColumn<QList<QKeySequence>>("keys");
        QTest::addColumn<QString>("selected");
        using K = QKeySequence;
        QTest::newRow("all") << QList<K>{K::SelectAll}
                             << QStringLiteral("你好 Pimlo\n第二行 😀 end");
        QTest::newRow("to line end")
            << QList<K>{K::SelectEndOfLine} << QStringLiteral("你好 Pimlo");
        QTest::newRow("a line down")
            << QList<K>{K::SelectNextLine} << QStringLiteral("你好 Pimlo\n");
        QTest::newRow("back over an emoji")
            << QList<K>{K::MoveToEndOfDocument, K::SelectPreviousChar, K::SelectPreviousChar,
                        K::SelectPreviousChar,  K::SelectPreviousChar, K::SelectPreviousChar}
            << QStringLiteral("😀 end");
    }
    void selectAndCopy()
    {
        QFETCH(QList<QKeySequence>, keys);
        QFETCH(QString, selected);
        Conversation c;
        c.show();
        c.run(QStringLiteral("sa"), QStringLiteral("你好 Pimlo\n第二行 😀 end"));
        ChatBubble *bubble = c.list->bubbles().back();
        QTest::mouseClick(bubble, Qt::LeftButton, {}, QPoint(ChatBubble::paddingX, 15));
        QVERIFY(bubble->hasFocus());
        for (const QKeySequence &key : keys)
            QTest::keySequence(bubble, key);
        QCOMPARE(bubble->selectedText(), selected);
        QTest::keySequence(bubble, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), selected);

        // A screen reader reads every bubble's text and who said it.
        for (ChatBubble *each : c.list->bubbles()) {
            QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(each);
            QCOMPARE(a11y->role(), QAccessible::StaticText);
            QCOMPARE(a11y->text(QAccessible::Name), each->text());
            QCOMPARE(a11y->text(QAccessible::Description), each->isUser() ? "你" : "Pimlo");
        }
    }
};

QTEST_MAIN(ChatMessageListTest)
#include "ChatMessageListTest.moc"
