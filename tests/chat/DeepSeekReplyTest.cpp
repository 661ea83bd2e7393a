#include "TestHttpServer.h"

#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/DeepSeekClient.h"
#include "chat/client/TransportError.h"

#include <QtTest>

#include <unistd.h>

#include <cstdlib>
#include <thread>

using namespace pimlo;
using pimlo::test::TestHttpServer;
using namespace std::chrono_literals;

namespace {

const std::string okBody = R"({"choices":[{"message":{"content":"你好"},"finish_reason":"stop"}]})";
const std::vector<APIMessage> conversation = {{"system", "persona"}, {"user", "hi"}};
const QString noReply = QStringLiteral("!没有收到有效回复，请重试。");
int lastCurlCode = 0;

// The reply text, "!" and a ChatFailure's sentence, or "#" and a TransportError's kind.
QString post(const std::string &base, CancelToken *cancel = nullptr,
             const TransportLimits &limits = {}, const std::string &key = "sk-test")
{
    setenv("PIMLO_API_BASE", base.c_str(), 1);
    try {
        return QString::fromStdString(
            DeepSeekClient::reply(conversation, key, "deepseek-flash", cancel, limits));
    } catch (const ChatFailure &failure) {
        return u'!' + QString::fromUtf8(failure.what());
    } catch (const TransportError &error) {
        lastCurlCode = error.curlCode();
        if (std::string(error.what()).find(key) != std::string::npos)
            return "key leaked";
        using Kind = TransportError::Kind;
        return error.kind() == Kind::Failed     ? "#failed"
               : error.kind() == Kind::TimedOut ? "#timed out"
                                                : "#cancelled";
    }
}

QByteArray lastStderr; // what the last call wrote there

// post(), or "key leaked" when the key shows on stderr.
QString call(const std::string &base, CancelToken *cancel = nullptr,
             const TransportLimits &limits = {}, const std::string &key = "sk-test")
{
    QTemporaryFile log;
    static_cast<void>(log.open());
    const int saved = dup(STDERR_FILENO);
    dup2(log.handle(), STDERR_FILENO);
    const QString result = post(base, cancel, limits, key);
    dup2(saved, STDERR_FILENO);
    close(saved);
    log.seek(0); // the offset moved with the writes to stderr
    lastStderr = log.readAll();
    return lastStderr.contains(QByteArray::fromStdString(key)) ? "key leaked" : result;
}

// Reads the request and sends the bytes; with no bytes, closes without reading.
TestHttpServer::Handler answer(std::string bytes)
{
    return [bytes](TestHttpServer &server, int fd) {
        if (!bytes.empty()) {
            server.readRequest(fd);
            server.send(fd, bytes);
        }
    };
}

// Never answers: waits until the peer gives up or the server stops.
void stall(TestHttpServer &server, int fd)
{
    server.readRequest(fd);
    server.hold(fd, 60s);
}

// Sends a byte every 50 ms of a body that never completes.
void drip(TestHttpServer &server, int fd)
{
    server.readRequest(fd);
    server.send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    while (server.send(fd, "{") && server.hold(fd, 50ms)) {
    }
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
        // Loopback is always reached directly, never through this dead proxy.
        setenv("http_proxy", "http://127.0.0.1:1", 1);
        setenv("ALL_PROXY", "http://127.0.0.1:1", 1);
    }

