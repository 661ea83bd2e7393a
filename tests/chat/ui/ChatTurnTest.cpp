#include "TestHttpServer.h"

#include "chat/ui/ChatModel.h"
#include "chat/ui/ReplyJob.h"

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

    static std::unique_ptr<ChatModel> model()
    {
        return std::make_unique<ChatModel>([] { return std::optional<std::string>("sk-test"); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("PimloTest"));
        QCoreApplication::setApplicationName(QStringLiteral("ChatTurnTest"));
        QSettings().clear();
        for (const char *name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            unsetenv(name);
    }
    void cleanup() { QVERIFY(ReplyJob::waitForDone(30'000)); }

    void wholeTurn()
    {
        TestHttpServer server([](TestHttpServer &server, int fd) {
            server.readRequest(fd);
            server.send(fd, TestHttpServer::response(
                                200, R"({"choices":[{"message":{"content":"你好呀！"},)"
                                     R"("finish_reason":"stop"}]})"));
        });
        setenv("PIMLO_API_BASE", server.base().c_str(), 1);
        auto chat = model();
        chat->setDraft(QStringLiteral(" 你好 \n"));
        chat->send();
        QVERIFY(chat->busy());
        QTRY_VERIFY_WITH_TIMEOUT(!chat->busy(), 30'000);
        QVERIFY(!chat->error());
        QCOMPARE(chat->lines().size(), 2);
        QCOMPARE(chat->lines()[1].text(), QStringLiteral("你好呀！"));
        QVERIFY(!chat->lines()[1].isUser());

        const std::vector<std::string> requests = server.requests();
        QCOMPARE(requests.size(), std::size_t(1));
        const std::string &request = requests[0];
        QVERIFY(request.find("\r\nAuthorization: Bearer sk-test\r\n") != std::string::npos);
        const std::string body = request.substr(request.find("\r\n\r\n") + 4);
        QVERIFY(body.find(R"("model":"deepseek-flash")") != std::string::npos);
        QVERIFY(body.find(ChatModel::persona().content) != std::string::npos);
        QVERIFY(body.find(R"({"role":"user","content":"你好"})") != std::string::npos);
    }

    void unauthorized()
    {
        TestHttpServer server([](TestHttpServer &server, int fd) {
            server.readRequest(fd);
            server.send(fd, TestHttpServer::response(401, R"({"error":"bad key"})"));
        });
        setenv("PIMLO_API_BASE", server.base().c_str(), 1);
        auto chat = model();
        chat->setDraft(QStringLiteral("hi"));
        chat->send();
        QTRY_VERIFY_WITH_TIMEOUT(!chat->busy(), 30'000);
        QCOMPARE(chat->error(), std::optional<QString>(
                                    QStringLiteral("API Key 无效或已失效，请在右上角重新填写。")));
        QCOMPARE(chat->pending(), std::optional<QString>(QStringLiteral("hi")));
        QCOMPARE(chat->lines().size(), 1);
    }

    // stop() ends the transfer itself: the server that never answers sees the peer go away.
    void stopEndsTheTransfer()
    {
        TestHttpServer server([](TestHttpServer &server, int fd) {
            server.readRequest(fd);
            server.hold(fd, 60s);
        });
        setenv("PIMLO_API_BASE", server.base().c_str(), 1);
        auto chat = model();
        chat->setDraft(QStringLiteral("hi"));
        chat->send();
        QVERIFY(server.waitForRequests(1));
        chat->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!chat->busy(), 30'000);
        QCOMPARE(chat->error(), std::optional<QString>(QStringLiteral("已停止回复，可以重试。")));
    }
};

QTEST_GUILESS_MAIN(ChatTurnTest)
#include "ChatTurnTest.moc"
