#include "TestHttpServer.h"

#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/DeepSeekClient.h"
#include "chat/client/TransportError.h"

#include <QtTest>

#include <cstdlib>
#include <optional>
#include <thread>

using namespace pimlo;
using pimlo::test::TestHttpServer;
using namespace std::chrono_literals;

namespace {

const std::string okBody = R"({"choices":[{"message":{"content":"你好"},"finish_reason":"stop"}]})";
const std::vector<APIMessage> conversation = {{"system", "persona"}, {"user", "hi"}};

// What one reply call ended with.
struct Result
{
    std::optional<std::string> text;
    std::optional<std::string> sentence;      // ChatFailure
    std::optional<TransportError::Kind> kind; // TransportError
    int curlCode = 0;
};

Result call(const std::string &base, CancelToken *cancel = nullptr,
            const TransportLimits &limits = {}, const std::string &key = "sk-test")
{
    setenv("PIMLO_API_BASE", base.c_str(), 1);
    Result result;
    try {
        result.text = DeepSeekClient::reply(conversation, key, "deepseek-flash", cancel, limits);
    } catch (const ChatFailure &failure) {
        result.sentence = failure.message();
    } catch (const TransportError &error) {
        result.kind = error.kind();
        result.curlCode = error.curlCode();
        // The key must never leak into an error text.
        if (std::string(error.what()).find(key) != std::string::npos)
            result.sentence = "key leaked";
    }
    return result;
}

TestHttpServer::Handler answer(std::string response)
{
    return [response](TestHttpServer &server, int fd) {
        server.readRequest(fd);
        server.send(fd, response);
    };
}

// Waits for the peer to give up (or the server to stop): a server that never answers.
void stall(TestHttpServer &server, int fd)
{
    server.readRequest(fd);
    server.hold(fd, 60s);
}

} // namespace

class DeepSeekReplyTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A proxy from the environment must not get between us and the local server.
        for (const char *name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            unsetenv(name);
    }

    void success()
    {
        TestHttpServer server(
            answer(TestHttpServer::response(200, okBody, "Set-Cookie: session=1; Path=/\r\n")));
        QCOMPARE(call(server.base()).text, std::optional<std::string>("你好"));
        QCOMPARE(call(server.base()).text, std::optional<std::string>("你好"));

        const auto requests = server.requests();
        QCOMPARE(server.connections(), 2); // one fresh connection per call
        QCOMPARE(requests.size(), std::size_t(2));
        const std::string &first = requests[0];
        QVERIFY(first.starts_with("POST /chat/completions HTTP/1.1\r\n"));
        QVERIFY(first.find("\r\nAuthorization: Bearer sk-test\r\n") != std::string::npos);
        QVERIFY(first.find("\r\nContent-Type: application/json\r\n") != std::string::npos);
        const std::string body = DeepSeekClient::request(conversation, "k", "deepseek-flash").body;
        QVERIFY(first.ends_with("\r\n\r\n" + body));
        QVERIFY(requests[1].find("Cookie:") == std::string::npos); // no cookies kept
    }

    void statusClasses_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("301") << 301 << QStringLiteral("连接失败（HTTP 301），请稍后重试。");
        QTest::newRow("401") << 401 << QStringLiteral("API Key 无效或已失效，请在右上角重新填写。");
        QTest::newRow("404") << 404
                             << QStringLiteral("请求未被接受，请检查模型设置或新建对话后重试。");
        QTest::newRow("429") << 429 << QStringLiteral("请求过于频繁，请稍后重试。");
        QTest::newRow("503") << 503 << QStringLiteral("DeepSeek 暂时不可用，请稍后重试。");
        QTest::newRow("600") << 600 << QStringLiteral("连接失败（HTTP 600），请稍后重试。");
    }
    void statusClasses()
    {
        QFETCH(int, status);
        QFETCH(QString, sentence);
        TestHttpServer server(answer(TestHttpServer::response(status, R"({"error":"x"})")));
        QCOMPARE(call(server.base()).sentence, std::optional(sentence.toStdString()));
        QCOMPARE(server.connections(), 1); // never re-sent
    }

    void redirectIsNotFollowed()
    {
        TestHttpServer target(answer(TestHttpServer::response(200, okBody)));
        TestHttpServer server(answer(TestHttpServer::response(
            302, "", "Location: " + target.base() + "/chat/completions\r\n")));
        QCOMPARE(call(server.base()).sentence,
                 std::optional<std::string>("连接失败（HTTP 302），请稍后重试。"));
        QCOMPARE(server.connections(), 1);
        QCOMPARE(target.connections(), 0); // the key never reached the target
    }

    void answersThatAreNotHttp_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ssh banner") << QByteArray("SSH-2.0-OpenSSH_9.2p1\r\n");
        QTest::newRow("binary") << QByteArray("\x16\x03\x01\x00\xff garbage", 14);
        QTest::newRow("bad status line") << QByteArray("HTTP/1.1 abc nonsense\r\n\r\n");
    }
    void answersThatAreNotHttp()
    {
        QFETCH(QByteArray, bytes);
        TestHttpServer server(answer(bytes.toStdString()));
        QCOMPARE(call(server.base()).sentence,
                 std::optional<std::string>("网络响应异常，请重试。"));
        QCOMPARE(server.connections(), 1);
    }

    void connectionClosedAtOnce()
    {
        TestHttpServer server([](TestHttpServer &, int) {}); // accept, then close
        const Result result = call(server.base());
        QCOMPARE(result.kind, std::optional(TransportError::Kind::Failed));
        QVERIFY(!result.sentence);
        QCOMPARE(server.connections(), 1);
    }

    void nothingListening()
    {
        int port = 0;
        {
            TestHttpServer closed([](TestHttpServer &, int) {});
            port = closed.port();
        }
        const Result result = call("http://127.0.0.1:" + std::to_string(port));
        QCOMPARE(result.kind, std::optional(TransportError::Kind::Failed));
    }

    void stallEndsAtTheIdleLimit()
    {
        TestHttpServer server(stall);
        QElapsedTimer clock;
        clock.start();
        const Result result = call(server.base(), nullptr, {300ms, 30s});
        QCOMPARE(result.kind, std::optional(TransportError::Kind::TimedOut));
        QVERIFY2(clock.elapsed() < 20'000, "the idle limit, not the total one, ended the call");
        QCOMPARE(server.connections(), 1);
    }

    void slowDripEndsAtTheTotalLimit()
    {
        TestHttpServer server([](TestHttpServer &server, int fd) {
            server.readRequest(fd);
            server.send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
            while (server.send(fd, "{") && server.hold(fd, 50ms)) {
            }
        });
        QElapsedTimer clock;
        clock.start();
        const Result result = call(server.base(), nullptr, {1000ms, 2000ms});
        QCOMPARE(result.kind, std::optional(TransportError::Kind::TimedOut));
        // Each byte renews the idle limit, so only the total limit can have ended it.
        QVERIFY(clock.elapsed() >= 1900);
        QCOMPARE(server.connections(), 1);
    }

    void cancelMidTransfer()
    {
        TestHttpServer server(stall);
        CancelToken token;
        Result result;
        std::thread worker([&] { result = call(server.base(), &token, {30s, 60s}); });
        QVERIFY(server.waitForRequests(1));
        QElapsedTimer clock;
        clock.start();
        token.cancel();
        worker.join();
        QVERIFY2(clock.elapsed() < 5'000, "cancel must end the transfer, not a timeout");
        QCOMPARE(result.kind, std::optional(TransportError::Kind::Cancelled));
        QCOMPARE(server.connections(), 1);
        QCOMPARE(server.requests().size(), std::size_t(1));
    }

    void cancelBeforeStartSendsNothing()
    {
        TestHttpServer server(answer(TestHttpServer::response(200, okBody)));
        CancelToken token;
        token.cancel();
        QCOMPARE(call(server.base(), &token).kind, std::optional(TransportError::Kind::Cancelled));
        QCOMPARE(server.connections(), 0);
    }

    void bodySizeCap_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("announced"); // Content-Length given or close-delimited
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("expected");
        const qint64 cap = DeepSeekClient::maxBodyBytes;
        const QString noReply = QStringLiteral("!没有收到有效回复，请重试。");
        QTest::newRow("exactly the cap") << 200 << true << cap << QStringLiteral("你好");
        QTest::newRow("over, announced") << 200 << true << cap + 1 << noReply;
        QTest::newRow("over, streamed") << 200 << false << cap + 1 << noReply;
        QTest::newRow("over, error status")
            << 500 << false << 3 * cap << QStringLiteral("!DeepSeek 暂时不可用，请稍后重试。");
    }
    void bodySizeCap()
    {
        QFETCH(int, status);
        QFETCH(bool, announced);
        QFETCH(qint64, size);
        QFETCH(QString, expected);
        std::string body = okBody;
        body.resize(std::size_t(size), ' '); // valid JSON padded with white space
        std::string head = "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n";
        if (announced)
            head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        TestHttpServer server(answer(head + "\r\n" + body));
        const Result result = call(server.base());
        const QString shown = result.text
                                  ? QString::fromStdString(*result.text)
                                  : u'!' + QString::fromStdString(result.sentence.value_or("?"));
        QCOMPARE(shown, expected);
    }

    void keyOnlyOverHttpsOrLoopback_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("127.0.0.1") << "127.0.0.1"
                                   << "http" << true;
        QTest::newRow("localhost") << "LocalHost"
                                   << "http" << true;
        QTest::newRow("0.0.0.0") << "0.0.0.0"
                                 << "http" << false;
        QTest::newRow("v4-mapped") << "[::ffff:127.0.0.1]"
                                   << "http" << false;
        QTest::newRow("ftp") << "127.0.0.1"
                             << "ftp" << false;
    }
    void keyOnlyOverHttpsOrLoopback()
    {
        QFETCH(QString, host);
        QFETCH(QString, scheme);
        QFETCH(bool, allowed);
        TestHttpServer server(answer(TestHttpServer::response(200, okBody)));
        const std::string base =
            (scheme + "://" + host + ':').toStdString() + std::to_string(server.port());
        const Result result = call(base);
        if (allowed) {
            QCOMPARE(result.text, std::optional<std::string>("你好"));
        } else {
            QVERIFY(result.sentence);
            QVERIFY(result.sentence->find("PIMLO_API_BASE") != std::string::npos);
            QCOMPARE(server.connections(), 0); // refused before anything was sent
        }
    }

    void keyWithLineBreakIsNotSent()
    {
        TestHttpServer server(answer(TestHttpServer::response(200, okBody)));
        const Result result = call(server.base(), nullptr, {}, "sk-a\r\nX-Evil: 1");
        QCOMPARE(result.sentence,
                 std::optional<std::string>("API Key 无效或已失效，请在右上角重新填写。"));
        QCOMPARE(server.connections(), 0);
    }

    void selfSignedCertificateIsRefused()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString cert = dir.filePath("cert.pem");
        const QString key = dir.filePath("key.pem");
        QProcess make;
        make.start("openssl",
                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                    "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
        QVERIFY(make.waitForFinished(30'000));
        QCOMPARE(make.exitCode(), 0);

        QProcess tls;
        tls.start("openssl", {"s_server", "-accept", "127.0.0.1:0", "-cert", cert, "-key", key,
                              "-www", "-naccept", "5"});
        auto stop = qScopeGuard([&] {
            tls.kill();
            tls.waitForFinished();
        });
        QRegularExpression accept(QStringLiteral("ACCEPT 127\\.0\\.0\\.1:(\\d+)"));
        QString port;
        QByteArray output;
        while (port.isEmpty() && tls.waitForReadyRead(10'000)) {
            output += tls.readAllStandardOutput();
            const auto match = accept.match(QString::fromUtf8(output));
            if (match.hasMatch())
                port = match.captured(1);
        }
        QVERIFY2(!port.isEmpty(), output.constData());

        const Result result = call("https://127.0.0.1:" + port.toStdString());
        QCOMPARE(result.kind, std::optional(TransportError::Kind::Failed));
        QCOMPARE(result.curlCode, 60); // CURLE_PEER_FAILED_VERIFICATION
    }
};

QTEST_GUILESS_MAIN(DeepSeekReplyTest)
#include "DeepSeekReplyTest.moc"
