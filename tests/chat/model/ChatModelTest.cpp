#include "FakeResponder.h"

#include "chat/client/ChatFailure.h"
#include "chat/model/ChatModel.h"
#include "chat/model/ReplyJob.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <stdexcept>

using namespace pimlo;
using pimlo::test::FakeOutcome;

namespace {

const QString stopped = QStringLiteral("已停止回复，可以重试。");
const QString family =
    QStringLiteral("👨‍👩‍👧‍👦"); // seven code points, one character
const FakeOutcome lateReply{FakeOutcome::Answer, "late"};
const FakeOutcome lateFailure{FakeOutcome::Failure, "晚了"};

// A model over a fake key provider and a fake responder.
struct Harness
{
    test::FakeResponder fake;
    std::optional<std::string> key = "sk-test";
    int keyThrows = 0; // 1: a ChatFailure, 2: another error
    int keyReads = 0;
    std::unique_ptr<ChatModel> model = std::make_unique<ChatModel>(
        [this] {
            ++keyReads;
            if (keyThrows == 1)
                throw ChatFailure("钥匙串被锁住了。");
            if (keyThrows == 2)
                throw std::runtime_error("dbus: no such name");
            return key;
        },
        fake.responder());

    void send(const QString &text)
    {
        model->setDraft(text);
        model->send();
    }
    QStringList lines() const
    {
        QStringList texts;
        for (const ChatLine &line : model->lines())
            texts << (line.isUser() ? "user:" : "pimlo:") + line.text();
        return texts;
    }
    // Responder call i's messages as "role:content", the persona as "persona".
    QStringList sent(int i) const
    {
        QStringList texts;
        for (const APIMessage &m : fake.call(i).messages)
            texts << (m == ChatModel::persona() ? "persona"
                                                : QString::fromStdString(m.role + ":" + m.content));
        return texts;
    }
};

// Waits, without running the event loop, until only `jobs` jobs remain (the others have queued
// their outcome).
void waitForJobs(int jobs)
{
    QDeadlineTimer deadline(10'000);
    while (ReplyJob::running() > jobs && !deadline.hasExpired())
        QThread::msleep(2);
    QCOMPARE(ReplyJob::running(), jobs);
}

// Waits until only `jobs` jobs remain, then applies what the others handed over.
void settle(int jobs = 0)
{
    waitForJobs(jobs);
    QCoreApplication::sendPostedEvents();
}

} // namespace

Q_DECLARE_METATYPE(pimlo::test::FakeOutcome)

class ChatModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("PimloTest"));
        QCoreApplication::setApplicationName(QStringLiteral("ChatModelTest"));
        QSettings().clear();
    }
    void cleanup() { settle(); }

    void trimming_data()
    {
        QTest::addColumn<QString>("draft");
        QTest::addColumn<QString>("sent"); // empty: nothing happens
        QTest::newRow("space, two characters, space, line break") << " 你好 \n"
                                                                  << "你好";
        QTest::newRow("only white space") << " \n\t \r\n " << QString();
        QTest::newRow("Unicode spaces at the ends, inner kept") << "\u3000a \n b\u2028"
                                                                << "a \n b";
    }
    void trimming()
    {
        QFETCH(QString, draft);
        QFETCH(QString, sent);
        Harness h;
        h.send(draft);
        if (sent.isEmpty()) {
            h.model->retry(); // nothing pending either
            QCOMPARE(h.model->draft(), draft);
            QVERIFY(h.model->lines().isEmpty() && !h.model->pending());
            QCOMPARE(h.keyReads, 0);
            return;
        }
        QCOMPARE(h.model->draft(), QString());
        settle();
        QCOMPARE(h.sent(0), (QStringList{"persona", "user:" + sent}));
        QCOMPARE(h.lines(), (QStringList{"user:" + sent, "pimlo:好的"}));
        QVERIFY(!h.model->busy() && !h.model->pending());
    }

    // No key, or a key provider that throws: the message waits, retry() sends it once a key is
    // there, and the conversation goes on with the whole history.
    void keyRefused_data()
    {
        QTest::addColumn<QString>("key"); // null: none stored
        QTest::addColumn<int>("throws");  // 1: a ChatFailure, 2: another error
        QTest::addColumn<QString>("sentence");
        const QString noKey = QStringLiteral("先填写 API Key，再点击重试。");
        QTest::newRow("no key") << QString() << 0 << noKey;
        QTest::newRow("empty key") << "" << 0 << noKey;
        QTest::newRow("ChatFailure") << "sk" << 1 << QStringLiteral("钥匙串被锁住了。");
        QTest::newRow("other error")
            << "sk" << 2 << QStringLiteral("无法读取钥匙串，请解锁电脑后重试。");
    }
    void keyRefused()
    {
        QFETCH(QString, key);
        QFETCH(int, throws);
        QFETCH(QString, sentence);
        Harness h;
        h.key = key.isNull() ? std::nullopt : std::optional(key.toStdString());
        h.keyThrows = throws;
        h.send("u1");
        QCOMPARE(h.model->settings(), throws == 0);
        QCOMPARE(h.model->error(), std::optional(sentence));
        QVERIFY(!h.model->busy());
        QCOMPARE(h.lines(), QStringList{"user:u1"});

        h.keyThrows = 0;
        h.key = "sk-new";
        h.model->retry();
        QVERIFY(!h.model->error());
        settle();
        for (const std::string turn : {"2", "3"}) {
            h.fake.next({FakeOutcome::Answer, "r" + turn});
            h.send(QString::fromStdString("u" + turn));
            settle();
        }
        QCOMPARE(h.fake.call(0).key, std::string("sk-new"));
        QCOMPARE(h.sent(2), (QStringList{"persona", "user:u1", "assistant:好的", "user:u2",
                                         "assistant:r2", "user:u3"}));
    }

    void budget_data()
    {
        QTest::addColumn<QString>("unit");    // one user-perceived character
        QTest::addColumn<int>("replyLength"); // characters of a first reply, 0: no history
        QTest::addColumn<int>("total");
        const std::pair<const char *, QString> units[] = {
            {"family emoji", family}, {"e + combining acute", "e\u0301"}, {"flag", "🇨🇳"}};
        for (int total : {119'999, 120'000}) {
            for (const auto &[name, unit] : units)
                QTest::addRow("%s %d", name, total) << unit << 0 << total;
            QTest::addRow("history %d", total) << family << 70'000 << total;
        }
    }
    void budget()
    {
        QFETCH(QString, unit);
        QFETCH(int, replyLength);
        QFETCH(int, total);
        const bool sent = total < 120'000;
        // Each code point of the persona is a character of its own.
        qsizetype used = QString::fromStdString(ChatModel::persona().content).toUcs4().size();
        Harness h;
        if (replyLength > 0) {
            h.fake.next({FakeOutcome::Answer, unit.repeated(replyLength).toStdString()});
            h.send("hi");
            settle();
            used += 2 + replyLength;
        }
        h.send(unit.repeated(total - used));
        settle();
        QCOMPARE(h.model->error(),
                 sent ? std::nullopt
                      : std::optional<QString>("这段对话已很长，请新建对话后继续。"));
        QCOMPARE(h.model->lines().last().isUser(), !sent);
        QVERIFY(!h.model->busy());
    }

    // A turn that ends without a reply; the message waits, refusing new ones, until retry() or
    // abandon().
    void failedTurn_data()
    {
        QTest::addColumn<int>("stop"); // 0: none, 1: while the responder runs, 2: after it returned
        QTest::addColumn<bool>("honourCancel");
        QTest::addColumn<FakeOutcome>("end");
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<bool>("abandon"); // else retry()
        QTest::newRow("ChatFailure")
            << 0 << false << FakeOutcome{FakeOutcome::Failure, "余额不足。"} << "余额不足。"
            << false;
        QTest::newRow("other error") << 0 << false << FakeOutcome{FakeOutcome::Other}
                                     << "网络连接失败或超时，请检查网络后重试。" << true;
        QTest::newRow("stop, transfer cancelled") << 1 << true << FakeOutcome() << stopped << false;
        QTest::newRow("stop, answers anyway") << 1 << false << lateReply << stopped << false;
        QTest::newRow("stop, ChatFailure anyway") << 1 << false << lateFailure << stopped << true;
        // The reply is queued for the main thread but not applied yet: the stop still wins.
        QTest::newRow("stop after the responder returned")
            << 2 << false << lateReply << stopped << false;
    }
    void failedTurn()
    {
        QFETCH(int, stop);
        QFETCH(bool, honourCancel);
        QFETCH(FakeOutcome, end);
        QFETCH(QString, sentence);
        QFETCH(bool, abandon);
        Harness h;
        h.send("u0");
        settle();
        h.fake.hold(honourCancel);
        h.send("hi");
        QVERIFY(h.fake.waitForCalls(2));
        const QStringList lines{"user:u0", "pimlo:好的", "user:hi"};
        if (stop == 1) {
            h.model->stop();
            QVERIFY(h.model->busy());
        }
        if (honourCancel) {
            QVERIFY(h.fake.ended(1).cancelled);
        } else {
            QCoreApplication::processEvents();
            h.send("two"); // both refused while busy
            h.model->abandon();
            QCOMPARE(h.lines(), lines);
            QVERIFY(h.model->busy()); // until the responder ends
            h.fake.release(1, end);
        }
        if (stop == 2) {
            waitForJobs(0);
            h.model->stop();
        }
        settle();
        QVERIFY(!h.model->busy());
        QCOMPARE(h.model->error(), std::optional(sentence));
        QCOMPARE(h.model->pending(), std::optional<QString>("hi"));
        h.send("two"); // refused while the turn waits
        QCOMPARE(h.lines(), lines);
        QCOMPARE(h.keyReads, 2);

        if (abandon) {
            h.model->abandon();
            h.model->abandon(); // the second one must not remove Pimlo's line
            QCOMPARE(h.lines(), lines.mid(0, 2));
            QVERIFY(!h.model->pending() && !h.model->error());
            return;
        }
        h.model->retry();
        QVERIFY(h.model->busy() && !h.model->error());
        h.fake.release(2, {FakeOutcome::Answer, "ok"});
        settle();
        QCOMPARE(h.sent(2), (QStringList{"persona", "user:u0", "assistant:好的", "user:hi"}));
        QCOMPARE(h.lines(), lines + QStringList{"pimlo:ok"});
        QVERIFY(!h.model->error());
    }

    // newConversation(), shutdown() or the model destroyed while a job runs: the old job's
    // result changes nothing. Run under AddressSanitizer too.
    void staleJob_data()
    {
        QTest::addColumn<int>("op"); // 0: newConversation(), 1: shutdown(), 2: the model destroyed
        QTest::addColumn<bool>("honourCancel");
        QTest::addColumn<FakeOutcome>("late");
        QTest::addColumn<bool>("queued"); // the result already waits for the main thread
        for (int op : {0, 1, 2}) {
            const char *name = std::array{"newConversation", "shutdown", "destroyed"}[op];
            QTest::addRow("%s, transfer cancelled", name) << op << true << FakeOutcome() << false;
            QTest::addRow("%s, late reply", name) << op << false << lateReply << false;
            QTest::addRow("%s, late ChatFailure", name) << op << false << lateFailure << false;
            QTest::addRow("%s, reply queued", name) << op << false << lateReply << true;
        }
    }
    void staleJob()
    {
        QFETCH(int, op);
        QFETCH(bool, honourCancel);
        QFETCH(FakeOutcome, late);
        QFETCH(bool, queued);
        Harness h;
        h.send("u0");
        settle();
        h.fake.hold(honourCancel);
        h.send("u1");
        QVERIFY(h.fake.waitForCalls(2));
        if (queued) {
            h.fake.release(1, late);
            waitForJobs(0);
        }
        h.model->setDraft("typing");
        if (op == 2) {
            h.model.reset();
        } else if (op == 1) {
            h.model->shutdown(); // the application goes next: no job may still hand over to it
            QCOMPARE(ReplyJob::running(), honourCancel || queued ? 0 : 1); // unless it ignored
            QCOMPARE(h.model->draft(), QStringLiteral("typing"));
        } else {
            h.model->newConversation();
            QVERIFY(!h.model->busy() && !h.model->pending() && !h.model->error());
            QVERIFY(h.model->lines().isEmpty() && h.model->draft().isEmpty());
            // A new message goes out with no history while the old job still runs.
            h.fake.hold(true);
            h.send("u2");
            QVERIFY(h.fake.waitForCalls(3));
            QCOMPARE(h.sent(2), (QStringList{"persona", "user:u2"}));
        }
        const QStringList lines = h.model ? h.lines() : QStringList();
        int changes = 0;
        if (h.model)
            connect(h.model.get(), &ChatModel::changed, this, [&] { ++changes; });
        if (honourCancel)
            QVERIFY(h.fake.ended(1).cancelled); // the transfer ends too
        else if (!queued)
            h.fake.release(1, late);
        settle(op == 0 ? 1 : 0);
        if (!h.model)
            return; // the hand-off found no model
        QCOMPARE(changes, 0);
        QCOMPARE(h.lines(), lines);
        QVERIFY(h.model->busy());
        if (op == 0) {
            h.fake.release(2, {FakeOutcome::Answer, "r2"});
            settle();
            QCOMPARE(h.lines(), (QStringList{"user:u2", "pimlo:r2"}));
            QVERIFY(!h.model->error() && !h.model->busy());
        }
    }

    void equalAssignmentsAreAnnounced()
    {
        Harness h;
        QSignalSpy spy(h.model.get(), &ChatModel::changed);
        h.model->setDraft(QString());
        h.model->setSettings(false);
        h.model->setSelectedModel(h.model->selectedModel());
        h.model->setInputFocusRequest(0);
        QCOMPARE(spy.count(), 4);
    }

    void selectedModel_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("model");
        QTest::newRow("nothing stored") << QVariant() << QStringLiteral("deepseek-flash");
        QTest::newRow("taken unchecked") << QVariant("my-model") << QStringLiteral("my-model");
    }
    void selectedModel()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, model);
        QSettings settings;
        settings.clear();
        if (stored.isValid())
            settings.setValue("deepseekModel", stored);
        Harness h;
        h.fake.hold(true);
        h.send("hi");
        QVERIFY(h.fake.waitForCalls(1));
        h.model->setSelectedModel("changed"); // applies to the next request only
        h.fake.release(0, {});
        settle();
        h.send("again");
        h.fake.release(1, {});
        settle();
        QCOMPARE(h.fake.call(0).model, model.toStdString());
        QCOMPARE(h.fake.call(1).model, std::string("changed"));
        // The model never writes the preference, and nothing of the conversation is stored.
        QCOMPARE(settings.allKeys(),
                 stored.isValid() ? QStringList{"deepseekModel"} : QStringList());
        QCOMPARE(settings.value("deepseekModel"), stored);
    }
};

QTEST_GUILESS_MAIN(ChatModelTest)
#include "ChatModelTest.moc"