    void success()
    {
        TestHttpServer server(
            answer(TestHttpServer::response(200, okBody, "Set-Cookie: session=1; Path=/\r\n")));
        QCOMPARE(call(server.base()), "你好");
        QCOMPARE(call(server.base()), "你好");

        const auto requests = server.requests();
        QCOMPARE(server.connections(), 2); // one fresh connection per call
        QCOMPARE(requests.size(), std::size_t(2));
        QVERIFY(requests[0].starts_with("POST /chat/completions HTTP/1.1\r\n"));
        QVERIFY(requests[0].find("\r\nAuthorization: Bearer sk-test\r\n") != std::string::npos);
        QVERIFY(requests[0].find("\r\nContent-Type: application/json\r\n") != std::string::npos);
        const std::string body = DeepSeekClient::request(conversation, "k", "deepseek-flash").body;
        QVERIFY(requests[0].ends_with("\r\n\r\n" + body));
        QVERIFY(requests[1].find("Cookie:") == std::string::npos); // no cookies kept
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        for (auto [status, sentence] : {std::pair(301, "连接失败（HTTP 301），请稍后重试。"),
                                        {401, "API Key 无效或已失效，请在右上角重新填写。"},
                                        {503, "DeepSeek 暂时不可用，请稍后重试。"},
                                        {600, "连接失败（HTTP 600），请稍后重试。"}})
            QTest::addRow("%d", status)
                << QByteArray::fromStdString(TestHttpServer::response(status, R"({"error":"x"})"))
                << u'!' + QString::fromUtf8(sentence);

        const QString notHttp = QStringLiteral("!网络响应异常，请重试。");
        QTest::newRow("ssh banner") << QByteArray("SSH-2.0-OpenSSH_9.2p1\r\n") << notHttp;
        QTest::newRow("binary") << QByteArray("\x16\x03\x01\x00\xff garbage", 14) << notHttp;
        QTest::newRow("bad status line") << QByteArray("HTTP/1.1 abc nonsense\r\n\r\n") << notHttp;
        QTest::newRow("closed at once") << QByteArray() << "#failed";

        // Valid JSON padded with white space, announced by Content-Length or close-delimited.
        const auto padded = [](int status, bool announced, std::size_t size) {
            std::string body = okBody;
            body.resize(size, ' ');
            std::string head = "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n";
            if (announced)
                head += "Content-Length: " + std::to_string(size) + "\r\n";
            return QByteArray::fromStdString(head + "\r\n" + body);
        };
        const std::size_t cap = DeepSeekClient::maxBodyBytes;
        QTest::newRow("exactly the cap") << padded(200, true, cap) << "你好";
        QTest::newRow("over the cap, announced") << padded(200, true, cap + 1) << noReply;
        QTest::newRow("over the cap, streamed") << padded(200, false, cap + 1) << noReply;
        QTest::newRow("over the cap, error status")
            << padded(500, false, 3 * cap) << QStringLiteral("!DeepSeek 暂时不可用，请稍后重试。");
    }
    void answers()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        TestHttpServer server(answer(bytes.toStdString()));
        QCOMPARE(call(server.base()), expected);
        QCOMPARE(server.connections(), 1); // never re-sent
    }

    void redirectIsNotFollowed()
    {
        TestHttpServer target(answer(TestHttpServer::response(200, okBody)));
        TestHttpServer server(answer(TestHttpServer::response(
            302, "", "Location: " + target.base() + "/chat/completions\r\n")));
        QCOMPARE(call(server.base()), QStringLiteral("!连接失败（HTTP 302），请稍后重试。"));
        QCOMPARE(server.connections(), 1);
        QCOMPARE(target.connections(), 0); // the key never reached the target
    }

    void nothingListening()
    {
        const int port = TestHttpServer([](TestHttpServer &, int) {}).port();
        QCOMPARE(call("http://127.0.0.1:" + std::to_string(port)), "#failed");
        QVERIFY2(lastStderr.startsWith("Pimlo chat: no reply from 127.0.0.1: Failed to connect") &&
                     lastStderr.count('\n') == 1,
                 lastStderr);
    }

    void limits_data()
    {
        QTest::addColumn<bool>("dripping");
        QTest::addColumn<int>("idleMs");
        QTest::addColumn<int>("totalMs");
        QTest::addColumn<int>("atLeastMs");
        QTest::newRow("stall hits the idle limit") << false << 300 << 30'000 << 0;
        // Each byte renews the idle limit, so only the total limit can end a drip.
        QTest::newRow("drip hits the total limit") << true << 1000 << 2000 << 1900;
    }
    void limits()
    {
        QFETCH(bool, dripping);
        QFETCH(int, idleMs);
        QFETCH(int, totalMs);
        QFETCH(int, atLeastMs);
        TestHttpServer server(dripping ? drip : stall);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(call(server.base(), nullptr,
                      {std::chrono::milliseconds(idleMs), std::chrono::milliseconds(totalMs)}),
                 "#timed out");
        QVERIFY(clock.elapsed() >= atLeastMs);
        QVERIFY(clock.elapsed() < 20'000); // not the test's own far-off limits
        QCOMPARE(server.connections(), 1);
    }

    void cancel()
    {
        TestHttpServer server(stall);
        CancelToken token;
        QString result;
        std::thread worker([&] { result = call(server.base(), &token, {30s, 60s}); });
        QVERIFY(server.waitForRequests(1));
        QElapsedTimer clock;
        clock.start();
        token.cancel();
        worker.join();
        QVERIFY2(clock.elapsed() < 5'000, "cancel must end the transfer, not a timeout");
        QCOMPARE(result, "#cancelled");
        // A token cancelled before the call sends nothing.
        QCOMPARE(call(server.base(), &token), "#cancelled");
        QCOMPARE(server.connections(), 1);
        QCOMPARE(server.requests().size(), std::size_t(1));
    }

    void keyOnlyOverHttpsOrLoopback_data()
    {
        QTest::addColumn<QString>("base"); // %1: the server's port
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QString>("expected"); // the outcome contains it
        QTest::addColumn<bool>("sent");
        const QByteArray key = "sk-test";
        QTest::newRow("mixed case") << "hTtP://LocalHost:%1" << key << "你好" << true;
        QTest::newRow("0.0.0.0") << "http://0.0.0.0:%1" << key << "PIMLO_API_BASE" << false;
        QTest::newRow("v4-mapped")
            << "http://[::ffff:127.0.0.1]:%1" << key << "PIMLO_API_BASE" << false;
        QTest::newRow("ftp") << "ftp://127.0.0.1:%1" << key << "PIMLO_API_BASE" << false;
        // A line break would smuggle extra headers into the request.
        QTest::newRow("key with line break")
            << "http://127.0.0.1:%1" << QByteArray("sk-a\r\nX-Evil: 1") << "API Key 无效" << false;
    }
    void keyOnlyOverHttpsOrLoopback()
    {
        QFETCH(QString, base);
        QFETCH(QByteArray, key);
        QFETCH(QString, expected);
        QFETCH(bool, sent);
        TestHttpServer server(answer(TestHttpServer::response(200, okBody)));
        const QString got =
            call(base.arg(server.port()).toStdString(), nullptr, {}, key.toStdString());
        QVERIFY2(got.contains(expected), qPrintable(got));
        QCOMPARE(got.startsWith(u'!'), !sent);
        QCOMPARE(server.connections(), sent ? 1 : 0);
    }

    void selfSignedCertificateIsRefused()
    {
        QTemporaryDir dir;
        const QString cert = dir.filePath("cert.pem");
        const QString key = dir.filePath("key.pem");
        QProcess make;
        make.start("openssl",
                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                    "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
        QVERIFY(make.waitForFinished(30'000) && make.exitCode() == 0);

        QProcess tls;
        tls.start("openssl", {"s_server", "-accept", "127.0.0.1:0", "-cert", cert, "-key", key,
                              "-www", "-naccept", "5"});
        auto stop = qScopeGuard([&] {
            tls.kill();
            tls.waitForFinished();
        });
        const QRegularExpression accept(QStringLiteral("ACCEPT 127\\.0\\.0\\.1:(\\d+)"));
        QByteArray output;
        QRegularExpressionMatch port;
        while (!port.hasMatch() && tls.waitForReadyRead(10'000))
            port = accept.match(QString::fromUtf8(output += tls.readAllStandardOutput()));
        QVERIFY2(port.hasMatch(), output.constData());

        QCOMPARE(call("https://127.0.0.1:" + port.captured(1).toStdString()), "#failed");
        QCOMPARE(lastCurlCode, 60); // CURLE_PEER_FAILED_VERIFICATION
        QVERIFY2(lastStderr.startsWith("Pimlo chat: no reply from 127.0.0.1: SSL certificate"),
                 lastStderr);
    }
};

QTEST_GUILESS_MAIN(DeepSeekReplyTest)
#include "DeepSeekReplyTest.moc"
