// Runs under keyring-session.sh: a private bus with or without a real gnome-keyring-daemon.
#include "chat/client/LibsecretBackend.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/CredentialStore.h"

#include <QtTest>

using namespace pimlo;
using namespace std::chrono_literals;

namespace {

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

template <typename F> QString failureOf(F &&operation)
{
    try {
        operation();
    } catch (const ChatFailure &failure) {
        return QString::fromUtf8(failure.what());
    }
    return {};
}

const QString readFailed = QStringLiteral("无法读取钥匙串，请解锁电脑后重试。");
const QString updateFailed = QStringLiteral("钥匙串保存失败，原密钥未更新。");

} // namespace

class LibsecretBackendTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void liveKeyring()
    {
        // The default backend, as the product uses it.
        QCOMPARE(failureOf([] { CredentialStore::remove(); }), QString());
        QCOMPARE(CredentialStore::read(), std::nullopt);

        CredentialStore::save("sk-first");
        QCOMPARE(CredentialStore::read(), std::optional<std::string>("sk-first"));
        const std::string wide = " 密钥-ключ-🔑\t";
        CredentialStore::save(wide); // replaced in place
        QCOMPARE(CredentialStore::read(), std::optional(wide));
        QCOMPARE(secretTool({"lookup"}), QByteArray::fromStdString(wide)); // bytes unchanged
        QCOMPARE(storedItems(), 1);

        LibsecretBackend backend;
        QCOMPARE(backend.add("sk-other"), SecretStatus::Failure); // never a second item
        QCOMPARE(storedItems(), 1);

        CredentialStore::save("");
        QCOMPARE(CredentialStore::read(), std::optional<std::string>(""));

        CredentialStore::remove();
        QCOMPARE(storedItems(), 0);
        QCOMPARE(failureOf([] { CredentialStore::remove(); }), QString()); // again: fine
        QCOMPARE(CredentialStore::read(), std::nullopt);
        QCOMPARE(backend.update("x"), SecretStatus::NotFound);
    }

    void lockedItemIsAFailure()
    {
        CredentialStore::save("sk-locked");
        QProcess lock;
        lock.start("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.secrets",
                                 "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
                                 "array:objpath:/org/freedesktop/secrets/collection/login"});
        QVERIFY(lock.waitForFinished(10'000) && lock.exitCode() == 0);

        // No one can answer the unlock prompt here: not found would be a lie.
        LibsecretBackend backend(5s, 3s);
        QCOMPARE(failureOf([&] { CredentialStore::read(backend); }), readFailed);
        QCOMPARE(failureOf([&] { CredentialStore::save(backend, "sk-new"); }), updateFailed);

        // The user types the password into the prompt: deleting unlocks as reading does.
        QFile answer(QDir::home().filePath("prompt-answer"));
        QVERIFY(answer.open(QIODevice::WriteOnly));
        QCOMPARE(failureOf([&] { CredentialStore::remove(backend); }), QString());
    }

    void noService()
    {
        // Short limits keep a hung service from holding the test; the product uses 5 s.
        LibsecretBackend backend(1s, 1s);
        QCOMPARE(failureOf([&] { CredentialStore::read(backend); }), readFailed);
        QCOMPARE(failureOf([&] { CredentialStore::save(backend, "sk-x"); }), updateFailed);
        QCOMPARE(failureOf([&] { CredentialStore::remove(backend); }),
                 QStringLiteral("无法删除钥匙串中的密钥。"));
    }
};

QTEST_GUILESS_MAIN(LibsecretBackendTest)
#include "LibsecretBackendTest.moc"
