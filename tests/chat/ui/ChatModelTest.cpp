#include "FakeResponder.h"

#include "chat/client/ChatFailure.h"
#include "chat/ui/ChatModel.h"
#include "chat/ui/ReplyJob.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <memory>
#include <optional>
#include <stdexcept>

using namespace pimlo;
using pimlo::test::FakeOutcome;
using pimlo::test::FakeResponder;

namespace {

const QString noKey = QStringLiteral("先填写 API Key，再点击重试。");
const QString tooLong = QStringLiteral("这段对话已很长，请新建对话后继续。");
const QString stopped = QStringLiteral("已停止回复，可以重试。");
const QString networkFailed = QStringLiteral("网络连接失败或超时，请检查网络后重试。");
const QString keychainFailed = QStringLiteral("无法读取钥匙串，请解锁电脑后重试。");
const QString family =
    QStringLiteral("👨‍👩‍👧‍👦"); // seven code points, one character

using Messages = std::vector<APIMessage>;
APIMessage user(const std::string &text)
{
    return {"user", text};
}
APIMessage assistant(const std::string &text)
{
    return {"assistant", text};
}

// A model over a fake key provider and a fake responder.
struct Harness
{
    FakeResponder fake;
    std::optional<std::string> key = "sk-test";
    std::function<void()> keyThrows; // when set, the key provider calls it instead of answering
    int keyReads = 0;
    std::unique_ptr<ChatModel> model;

    Harness()
    {
        model = std::make_unique<ChatModel>(
            [this] {
                ++keyReads;
                if (keyThrows)
                    keyThrows();
                return key;
            },
            fake.responder());
    }

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
};

// Lets every finished job hand its outcome over and applies it. Only when no call is held.
void settle()
{
    QVERIFY(ReplyJob::waitForDone(10'000));
    QCoreApplication::sendPostedEvents();
}

// Waits, without running the event loop, until only `jobs` jobs remain (the others have
// queued their outcome).
void waitForJobs(int jobs)
{
    QDeadlineTimer deadline(10'000);
    while (ReplyJob::running() > jobs && !deadline.hasExpired())
        QThread::msleep(2);
    QCOMPARE(ReplyJob::running(), jobs);
}

// Waits until only `jobs` jobs remain, then applies what the others handed over.
void settleTo(int jobs)
{
    waitForJobs(jobs);
    QCoreApplication::sendPostedEvents();
}

} // namespace

Q_DECLARE_METATYPE(pimlo::test::FakeOutcome)
Q_DECLARE_METATYPE(std::optional<std::string>)

namespace pimlo {
// Readable QCOMPARE failures for message lists.
char *toString(const std::vector<APIMessage> &messages)
{
    QByteArray text = "[";
    for (const APIMessage &m : messages)
        text += (m.role + ": " + m.content.substr(0, 40) + "; ").c_str();
    return qstrdup(text + "]");
}
} // namespace pimlo

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
        QTest::newRow("space, two characters, space, line break")
            << QStringLiteral(" 你好 \n") << QStringLiteral("你好");
        QTest::newRow("only white space") << QStringLiteral(" \n\t \r\n ") << QString();
        QTest::newRow("ideographic space, line separator")
            << QStringLiteral("\u3000你好\u2028") << QStringLiteral("你好");
        QTest::newRow("no-break space, next line")
            << QStringLiteral("\u00a0x\u0085") << QStringLiteral("x");
        QTest::newRow("inner white space kept")
            << QStringLiteral("\ta \n b\v") << QStringLiteral("a \n b");
    }
    void trimming()
    {
        QFETCH(QString, draft);
        QFETCH(QString, sent);
        Harness h;
        h.send(draft);
        if (sent.isEmpty()) {
            QCOMPARE(h.model->draft(), draft);
            QVERIFY(h.model->lines().isEmpty());
            QVERIFY(!h.model->pending());
            QCOMPARE(h.keyReads, 0);
            return;
        }
        QCOMPARE(h.model->draft(), QString());
        QCOMPARE(h.model->pending(), std::optional(sent));
        QCOMPARE(h.lines(), QStringList{"user:" + sent});
        QVERIFY(h.model->busy());
        settle();
        QCOMPARE(h.fake.call(0).messages,
                 (Messages{ChatModel::persona(), user(sent.toStdString())}));
        QCOMPARE(h.lines(), (QStringList{"user:" + sent, "pimlo:好的"}));
        QVERIFY(!h.model->busy());
        QVERIFY(!h.model->pending());
    }

    void refusals_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::newRow("while busy") << true;
        QTest::newRow("while a turn waits") << false;
    }
    void refusals()
    {
        QFETCH(bool, busy);
        Harness h;
        if (busy)
            h.fake.hold(true);
        else
            h.fake.endAtOnce(FakeOutcome::other());
        h.send("one");
        settleTo(busy ? 1 : 0);
        QCOMPARE(h.model->busy(), busy);
        h.send("two");
        QCOMPARE(h.model->draft(), QStringLiteral("two"));
        QCOMPARE(h.lines(), QStringList{"user:one"});
        QCOMPARE(h.model->pending(), std::optional<QString>("one"));
        QCOMPARE(h.keyReads, 1);
    }

