// The wire format of the chat client, and reply() and a whole turn of the model against servers
// of the test's own on 127.0.0.1 (plain HTTP and TLS).
#include "StderrCapture.h"
#include "TestHttpServer.h"

#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/DeepSeekClient.h"
#include "chat/client/TransportError.h"
#include "chat/model/ChatModel.h"
#include "chat/model/ReplyJob.h"

#include <QUdpSocket>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <cstdlib>

using namespace pimlo;
using pimlo::test::TestHttpServer;
using Mode = TestHttpServer::Mode;

namespace {

const QString noReply = QStringLiteral("!没有收到有效回复，请重试。");
const QByteArray okBody = R"({"choices":[{"message":{"content":"你好"},"finish_reason":"stop"}]})";
QStringList lastLog; // what the last call wrote to stderr

// What the user sees of f(): the reply text, "!" and a ChatFailure's sentence, or "#" and a
// TransportError's kind; "key leaked" when the key shows in the error or on stderr.
template <typename F> QString outcome(F &&f)
{
    const StderrCapture capture;
    QString result;
    try {
        result = QString::fromStdString(f());
    } catch (const ChatFailure &failure) {
        result = u'!' + QString::fromUtf8(failure.what());
    } catch (const TransportError &error) {
        using Kind = TransportError::Kind;
        result = QString(error.what()).contains("sk-test") ? "key leaked"
                 : error.kind() == Kind::Failed            ? "#failed"
                 : error.kind() == Kind::TimedOut          ? "#timed out"
                                                           : "#cancelled";
    }
    lastLog = capture.lines();
    return lastLog.join('\n').contains("sk-test") ? "key leaked" : result;
}

QString call(const std::string &base, CancelToken *cancel = nullptr,
             const TransportLimits &limits = {})
{
    setenv("PIMLO_API_BASE", base.c_str(), 1);
    return outcome([&] {
        return DeepSeekClient::reply({{"user", "hi"}}, "sk-test", "deepseek-flash", cancel, limits);
    });
}

std::unique_ptr<ChatModel> send(const std::string &base, const QString &text)
{
    setenv("PIMLO_API_BASE", base.c_str(), 1);
    auto chat = std::make_unique<ChatModel>([] { return std::optional<std::string>("sk-test"); });
    chat->setDraft(text);
    chat->send();
    return chat;
}

QByteArray reply(const QByteArray &content, const QByteArray &finish = "\"stop\"")
{
    return R"({"choices":[{"index":0,"message":{"role":"assistant","content":)" + content +
           R"(},"finish_reason":)" + finish + "}]}";
}

QByteArray choices(const QByteArray &first, const QByteArray &second)
{
    return R"({"choices":[{"message":{"content":")" + first + "\"}}," + second + "]}";
}

const char *const expectedBody =
    R"({"model":"deepseek-flash","messages":[)"
    R"({"role":"system","content":"你是 Pimlo"},)"
    "{\"role\":\"user\",\"content\":\"hi \\\"x\\\"\\n\"}],"
    R"("stream":false,"max_tokens":2048,"thinking":{"type":"disabled"}})";

} // namespace

class DeepSeekClientTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        // Loopback is always reached directly, never through this dead proxy.
        for (const char *name : {"http_proxy", "https_proxy", "all_proxy"})
            setenv(name, "http://127.0.0.1:1", 1);
        for (const char *name : {"no_proxy", "NO_PROXY"})
            unsetenv(name);
    }
    void cleanup() { QVERIFY(ReplyJob::waitForDone(30'000)); }

    void request()
    {
        setenv("PIMLO_API_BASE", "", 1);
        const auto request = DeepSeekClient::request(
            {{"system", "你是 Pimlo"}, {"user", "hi \"x\"\n"}}, "sk-K", "deepseek-flash");
        QCOMPARE(request.url, std::string("https://api.deepseek.com/chat/completions"));
        QCOMPARE(request.idleTimeout, std::chrono::seconds(90));
        QCOMPARE(request.header("authorization"), std::string("Bearer sk-K"));
        QCOMPARE(request.header("Content-Type"), std::string("application/json"));
        // The exact text pins the key order on the wire.
        QCOMPARE(request.body, std::string(expectedBody));
        setenv("PIMLO_API_BASE", "http://127.0.0.1:8080/v1//", 1);
        QCOMPARE(DeepSeekClient::endpoint(),
                 std::string("http://127.0.0.1:8080/v1/chat/completions"));

        // A writer error must not look like a sentence for the user.
        QVERIFY_THROWS_EXCEPTION(nlohmann::json::exception,
                                 DeepSeekClient::request({{"user", "bad \xC3\x28"}}, "k", "m"));
        // A line break in a stored key would inject a header.
        QVERIFY_THROWS_EXCEPTION(ChatFailure,
                                 DeepSeekClient::request({}, "sk-a\r\nX-Evil: 1", "m"));
    }

    // Outside 2xx only the status decides: the body, ours, an error object or no JSON at all, is
    // never shown in place of our sentence.
    void decode_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        const QByteArrayList bodies{reply("\"好的\""),
                                    R"({"error":{"message":"Authentication Fails"}})",
                                    "<html>busy</html>"};
        const auto rows = [&](std::initializer_list<int> statuses, QString expected) {
            for (int status : statuses) {
                for (const QByteArray &body : bodies.mid(0, status / 100 == 2 ? 1 : 3))
                    QTest::addRow("%d %s", status, body.left(10).constData())
                        << status << body
                        << QString(expected).replace("%1", QString::number(status));
            }
        };
        rows({0, 199, 300, 403, 499, 600}, QStringLiteral("!连接失败（HTTP %1），请稍后重试。"));
        rows({200, 299}, QStringLiteral("好的"));
        rows({400, 404, 422}, QStringLiteral("!请求未被接受，请检查模型设置或新建对话后重试。"));
        rows({401}, QStringLiteral("!API Key 无效或已失效，请在右上角重新填写。"));
        rows({402}, QStringLiteral("!DeepSeek 账户余额不足，请充值后重试。"));
        rows({429}, QStringLiteral("!请求过于频繁，请稍后重试。"));
        rows({500, 599}, QStringLiteral("!DeepSeek 暂时不可用，请稍后重试。"));
        const auto row = [](const char *name, const QByteArray &body, const QString &expected) {
            QTest::newRow(name) << 200 << body << expected;
        };
        row("spaces kept", reply("\" hi \""), " hi ");
        row("length suffix", reply("\"hi\"", "\"length\""),
            QStringLiteral("hi\n\n（本次回复达到长度上限，可以让我继续。）"));
        row("null finish_reason", reply("\"a\"", "null"), "a");
        row("extra keys",
            R"({"id":"x","choices":[{"message":{"content":"a","x":[1]},"extra":{}}]})", "a");
        row("first choice only", choices("one", R"({"message":{}})"), "one");
        row("blank first wins", choices(" ", R"({"message":{"content":"two"}})"), noReply);
        row("zero width space is text", reply("\"\\u200b\""), "\u200b");
        row("unicode blank", reply("\" \\t\\r\\n\\u3000\\u00a0\\u2028\\u0085\""), noReply);
        row("null content", reply("null"), noReply);
        row("number content", reply("42"), noReply);
        row("number finish_reason", reply("\"a\"", "1"), noReply);
        row("bad second choice", choices("a", "\"x\""), noReply);
        row("not json", "<html>ok</html>", noReply);
        const QByteArray deep = QByteArray(4 << 20, '[') + QByteArray(4 << 20, ']'); // 8 MiB
        row("nested deeper than any answer", okBody.chopped(1) + ",\"x\":" + deep + "}", noReply);
    }
    void decode()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QTEST(outcome([&] { return DeepSeekClient::decode(body.toStdString(), status); }),
              "expected");
    }

    void turn()
    {
        TestHttpServer server(TestHttpServer::response(200, okBody));
        auto chat = send(server.base(), QStringLiteral(" 你好 \n"));
        QTRY_VERIFY(!chat->busy());
        QCOMPARE(chat->error(), std::nullopt);
        QCOMPARE(chat->lines().last().text(), QStringLiteral("你好"));
        const QByteArray request = server.requests().value(0);
        QVERIFY(request.startsWith("POST /chat/completions HTTP/1.1\r\n"));
        QVERIFY(request.contains("\r\nAuthorization: Bearer sk-test\r\n"));
        const auto sent = DeepSeekClient::request({ChatModel::persona(), {"user", "你好"}},
                                                  "sk-test", "deepseek-flash");
        QVERIFY(request.endsWith("\r\n\r\n" + QByteArray::fromStdString(sent.body)));
    }

    // stop() ends the transfer itself, though the server never answers.
    void stopEndsTheTransfer()
    {
        TestHttpServer server({}, Mode::Stall);
        const StderrCapture log;
        auto chat = send(server.base(), QStringLiteral("hi"));
        QTRY_COMPARE(server.requests().size(), 1);
        chat->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!chat->busy(), 10'000); // not the 90 s idle limit
        QCOMPARE(chat->error(), std::optional<QString>("已停止回复，可以重试。"));
        QCOMPARE(log.lines(), QStringList()); // a stop is no fault to log

        // A token cancelled before the call sends nothing.
        CancelToken token;
        token.cancel();
        QCOMPARE(call(server.base(), &token), "#cancelled");
        QCOMPARE(server.requests().size(), 1);
    }

    // In the namespace of DeepSeekClientTest.lookup a silent socket is the only name server: a
    // stop and a quit still end the exchange at once.
    void stalledLookup()
    {
        for (const bool quit : {false, true}) {
            QUdpSocket dns;
            if (!qEnvironmentVariableIsSet("PIMLO_SILENT_DNS") ||
                !dns.bind(QHostAddress::LocalHost, 53))
                QSKIP("runs only in the namespace of DeepSeekClientTest.lookup");
            setenv("no_proxy", "*", 1); // a proxy would look the name up instead
            const auto chat = send("https://api.pimlo.test", "hi");
            QTRY_VERIFY(dns.hasPendingDatagrams()); // the lookup has begun
            quit ? chat->shutdown() : chat->stop();
            QVERIFY(ReplyJob::waitForDone(200));
        }
    }

    // One exchange with a server that answers bytes in a mode: what the user sees, how often it
    // was reached, and the one log line (none when log is empty).
    void exchange_data()
    {
        QTest::addColumn<QString>("base"); // %1: the server's port
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<QString>("expected"); // the outcome starts with it
        QTest::addColumn<int>("connections");
        QTest::addColumn<QString>("log");
        const auto row = [](const char *name, const char *base, const QByteArray &bytes,
                            const QString &expected, int connections, const QString &log = {},
                            Mode mode = Mode::Answer) {
            QTest::newRow(name) << base << bytes << mode << expected << connections << log;
        };
        const char *local = "http://127.0.0.1:%1";
        const QString failed = QStringLiteral("Pimlo chat: no reply from 127.0.0.1: ");
        const QByteArray ok = TestHttpServer::response(200, okBody);
        row("mixed case loopback", "hTtP://LocalHost:%1", ok, "你好", 1);
        row("0.0.0.0", "http://0.0.0.0:%1", ok, "!为保护 API Key", 0);
        row("v4-mapped", "http://[::ffff:127.0.0.1]:%1", ok, "!为保护 API Key", 0);
        row("ftp", "ftp://127.0.0.1:%1", ok, "!接口地址无效", 0);
        row("nothing listening", "http://127.0.0.1:1", ok, "#failed", 0,
            failed + "Failed to connect");
        row("not http", local, "SSH-2.0-OpenSSH_9.2p1\r\n", "!网络响应异常，请重试。", 1);
        // Not followed: the target is the dead proxy's port.
        row("redirect", local,
            TestHttpServer::response(302, "", "Location: http://127.0.0.1:1/x\r\n"),
            "!连接失败（HTTP 302），请稍后重试。", 1);
        // Valid JSON padded with white space, announced by Content-Length or close-delimited.
        const auto padded = [](int status, bool announced, std::size_t size) {
            QByteArray bytes =
                TestHttpServer::response(status, okBody.leftJustified(qsizetype(size)));
            return announced ? bytes : bytes.replace("Content-Length: ", "X-Length: ");
        };
        const std::size_t cap = DeepSeekClient::maxBodyBytes;
        row("exactly the cap", local, padded(200, true, cap), "你好", 1);
        row("over the cap, announced", local, padded(200, true, cap + 1), noReply, 1);
        row("over the cap, streamed", local, padded(200, false, cap + 1), noReply, 1);
        row("over the cap, error status", local, padded(500, false, 3 * cap),
            "!DeepSeek 暂时不可用，请稍后重试。", 1);
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
        row("stall", local, head, "#timed out", 1, failed + "no data received for 300 ms",
            Mode::Stall);
        row("drip", local, head, "#timed out", 1, failed + "Operation timed out", Mode::Drip);
    }
    void exchange()
    {
        QFETCH(QString, base);
        QFETCH(QByteArray, bytes);
        QFETCH(Mode, mode);
        QFETCH(QString, expected);
        QFETCH(QString, log);
        TestHttpServer server(bytes, mode);
        // A stall meets the idle limit; a drip renews it with every byte, so only its total limit
        // (libcurl's words) can end it.
        const auto idle = std::chrono::milliseconds(mode == Mode::Answer  ? 90'000
                                                    : mode == Mode::Stall ? 300
                                                                          : 500);
        const TransportLimits limits{idle, std::chrono::seconds(mode == Mode::Drip ? 1 : 60)};
        const QString got =
            call(base.replace("%1", QString::number(server.port())).toStdString(), nullptr, limits);
        QVERIFY2(got.startsWith(expected), qPrintable(got));
        QTEST(int(server.requests().size()), "connections"); // never re-sent
        QCOMPARE(lastLog.size(), log.isEmpty() ? 0 : 1);
        QVERIFY2(lastLog.value(0).startsWith(log), qPrintable(lastLog.value(0)));
    }

    void selfSignedCertificateIsRefused()
    {
        // A certificate of its own for 127.0.0.1, in no trust store.
        const QString cert = QFINDTESTDATA("tls/cert.pem"), key = QFINDTESTDATA("tls/key.pem");
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
        QVERIFY2(
            lastLog.value(0).startsWith("Pimlo chat: no reply from 127.0.0.1: SSL certificate"),
            qPrintable(lastLog.value(0)));
    }
};

QTEST_GUILESS_MAIN(DeepSeekClientTest)
#include "DeepSeekClientTest.moc"
