// The key store's decisions over a fake backend, and over the real Secret Service backend inside
// keyring-session.sh (a private bus with or without a real gnome-keyring-daemon).
#include "chat/client/CredentialStore.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/LibsecretBackend.h"

#include <QtTest>

using namespace pimlo;
using namespace std::chrono_literals;

namespace {

// Answers each primitive call with the next preset status (s: success, n: not found, f or
// none left: failure) and records the calls.
class FakeBackend final : public SecretBackend
{
public:
    QByteArray answers;
    std::optional<std::string> data;
    QStringList calls;
    std::string bytes; // last written

    SecretLookup copyMatching() override { return {next("copy"), data}; }
    SecretStatus update(const std::string &b) override { return next("update", &b); }
    SecretStatus add(const std::string &b) override { return next("add", &b); }
    SecretStatus remove() override { return next("delete"); }

private:
    SecretStatus next(const QString &call, const std::string *written = nullptr)
    {
        calls << call;
        if (written)
            bytes = *written;
        const auto answer = SecretStatus(QByteArray("snf").indexOf((answers + 'f').front()));
        answers.remove(0, 1);
        return answer;
    }
};

// The outcome of operation ("read", "save" or "delete"): the key read in quotes, "none", empty
// for a done save or delete, or "!" and the failure sentence.
QString outcome(const QString &operation, SecretBackend &backend, const std::string &key = {})
{
    try {
        if (operation == "read") {
            const auto read = CredentialStore::read(backend);
            return read ? '"' + QString::fromStdString(*read) + '"' : "none";
        }
        if (operation == "save")
            CredentialStore::save(backend, key);
        else
            CredentialStore::remove(backend);
    } catch (const ChatFailure &failure) {
        return u'!' + QString::fromUtf8(failure.what());
    }
    return {};
}

// What secret-tool (an independent Secret Service client) sees of our item; "search --all" starts
// each item with "[/path]".
QByteArray secretTool(const QStringList &command)
{
    QProcess tool;
    tool.start("secret-tool",
               command + QStringList{"service", "local.pimlo.deepseek", "account", "api-key"});
    return tool.waitForFinished(20'000) ? tool.readAllStandardOutput() : "did not finish";
}

const QString readFailed = QStringLiteral("!无法读取钥匙串，请解锁电脑后重试。");
const QString updateFailed = QStringLiteral("!钥匙串保存失败，原密钥未更新。");
const QString deleteFailed = QStringLiteral("!无法删除钥匙串中的密钥。");

} // namespace

class CredentialStoreTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // Never the developer's own keyring.
        if (QByteArray(QTest::currentTestFunction()) != "decisions" &&
            qEnvironmentVariableIsEmpty("PIMLO_KEYRING_SESSION"))
            QSKIP("runs only inside keyring-session.sh");
    }

    void decisions_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<QByteArray>("data"); // what copy-matching returns; null for nothing
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *operation, const char *answers,
                            const char *data, const char *calls, const QString &expected) {
            QTest::newRow(name) << QString(operation) << QByteArray(answers) << QByteArray(data)
                                << QString(calls) << expected;
        };
        const QString addFailed = QStringLiteral("!无法保存到钥匙串，请检查钥匙串是否已解锁。");
        row("read", "read", "s", "密钥 ", "copy", "\"密钥 \"");
        row("read not found", "read", "n", nullptr, "copy", "none");
        row("read no data", "read", "s", nullptr, "copy", readFailed);
        row("read invalid utf-8", "read", "s", "sk-\xff\xfe", "copy", readFailed);
        row("read fails", "read", "f", nullptr, "copy", readFailed);
        row("update path", "save", "s", nullptr, "update", "");
        row("add path", "save", "ns", nullptr, "update add", "");
        row("add fails", "save", "nf", nullptr, "update add", addFailed);
        row("add finds one", "save", "nn", nullptr, "update add", addFailed);
        row("update fails, no add", "save", "fs", nullptr, "update", updateFailed);
        row("delete not found", "delete", "n", nullptr, "delete", "");
        row("delete fails", "delete", "f", nullptr, "delete", deleteFailed);
    }
    void decisions()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, answers);
        FakeBackend backend;
        backend.answers = answers;
        if (!data.isNull())
            backend.data = data.toStdString();
        const std::string key = "  sk-密钥\t"; // stored exactly, not trimmed
        QTEST(outcome(operation, backend, key), "expected");
        QTEST(backend.calls.join(' '), "calls");
        if (operation == "save")
            QCOMPARE(backend.bytes, key);
    }

    void liveKeyring()
    {
        SecretBackend &store = CredentialStore::defaultBackend(); // as the product uses it
        QCOMPARE(outcome("save", store, "sk-first"), QString());  // the first item
        QCOMPARE(outcome("read", store), "\"sk-first\"");
        const std::string wide = " 密钥-ключ-🔑\t";
        QCOMPARE(outcome("save", store, wide), QString());                 // replaced in place
        QCOMPARE(secretTool({"lookup"}), QByteArray::fromStdString(wide)); // bytes unchanged
        QCOMPARE(store.add("sk-other"), SecretStatus::Failure);            // never a second item
        QCOMPARE(('\n' + secretTool({"search", "--all"})).count("\n["), 1);

        QCOMPARE(outcome("delete", store), QString());
        QCOMPARE(secretTool({"search", "--all"}), "");
        QCOMPARE(outcome("delete", store), QString()); // again: fine
        QCOMPARE(outcome("read", store), "none");
    }

    void lockedItemIsAFailure()
    {
        LibsecretBackend backend(5s, 3s);
        QCOMPARE(outcome("save", backend, "sk-locked"), QString());
        QProcess lock;
        lock.start("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.secrets",
                                 "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
                                 "array:objpath:/org/freedesktop/secrets/collection/login"});
        QVERIFY(lock.waitForFinished(10'000) && lock.exitCode() == 0);

        // No one can answer the unlock prompt here: not found would be a lie.
        QCOMPARE(outcome("read", backend), readFailed);
        QCOMPARE(outcome("save", backend, "sk-new"), updateFailed);

        // The user types the password into the prompt: deleting unlocks as reading does.
        QFile answer(QDir::home().filePath("prompt-answer"));
        QVERIFY(answer.open(QIODevice::WriteOnly));
        QCOMPARE(outcome("delete", backend), QString());
    }

    void noService()
    {
        // Short limits keep a hung service from holding the test; the product uses 5 s.
        LibsecretBackend backend(1s, 1s);
        QCOMPARE(outcome("read", backend), readFailed);
        QCOMPARE(outcome("save", backend, "sk-x"), updateFailed);
        QCOMPARE(outcome("delete", backend), deleteFailed);
    }
};

QTEST_GUILESS_MAIN(CredentialStoreTest)
#include "CredentialStoreTest.moc"