    void missingKey_data()
    {
        QTest::addColumn<std::optional<std::string>>("stored");
        QTest::newRow("no key") << std::optional<std::string>();
        QTest::newRow("empty key") << std::optional<std::string>("");
    }
    void missingKey()
    {
        QFETCH(std::optional<std::string>, stored);
        Harness h;
        h.key = stored;
        h.send("你好");
        QVERIFY(h.model->settings());
        QCOMPARE(h.model->error(), std::optional(noKey));
        QCOMPARE(h.lines(), QStringList{"user:你好"});
        QVERIFY(!h.model->busy());
        settle();
        QCOMPARE(h.fake.calls(), 0);

        h.key = "sk-new";
        h.model->retry();
        QVERIFY(!h.model->error());
        settle();
        QCOMPARE(h.fake.call(0).key, std::string("sk-new"));
        QCOMPARE(h.fake.call(0).messages.back(), user("你好"));
        QCOMPARE(h.lines(), (QStringList{"user:你好", "pimlo:好的"}));
        QVERIFY(!h.model->pending());
        // The history is exactly [user, assistant]: the next request shows it.
        h.send("再见");
        settle();
        QCOMPARE(h.fake.call(1).messages,
                 (Messages{ChatModel::persona(), user("你好"), assistant("好的"), user("再见")}));
    }

    void keyProviderThrows_data()
    {
        QTest::addColumn<bool>("chatFailure");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("ChatFailure") << true << QStringLiteral("钥匙串被锁住了。");
        QTest::newRow("other error") << false << keychainFailed;
    }
    void keyProviderThrows()
    {
        QFETCH(bool, chatFailure);
        QFETCH(QString, sentence);
        Harness h;
        h.keyThrows = [&] {
            if (chatFailure)
                throw ChatFailure(sentence.toStdString());
            throw std::runtime_error("dbus: no such name");
        };
        h.send("hi");
        QCOMPARE(h.model->error(), std::optional(sentence));
        QVERIFY(!h.model->settings());
        QVERIFY(!h.model->busy());
        QCOMPARE(h.model->pending(), std::optional<QString>("hi"));
        QCOMPARE(h.lines(), QStringList{"user:hi"});
        settle();
        QCOMPARE(h.fake.calls(), 0);
    }

