#include "FakeResponder.h"

#include "chat/client/ChatFailure.h"
#include "chat/model/ChatModel.h"
#include "chat/model/ReplyJob.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <stdexcept>

using namespace pimlo;
using pimlo::test::FakeOutcome;

namespace {

// Short names for the model's own sentences in the expected states.
const std::pair<const char *, QString> sentences[] = {
    {"stopped", QStringLiteral("已停止回复，可以重试。")},
    {"network", QStringLiteral("网络连接失败或超时，请检查网络后重试。")},
    {"no key", QStringLiteral("先填写 API Key，再点击重试。")},
    {"unreadable", QStringLiteral("无法读取钥匙串，请解锁电脑后重试。")},
    {"too long", QStringLiteral("这段对话已很长，请新建对话后继续。")}};

// Waits, without running the event loop, until only `jobs` jobs remain (the rest have queued).
void waitForJobs(int jobs)
{
    QDeadlineTimer deadline(10'000);
    while (ReplyJob::running() > jobs && !deadline.hasExpired())
        QThread::msleep(2);
    QCOMPARE(ReplyJob::running(), jobs);
}

// A model over a fake key provider and a fake responder that holds every call until the script
// ends it.
struct Harness
{
    test::FakeResponder fake;
    QString key = "sk-test"; // "~": none stored; "!", "?": reading it throws a ChatFailure, another
    std::unique_ptr<ChatModel> model = std::make_unique<ChatModel>(
        [this]() -> std::optional<std::string> {
            if (key == "!")
                throw ChatFailure("钥匙串被锁住了。");
            if (key == "?")
                throw std::runtime_error("dbus: no such name");
            return key == "~" ? std::nullopt : std::optional(key.toStdString());
        },
        fake.responder());
    bool honour = true; // calls end when their token fires
    QList<bool> held;   // per call: it cannot end by itself
    QStringList trace;

    // s: send "m1", "m2"…; T: send a draft with spaces around, B: a blank one; r: retry;
    // a/f/e: end the oldest held call with reply "r<call>", ChatFailure "失败" or another error,
    // and apply the outcome; q: end it with a reply that is handed over but not applied yet;
    // S: stop; x: abandon; n: new conversation; D: shutdown; X: destroy the model;
    // i (first in a script): calls ignore their token; M: select the model "changed";
    // k/K: no key / an empty one stored, c/o: reading it throws a ChatFailure / another error,
    // g: the key "sk-new" readable; .: apply what was handed over and record the state.
    void run(const QString &script)
    {
        for (const QChar op : script) {
            const char c = op.toLatin1();
            if (QByteArray("sTBr").contains(c)) {
                const bool wasBusy = model->busy();
                const QString draft = c == 's'   ? "m" + QString::number(held.size() + 1)
                                      : c == 'T' ? QStringLiteral("\u3000a \n b\u2028 ")
                                                 : QStringLiteral(" \n\t");
                c == 'r' ? model->retry() : (model->setDraft(draft), model->send());
                if (!wasBusy && model->busy()) {
                    QVERIFY(fake.waitForCalls(int(held.size()) + 1));
                    held << true;
                }
            } else if (QByteArray("afeq").contains(c)) {
                const int i = int(held.indexOf(true));
                const auto kind = c == 'f'   ? FakeOutcome::Failure
                                  : c == 'e' ? FakeOutcome::Other
                                             : FakeOutcome::Answer;
                fake.release(i, {kind, c == 'f' ? "失败" : "r" + std::to_string(i + 1)});
                held[i] = false;
                settle(c != 'q');
            } else if (QByteArray("SnDX").contains(c)) {
                c == 'S'   ? model->stop()
                : c == 'n' ? model->newConversation()
                : c == 'D' ? model->shutdown()
                           : model.reset();
                if (!held.isEmpty() && honour)
                    held.last() = false; // the running call was cancelled
                if (c == 'D')            // the application goes next: no job may hand over to it
                    QCOMPARE(ReplyJob::running(), int(held.count(true)));
            } else if (c == 'x' || c == 'M') {
                c == 'x' ? model->abandon() : model->setSelectedModel("changed");
            } else if (c == 'i') {
                fake.hold(honour = false);
            } else if (const auto at = QByteArray("kKcog").indexOf(c); at >= 0) {
                key = QStringList{"~", "", "!", "?", "sk-new"}[at];
            } else if (c == '.') {
                settle(true);
                trace << state();
            }
        }
    }
    // Waits until the calls not held have handed over, and applies that when apply.
    void settle(bool apply) const
    {
        waitForJobs(int(held.count(true)));
        if (apply)
            QCoreApplication::sendPostedEvents();
    }
    QString state() const
    {
        if (!model)
            return "destroyed";
        QStringList lines;
        for (const ChatLine &line : model->lines())
            lines << (line.isUser() ? "user:" : "pimlo:") + line.text();
        QString error = model->error() ? "!" + *model->error() : QString();
        for (const auto &[name, sentence] : sentences)
            error.replace(sentence, name);
        QStringList parts{lines.join('|'),
                          error,
                          model->pending() ? "?" + *model->pending() : "",
                          model->busy() ? "busy" : "",
                          model->settings() ? "settings" : "",
                          model->draft().isEmpty() ? "" : "draft:" + model->draft()};
        parts.removeAll(QString());
        return parts.isEmpty() ? "-" : parts.join(' ');
    }
    // The last call as "key model: messages", the persona as "persona".
    QString lastSent() const
    {
        const test::FakeCall call = fake.call(int(held.size()) - 1);
        QStringList texts;
        for (const APIMessage &m : call.messages)
            texts << (m == ChatModel::persona() ? "persona"
                                                : QString::fromStdString(m.role + ":" + m.content));
        return QString::fromStdString(call.key + ' ' + call.model + ": ") + texts.join(',');
    }
};

} // namespace

class ChatModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        QSettings().setValue("deepseekModel", "my-model");
    }
    void cleanup()
    {
        waitForJobs(0);
        // The preference is only read, and nothing of the conversation is stored.
        QCOMPARE(QSettings().allKeys(), QStringList{"deepseekModel"});
        QCOMPARE(QSettings().value("deepseekModel"), "my-model");
    }

    void script_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("states"); // what each "." recorded
        QTest::addColumn<QString>("sent");   // the last call; empty: not checked
        const auto row = [](const char *name, const char *script, const QString &states,
                            const QString &sent = {}) {
            QTest::newRow(name) << script << states << sent;
        };
        row("turn", "sa.", "user:m1|pimlo:r1", "sk-test my-model: persona,user:m1");
        row("trimmed at the ends only", "Ta.", "user:a \n b|pimlo:r1");
        row("blank draft", "Br.", "draft: \n\t");
        row("selected model, next request", "saMsa.", "user:m1|pimlo:r1|user:m2|pimlo:r2",
            "sk-test changed: persona,user:m1,assistant:r1,user:m2");
        row("refused while busy", "ssxa.", "user:m1|pimlo:r1 draft:m2");
        row("failure waits", "sf.s.", "user:m1 !失败 ?m1 / user:m1 !失败 ?m1 draft:m2");
        row("other error", "se.", "user:m1 !network ?m1");
        row("retry with history", "sasfra.", "user:m1|pimlo:r1|user:m2|pimlo:r3",
            "sk-test my-model: persona,user:m1,assistant:r1,user:m2");
        row("abandon twice", "sasfxx.", "user:m1|pimlo:r1");
        row("stop", "sS.ra.", "user:m1 !stopped ?m1 / user:m1|pimlo:r2");
        row("stop, busy until the reply comes anyway", "isSxa.", "user:m1 !stopped ?m1");
        row("stop, ChatFailure anyway", "isSf.", "user:m1 !stopped ?m1");
        row("stop after the responder returned", "isqS.", "user:m1 !stopped ?m1");
        row("new conversation cancels", "sasn.", "-");
        row("new conversation forgets the history", "sansa.", "user:m2|pimlo:r2",
            "sk-test my-model: persona,user:m2");
        row("new conversation, late ChatFailure", "isnf.", "-");
        row("new conversation, reply queued", "isqn.", "-");
        row("new conversation, new turn while the old one runs", "isns.a.a.",
            "user:m2 ?m2 busy / user:m2 ?m2 busy / user:m2|pimlo:r2",
            "sk-test my-model: persona,user:m2");
        row("shutdown", "sD.", "user:m1 ?m1 busy");
        // A responder that ignores the cancel holds up shutdown() for its 2 s, no longer.
        row("shutdown, responder ignores the cancel", "isDa.", "user:m1 ?m1 busy");
        row("destroyed", "sX.", "destroyed");
        row("destroyed, reply queued", "isqX.", "destroyed");
        row("no key, then one", "ks.gra.",
            "user:m1 !no key ?m1 settings / user:m1|pimlo:r1 settings",
            "sk-new my-model: persona,user:m1");
        row("empty key", "Ks.", "user:m1 !no key ?m1 settings");
        row("key unreadable, ChatFailure", "cs.", "user:m1 !钥匙串被锁住了。 ?m1");
        row("key unreadable, other error", "os.", "user:m1 !unreadable ?m1");
    }
    void script()
    {
        QFETCH(QString, script);
        QFETCH(QString, sent);
        Harness h;
        h.run(script);
        QTEST(h.trace.join(" / "), "states");
        if (!sent.isEmpty())
            QCOMPARE(h.lastSent(), sent);
    }

    // The budget counts user-perceived characters of the persona, the history and the message.
    void budget()
    {
        const QString family =
            QStringLiteral("👨‍👩‍👧‍👦"); // seven code points, one character
        // Each code point of the persona is a character of its own.
        const auto persona = QString::fromStdString(ChatModel::persona().content).toUcs4().size();
        for (const int total : {119'999, 120'000}) { // just fits, one too many
            Harness h;
            h.fake.next({FakeOutcome::Answer, family.repeated(70'000).toStdString()});
            for (const QString &text :
                 {QStringLiteral("hi"), family.repeated(total - persona - 70'002)}) {
                h.model->setDraft(text);
                h.model->send();
                h.settle(true);
            }
            QCOMPARE(h.model->error(),
                     total < 120'000 ? std::nullopt : std::optional(sentences[4].second));
            QCOMPARE(h.model->lines().size(), total < 120'000 ? 4 : 3);
        }
    }
};

QTEST_GUILESS_MAIN(ChatModelTest)
#include "ChatModelTest.moc"
