#include "chat/client/CredentialStore.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/SecretBackend.h"

#include <QtTest>

using namespace pimlo;

namespace {

const QString readFailed = QStringLiteral("无法读取钥匙串，请解锁电脑后重试。");
const QString addFailed = QStringLiteral("无法保存到钥匙串，请检查钥匙串是否已解锁。");
const QString updateFailed = QStringLiteral("钥匙串保存失败，原密钥未更新。");
const QString deleteFailed = QStringLiteral("无法删除钥匙串中的密钥。");

// Answers each primitive with a preset status and records the calls and bytes it saw.
class FakeBackend final : public SecretBackend
{
public:
    SecretLookup lookup;
    SecretStatus updateStatus = SecretStatus::Success;
    SecretStatus addStatus = SecretStatus::Success;
    SecretStatus removeStatus = SecretStatus::Success;
    QStringList calls;
    std::string bytes;

    SecretLookup copyMatching() override
    {
        calls << "copy";
        return lookup;
    }
    SecretStatus update(const std::string &b) override
    {
        calls << "update";
        bytes = b;
        return updateStatus;
    }
    SecretStatus add(const std::string &b) override
    {
        calls << "add";
        bytes = b;
        return addStatus;
    }
    SecretStatus remove() override
    {
        calls << "delete";
        return removeStatus;
    }
};

// Runs an operation; returns the ChatFailure sentence, or an empty string on success.
template <typename F> QString failureOf(F &&operation)
{
    try {
        operation();
    } catch (const ChatFailure &failure) {
        return QString::fromStdString(failure.message());
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(SecretStatus)

class CredentialStoreTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<SecretStatus>("status");
        QTest::addColumn<QByteArray>("data");   // null: no data came back
        QTest::addColumn<QVariant>("expected"); // string, null for no value, or the failure
        QTest::newRow("key") << SecretStatus::Success << QByteArray("sk-abc") << QVariant("sk-abc");
        QTest::newRow("non-ascii")
            << SecretStatus::Success << QByteArray("密钥 ") << QVariant("密钥 ");
        QTest::newRow("empty is empty") << SecretStatus::Success << QByteArray("") << QVariant("");
        QTest::newRow("not found") << SecretStatus::NotFound << QByteArray() << QVariant();
        QTest::newRow("no data") << SecretStatus::Success << QByteArray() << QVariant(readFailed);
        QTest::newRow("invalid utf-8")
            << SecretStatus::Success << QByteArray("sk-\xff\xfe") << QVariant(readFailed);
        QTest::newRow("failure") << SecretStatus::Failure << QByteArray() << QVariant(readFailed);
    }
    void read()
    {
        QFETCH(SecretStatus, status);
        QFETCH(QByteArray, data);
        QFETCH(QVariant, expected);
        FakeBackend backend;
        backend.lookup.status = status;
        if (!data.isNull())
            backend.lookup.data = data.toStdString();
        std::optional<std::string> key;
        const QString failure = failureOf([&] { key = CredentialStore::read(backend); });
        if (expected.toString() == readFailed) {
            QCOMPARE(failure, readFailed);
        } else {
            QCOMPARE(failure, QString());
            QCOMPARE(key.has_value(), !expected.isNull());
            if (key)
                QCOMPARE(QString::fromStdString(*key), expected.toString());
        }
        QCOMPARE(backend.calls, QStringList{"copy"});
    }

    void save_data()
    {
        QTest::addColumn<SecretStatus>("update");
        QTest::addColumn<SecretStatus>("add");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("failure");
        const auto ok = SecretStatus::Success;
        const auto missing = SecretStatus::NotFound;
        const auto fail = SecretStatus::Failure;
        QTest::newRow("update path") << ok << fail << QStringList{"update"} << QString();
        QTest::newRow("add path") << missing << ok << QStringList{"update", "add"} << QString();
        QTest::newRow("add fails") << missing << fail << QStringList{"update", "add"} << addFailed;
        QTest::newRow("add finds one")
            << missing << missing << QStringList{"update", "add"} << addFailed;
        QTest::newRow("update fails, no add")
            << fail << ok << QStringList{"update"} << updateFailed;
    }
    void save()
    {
        QFETCH(SecretStatus, update);
        QFETCH(SecretStatus, add);
        QFETCH(QStringList, calls);
        QFETCH(QString, failure);
        FakeBackend backend;
        backend.updateStatus = update;
        backend.addStatus = add;
        const std::string key = "  sk-密钥\t"; // stored exactly, not trimmed
        QCOMPARE(failureOf([&] { CredentialStore::save(backend, key); }), failure);
        QCOMPARE(backend.calls, calls);
        QCOMPARE(backend.bytes, key);
    }

    void remove_data()
    {
        QTest::addColumn<SecretStatus>("status");
        QTest::addColumn<QString>("failure");
        QTest::newRow("deleted") << SecretStatus::Success << QString();
        QTest::newRow("nothing stored") << SecretStatus::NotFound << QString();
        QTest::newRow("failure") << SecretStatus::Failure << deleteFailed;
    }
    void remove()
    {
        QFETCH(SecretStatus, status);
        QFETCH(QString, failure);
        FakeBackend backend;
        backend.removeStatus = status;
        QCOMPARE(failureOf([&] { CredentialStore::remove(backend); }), failure);
        QCOMPARE(backend.calls, QStringList{"delete"});
    }
};

QTEST_GUILESS_MAIN(CredentialStoreTest)
#include "CredentialStoreTest.moc"