    void budget_data()
    {
        QTest::addColumn<QString>("unit");    // one user-perceived character
        QTest::addColumn<int>("replyLength"); // characters of a first reply, 0: no history
        QTest::addColumn<int>("total");
        QTest::addColumn<bool>("sent");
        for (const auto &[name, unit] :
             {std::pair{"ascii", QStringLiteral("a")}, std::pair{"family emoji", family},
              std::pair{"e + combining acute", QStringLiteral("e\u0301")},
              std::pair{"flag", QStringLiteral("🇨🇳")}}) {
            QTest::addRow("%s 119999", name) << unit << 0 << 119'999 << true;
            QTest::addRow("%s 120000", name) << unit << 0 << 120'000 << false;
        }
        QTest::newRow("history 119999") << family << 70'000 << 119'999 << true;
        QTest::newRow("history 120000") << family << 70'000 << 120'000 << false;
    }
    void budget()
    {
        QFETCH(QString, unit);
        QFETCH(int, replyLength);
        QFETCH(int, total);
        QFETCH(bool, sent);
        // Each code point of the persona is a character of its own.
        qsizetype used = QString::fromStdString(ChatModel::persona().content).toUcs4().size();
        Harness h;
        if (replyLength > 0) {
            h.fake.endAtOnce(FakeOutcome::answer(unit.repeated(replyLength).toStdString()));
            h.send("hi");
            settle();
            QVERIFY(!h.model->error());
            used += 2 + replyLength;
        }
        h.fake.endAtOnce(FakeOutcome::answer("ok"));
        const int calls = h.fake.calls();
        h.send(unit.repeated(total - used));
        settle();
        QCOMPARE(h.fake.calls(), calls + (sent ? 1 : 0));
        QCOMPARE(h.model->error(), sent ? std::nullopt : std::optional(tooLong));
        QCOMPARE(h.model->pending().has_value(), !sent);
        QCOMPARE(h.model->lines().last().isUser(), !sent);
        QVERIFY(!h.model->busy());
    }

    void thirdTurn()
    {
        Harness h;
        for (const char *turn : {"1", "2", "3"}) {
            h.fake.endAtOnce(FakeOutcome::answer(std::string("r") + turn));
            h.send(QStringLiteral("u") + turn);
            settle();
        }
        QCOMPARE(h.fake.call(2).messages,
                 (Messages{ChatModel::persona(), user("u1"), assistant("r1"), user("u2"),
                           assistant("r2"), user("u3")}));
        QCOMPARE(h.lines(), (QStringList{"user:u1", "pimlo:r1", "user:u2", "pimlo:r2", "user:u3",
                                         "pimlo:r3"}));
    }

    void failures_data()
    {
        QTest::addColumn<FakeOutcome>("outcome");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("ChatFailure")
            << FakeOutcome::failure("DeepSeek 账户余额不足，请充值后重试。")
            << QStringLiteral("DeepSeek 账户余额不足，请充值后重试。");
        QTest::newRow("other error") << FakeOutcome::other() << networkFailed;
    }
    void failures()
    {
        QFETCH(FakeOutcome, outcome);
        QFETCH(QString, sentence);
        Harness h;
        h.fake.endAtOnce(outcome);
        h.send("hi");
        settle();
        QCOMPARE(h.model->error(), std::optional(sentence));
        QVERIFY(!h.model->busy());
        QCOMPARE(h.model->pending(), std::optional<QString>("hi"));
        QCOMPARE(h.lines(), QStringList{"user:hi"});
        // A new attempt takes the banner down first.
        h.fake.hold(true);
        h.model->retry();
        QVERIFY(h.model->busy());
        QVERIFY(!h.model->error());
        h.fake.release(1, FakeOutcome::answer("ok"));
        settle();
        QCOMPARE(h.fake.call(1).messages.back(), user("hi"));
        QCOMPARE(h.lines(), (QStringList{"user:hi", "pimlo:ok"}));
    }

    void stop_data()
    {
        QTest::addColumn<bool>("honourCancel");
        QTest::addColumn<FakeOutcome>("late"); // what a responder ignoring the stop ends with
        QTest::newRow("transfer cancelled") << true << FakeOutcome();
        QTest::newRow("answers anyway") << false << FakeOutcome::answer("late");
        QTest::newRow("ChatFailure anyway") << false << FakeOutcome::failure("请求过于频繁。");
        QTest::newRow("other error anyway") << false << FakeOutcome::other();
    }
    void stop()
    {
        QFETCH(bool, honourCancel);
        QFETCH(FakeOutcome, late);
        Harness h;
        h.fake.hold(honourCancel);
        h.send("hi");
        QVERIFY(h.fake.waitForCalls(1));
        h.model->stop();
        QVERIFY(h.model->busy());
        if (honourCancel) {
            QVERIFY(h.fake.waitForEnd(0));
            QVERIFY(h.fake.endedByCancel(0));
        } else {
            QCoreApplication::processEvents();
            QVERIFY(h.model->busy()); // until the responder ends
            h.fake.release(0, late);
        }
        settle();
        QVERIFY(!h.model->busy());
        QCOMPARE(h.model->error(), std::optional(stopped));
        QCOMPARE(h.lines(), QStringList{"user:hi"});
        QCOMPARE(h.model->pending(), std::optional<QString>("hi"));

        h.fake.endAtOnce(FakeOutcome::answer("ok"));
        h.model->retry();
        settle();
        QCOMPARE(h.fake.call(1).messages, (Messages{ChatModel::persona(), user("hi")}));
        QCOMPARE(h.lines(), (QStringList{"user:hi", "pimlo:ok"}));
        QVERIFY(!h.model->error());
    }

