// The key store's decisions over a fake backend, and over the real Secret Service backend inside
// keyring-session.sh (a private bus with or without a real gnome-keyring-daemon).
#include "chat/client/CredentialStore.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/LibsecretBackend.h"

#include <QtTest>

using namespace pimlo;
using namespace std::chrono_literals;

namespace {

// Answers each primitive call with the next preset status and records the calls.
class FakeBackend final : public SecretBackend
{
public:
    QList<SecretStatus> answers;
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
        return answers.isEmpty() ? SecretStatus::Failure : answers.takeFirst();
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

// What secret-tool (an independent Secret Service client) sees of our item.
QByteArray secretTool(const QStringList &command)
{
    QProcess tool;
    tool.start("secret-tool",
               command + QStringList{"service", "local.pimlo.deepseek", "account", "api-key"});
    return tool.waitForFinished(20'000) ? tool.readAllStandardOutput() : "did not finish";
}

int storedItems()
{
    return ('\n' + secretTool({"search", "--all"})).count("\n["); // "[/path]" starts each item
}

const QString readFailed = QStringLiteral("!无法读取钥匙串，请解锁电脑后重试。");
const QString updateFailed = QStringLiteral("!钥匙串保存失败，原密钥未更新。");
const QString deleteFailed = QStringLiteral("!无法删除钥匙串中的密钥。");

} // namespace

Q_DECLARE_METATYPE(SecretStatus)

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
        QTest::addColumn<QList<SecretStatus>>("answers");
        QTest::addColumn<QByteArray>("data"); // what copy-matching returns; null for nothing
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("expected");
        const auto ok = SecretStatus::Success, missing = SecretStatus::NotFound,
                   fail = SecretStatus::Failure;
        const QString addFailed = QStringLiteral("!无法保存到钥匙串，请检查钥匙串是否已解锁。");
        const QStringList copy{"copy"}, update{"update"}, updateAdd{"update", "add"};
        const QStringList del{"delete"};
        const QByteArray none;

        QTest::newRow("read") << "read" << QList{ok} << QByteArray("密钥 ") << copy << "\"密钥 \"";
        QTest::newRow("read not found") << "read" << QList{missing} << none << copy << "none";
        QTest::newRow("read no data") << "read" << QList{ok} << none << copy << readFailed;
        QTest::newRow("read invalid utf-8")
            << "read" << QList{ok} << QByteArray("sk-\xff\xfe") << copy << readFailed;
        QTest::newRow("read fails") << "read" << QList{fail} << none << copy << readFailed;
        QTest::newRow("update path") << "save" << QList{ok} << none << update << "";
        QTest::newRow("add path") << "save" << QList{missing, ok} << none << updateAdd << "";
        QTest::newRow("add fails")
            << "save" << QList{missing, fail} << none << updateAdd << addFailed;
        QTest::newRow("add finds one")
            << "save" << QList{missing, missing} << none << updateAdd << addFailed;
        QTest::newRow("update fails, no add")
            << "save" << QList{fail, ok} << none << update << updateFailed;
        QTest::newRow("delete not found") << "delete" << QList{missing} << none << del << "";
        QTest::newRow("delete fails") << "delete" << QList{fail} << none << del << deleteFailed;
    }
    void decisions()
    {
        QFETCH(QString, operation);
        QFETCH(QList<SecretStatus>, answers);
        QFETCH(QByteArray, data);
        FakeBackend backend;
        backend.answers = answers;
        if (!data.isNull())
            backend.data = data.toStdString();
        const std::string key = "  sk-密钥\t"; // stored exactly, not trimmed
        QTEST(outcome(operation, backend, key), "expected");
        QTEST(backend.calls, "calls");
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
        QCOMPARE(storedItems(), 1);
        QCOMPARE(outcome("save", store, ""), QString());
        QCOMPARE(outcome("read", store), "\"\"");

        QCOMPARE(outcome("delete", store), QString());
        QCOMPARE(storedItems(), 0);
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
