#include "TestHttpServer.h"

#include "chat/model/ChatModel.h"
#include "chat/model/ReplyJob.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <cstdlib>

using namespace pimlo;
using pimlo::test::TestHttpServer;
using namespace std::chrono_literals;

// The model with its real responder (DeepSeekClient) against a server of the test's own.
class ChatTurnTest final : public QObject
{
    Q_OBJECT

    // A model with a stored key that sends text to server.
    static std::unique_ptr<ChatModel> send(const TestHttpServer &server, const QString &text)
    {
        setenv("PIMLO_API_BASE", server.base().c_str(), 1);
        auto chat =
            std::make_unique<ChatModel>([] { return std::optional<std::string>("sk-test"); });
        chat->setDraft(text);
        chat->send();
        return chat;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("PimloTest"));
        QCoreApplication::setApplicationName(QStringLiteral("ChatTurnTest"));
        QSettings().clear();
        for (const char *name :
             {"http_proxy", "HTTPS_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"})
            unsetenv(name);
    }
    void cleanup() { QVERIFY(ReplyJob::waitForDone(30'000)); }

    void turn_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error"); // null: the reply is shown
        QTest::newRow("reply") << 200
                               << QByteArray(R"({"choices":[{"message":{"content":"你好呀！"},)"
                                             R"("finish_reason":"stop"}]})")
                               << QString();
        QTest::newRow("401") << 401 << QByteArray(R"({"error":"bad key"})")
                             << QStringLiteral("API Key 无效或已失效，请在右上角重新填写。");
    }
    void turn()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        TestHttpServer server([&](TestHttpServer &server, int fd) {
            server.readRequest(fd);
            server.send(fd, TestHttpServer::response(status, body.toStdString()));
        });
        auto chat = send(server, QStringLiteral(" 你好 \n"));
        QTRY_VERIFY_WITH_TIMEOUT(!chat->busy(), 30'000);
        QCOMPARE(chat->error(), error.isNull() ? std::nullopt : std::optional(error));
        QCOMPARE(chat->lines().last().text(), error.isNull() ? "你好呀！" : "你好");

        const std::string request = server.requests().at(0);
        QVERIFY(request.find("\r\nAuthorization: Bearer sk-test\r\n") != std::string::npos);
        const std::string sent = request.substr(request.find("\r\n\r\n") + 4);
        for (const std::string &part :
             {std::string(R"("model":"deepseek-flash")"), ChatModel::persona().content,
              std::string(R"({"role":"user","content":"你好"})")})
            QVERIFY2(sent.find(part) != std::string::npos, part.c_str());
    }

    // stop() ends the transfer itself, though the server never answers.
    void stopEndsTheTransfer()
    {
        TestHttpServer server([](TestHttpServer &server, int fd) {
            server.readRequest(fd);
            server.hold(fd, 60s);
        });
        auto chat = send(server, QStringLiteral("hi"));
        QVERIFY(server.waitForRequests(1));
        chat->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!chat->busy(), 30'000);
        QCOMPARE(chat->error(), std::optional<QString>("已停止回复，可以重试。"));
    }
};

QTEST_GUILESS_MAIN(ChatTurnTest)
#include "ChatTurnTest.moc"