    void stopAfterTheResponderReturned()
    {
        Harness h;
        h.send("hi");
        waitForJobs(0); // the reply is queued, not yet applied
        h.model->stop();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(h.model->error(), std::optional(stopped));
        QCOMPARE(h.lines(), QStringList{"user:hi"});
    }

    void staleJob_data()
    {
        QTest::addColumn<bool>("shutdown"); // else newConversation()
        QTest::addColumn<bool>("honourCancel");
        QTest::addColumn<FakeOutcome>("late");
        for (bool shutdown : {false, true}) {
            const char *op = shutdown ? "shutdown" : "newConversation";
            QTest::addRow("%s, transfer cancelled", op) << shutdown << true << FakeOutcome();
            QTest::addRow("%s, late reply", op) << shutdown << false << FakeOutcome::answer("late");
            QTest::addRow("%s, late ChatFailure", op)
                << shutdown << false << FakeOutcome::failure("晚了");
            QTest::addRow("%s, late error", op) << shutdown << false << FakeOutcome::other();
        }
    }
    void staleJob()
    {
        QFETCH(bool, shutdown);
        QFETCH(bool, honourCancel);
        QFETCH(FakeOutcome, late);
        Harness h;
        h.send("u0");
        settle();
        h.fake.hold(honourCancel);
        h.send("u1");
        QVERIFY(h.fake.waitForCalls(2));
        h.model->setDraft("typing");

        int inFlight = 0;
        if (shutdown) {
            h.model->shutdown();
            QVERIFY(h.model->busy());
            QCOMPARE(h.model->draft(), QStringLiteral("typing"));
        } else {
            h.model->newConversation();
            QVERIFY(!h.model->busy());
            QVERIFY(h.model->lines().isEmpty());
            QCOMPARE(h.model->draft(), QString());
            QVERIFY(!h.model->pending());
            QVERIFY(!h.model->error());
            // A new message goes out, with no history, while the old job still runs.
            h.fake.hold(true);
            h.send("u2");
            QVERIFY(h.fake.waitForCalls(3));
            QCOMPARE(h.fake.call(2).messages, (Messages{ChatModel::persona(), user("u2")}));
            inFlight = 1;
        }
        const QStringList lines = h.lines();
        QSignalSpy spy(h.model.get(), &ChatModel::changed);
        if (honourCancel) {
            QVERIFY(h.fake.waitForEnd(1));
            QVERIFY(h.fake.endedByCancel(1));
        } else {
            h.fake.release(1, late);
        }
        settleTo(inFlight);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(h.lines(), lines);
        QCOMPARE(h.model->busy(), true);

        if (!shutdown) {
            h.fake.release(2, FakeOutcome::answer("r2"));
            settle();
            QCOMPARE(h.lines(), (QStringList{"user:u2", "pimlo:r2"}));
            QVERIFY(!h.model->error());
            QVERIFY(!h.model->busy());
        }
    }

