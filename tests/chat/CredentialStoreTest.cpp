#include "chat/client/CredentialStore.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/SecretBackend.h"

#include <QtTest>

using namespace pimlo;

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

} // namespace

Q_DECLARE_METATYPE(SecretStatus)

class CredentialStoreTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decisions_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QList<SecretStatus>>("answers");
        QTest::addColumn<QByteArray>("data"); // what copy-matching returns; null for nothing
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("expected"); // "key", none, or "!" and the failure sentence
        const auto ok = SecretStatus::Success, missing = SecretStatus::NotFound,
                   fail = SecretStatus::Failure;
        const QString readFailed = QStringLiteral("!无法读取钥匙串，请解锁电脑后重试。");
        const QString addFailed = QStringLiteral("!无法保存到钥匙串，请检查钥匙串是否已解锁。");
        const QStringList copy{"copy"}, update{"update"}, updateAdd{"update", "add"};
        const QByteArray none;

        QTest::newRow("read") << "read" << QList{ok} << QByteArray("密钥 ") << copy << "\"密钥 \"";
        QTest::newRow("read empty") << "read" << QList{ok} << QByteArray("") << copy << "\"\"";
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
        QTest::newRow("update fails, no add") << "save" << QList{fail, ok} << none << update
                                              << QStringLiteral("!钥匙串保存失败，原密钥未更新。");
        QTest::newRow("delete") << "delete" << QList{ok} << none << QStringList{"delete"} << "";
        QTest::newRow("delete not found")
            << "delete" << QList{missing} << none << QStringList{"delete"} << "";
        QTest::newRow("delete fails") << "delete" << QList{fail} << none << QStringList{"delete"}
                                      << QStringLiteral("!无法删除钥匙串中的密钥。");
    }
    void decisions()
    {
        QFETCH(QString, operation);
        QFETCH(QList<SecretStatus>, answers);
        QFETCH(QByteArray, data);
        QFETCH(QStringList, calls);
        QFETCH(QString, expected);
        FakeBackend backend;
        backend.answers = answers;
        if (!data.isNull())
            backend.data = data.toStdString();
        const std::string key = "  sk-密钥\t"; // stored exactly, not trimmed
        QString got;
        try {
            if (operation == "read") {
                const auto read = CredentialStore::read(backend);
                got = read ? '"' + QString::fromStdString(*read) + '"' : "none";
            } else if (operation == "save") {
                CredentialStore::save(backend, key);
            } else {
                CredentialStore::remove(backend);
            }
        } catch (const ChatFailure &failure) {
            got = u'!' + QString::fromUtf8(failure.what());
        }
        QCOMPARE(got, expected);
        QCOMPARE(backend.calls, calls);
        if (operation == "save")
            QCOMPARE(backend.bytes, key);
    }
};

QTEST_GUILESS_MAIN(CredentialStoreTest)
#include "CredentialStoreTest.moc"