    void abandon_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("linesAfter");
        QTest::addColumn<bool>("pendingAfter");
        QTest::newRow("failed turn") << "failed" << QStringList{"user:u0", "pimlo:好的"} << false;
        QTest::newRow("refused turn") << "refused" << QStringList{"user:u0", "pimlo:好的"} << false;
        QTest::newRow("while busy")
            << "busy" << QStringList{"user:u0", "pimlo:好的", "user:u1"} << true;
        QTest::newRow("nothing pending") << "idle" << QStringList{"user:u0", "pimlo:好的"} << false;
    }
    void abandon()
    {
        QFETCH(QString, state);
        QFETCH(QStringList, linesAfter);
        QFETCH(bool, pendingAfter);
        Harness h;
        h.send("u0");
        settle();
        if (state == "failed")
            h.fake.endAtOnce(FakeOutcome::other());
        if (state == "refused")
            h.key = std::nullopt;
        if (state == "busy")
            h.fake.hold(true);
        if (state != "idle")
            h.send("u1");
        settleTo(state == "busy" ? 1 : 0);
        h.model->abandon();
        QCOMPARE(h.lines(), linesAfter);
        QCOMPARE(h.model->pending().has_value(), pendingAfter);
        QCOMPARE(h.model->busy(), state == "busy");
        if (state != "busy")
            QVERIFY(!h.model->error());
        // A second abandon never removes Pimlo's line.
        h.model->abandon();
        QCOMPARE(h.lines(), linesAfter);
    }

    void retryWithNothingPending()
    {
        Harness h;
        QSignalSpy spy(h.model.get(), &ChatModel::changed);
        h.model->retry();
        QCOMPARE(h.keyReads, 0);
        QCOMPARE(spy.count(), 0);
    }

    void destroyedWhileJobRuns_data()
    {
        QTest::addColumn<bool>("honourCancel");
        QTest::addColumn<FakeOutcome>("late");
        QTest::newRow("transfer cancelled") << true << FakeOutcome();
        QTest::newRow("late reply") << false << FakeOutcome::answer("late");
        QTest::newRow("late ChatFailure") << false << FakeOutcome::failure("晚了");
    }
    void destroyedWhileJobRuns()
    {
        QFETCH(bool, honourCancel);
        QFETCH(FakeOutcome, late);
        Harness h;
        h.fake.hold(honourCancel);
        h.send("hi");
        QVERIFY(h.fake.waitForCalls(1));
        h.model.reset();
        if (honourCancel) {
            QVERIFY(h.fake.waitForEnd(0));
            QVERIFY(h.fake.endedByCancel(0)); // no transfer outlives the model
        } else {
            h.fake.release(0, late);
        }
        settle(); // the hand-off finds no model
    }

    void destroyedWithTheReplyQueued()
    {
        Harness h;
        h.send("hi");
        waitForJobs(0);
        h.model.reset();
        QCoreApplication::sendPostedEvents();
    }

    void everyAssignmentIsAnnounced()
    {
        Harness h;
        QSignalSpy spy(h.model.get(), &ChatModel::changed);
        for (int i = 0; i < 2; ++i) {
            h.model->setDraft("a");
            h.model->setSettings(false);
            h.model->setSelectedModel(h.model->selectedModel());
            h.model->setInputFocusRequest(1);
        }
        QCOMPARE(spy.count(), 8);
    }

    void selectedModel_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("model");
        QTest::newRow("nothing stored") << QVariant() << QStringLiteral("deepseek-flash");
        QTest::newRow("pro") << QVariant("deepseek-v4-pro") << QStringLiteral("deepseek-v4-pro");
        QTest::newRow("taken unchecked") << QVariant("my-model") << QStringLiteral("my-model");
    }
    void selectedModel()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, model);
        {
            QSettings settings;
            settings.clear();
            if (stored.isValid())
                settings.setValue("deepseekModel", stored);
        }
        Harness h;
        QCOMPARE(h.model->selectedModel(), model);
        h.fake.hold(true);
        h.send("hi");
        QVERIFY(h.fake.waitForCalls(1));
        h.model->setSelectedModel("changed"); // applies to the next request only
        h.fake.release(0, FakeOutcome::answer("ok"));
        settle();
        QCOMPARE(h.fake.call(0).model, model.toStdString());
        h.fake.endAtOnce(FakeOutcome::answer("ok"));
        h.send("again");
        settle();
        QCOMPARE(h.fake.call(1).model, std::string("changed"));
        // The model never writes the preference, and nothing of the conversation is stored.
        QSettings settings;
        QCOMPARE(settings.allKeys(),
                 stored.isValid() ? QStringList{"deepseekModel"} : QStringList());
        QCOMPARE(settings.value("deepseekModel"), stored);
        settings.clear();
    }
};

QTEST_GUILESS_MAIN(ChatModelTest)
#include "ChatModelTest.moc"
