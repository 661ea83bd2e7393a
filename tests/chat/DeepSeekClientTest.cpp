#include "chat/client/DeepSeekClient.h"
#include "chat/client/ChatFailure.h"

#include <QtTest>

#include <cstdlib>

using namespace pimlo;

namespace {

const QString noReply = QStringLiteral("!没有收到有效回复，请重试。");

// The reply text, or "!" and the failure's description (what the user sees).
QString outcome(const QByteArray &body, qint64 status)
{
    try {
        return QString::fromStdString(DeepSeekClient::decode(body.toStdString(), status));
    } catch (const ChatFailure &failure) {
        return u'!' + QString::fromUtf8(failure.what());
    }
}

const char *const expectedBody =
    R"({"model":"deepseek-flash","messages":[)"
    R"({"role":"system","content":"你是 Pimlo"},)"
    R"({"role":"user","content":"hi \"x\"\n"}],)"
    R"("stream":false,"max_tokens":2048,"thinking":{"type":"disabled"}})";

QByteArray reply(const QByteArray &content, const QByteArray &finish = "\"stop\"")
{
    return R"({"choices":[{"index":0,"message":{"role":"assistant","content":)" + content +
           R"(},"finish_reason":)" + finish + "}]}";
}

QByteArray message(const QByteArray &text)
{
    return R"({"message":{"content":")" + text + "\"}}";
}

} // namespace

class DeepSeekClientTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { unsetenv("PIMLO_API_BASE"); }

    void requestCarriesTheConversation()
    {
        const auto request = DeepSeekClient::request(
            {{"system", "你是 Pimlo"}, {"user", "hi \"x\"\n"}}, "sk-K", "deepseek-flash");
        QCOMPARE(request.url, std::string("https://api.deepseek.com/chat/completions"));
        QCOMPARE(request.idleTimeout, std::chrono::seconds(90));
        QCOMPARE(request.header("authorization"), std::string("Bearer sk-K"));
        QCOMPARE(request.header("Content-Type"), std::string("application/json"));
        // The exact text pins the key order on the wire.
        QCOMPARE(request.body, std::string(expectedBody));

        // A writer error must not look like a sentence for the user.
        try {
            DeepSeekClient::request({{"user", "bad \xC3\x28"}}, "k", "m");
            QFAIL("invalid UTF-8 was written");
        } catch (const ChatFailure &) {
            QFAIL("invalid UTF-8 became a ChatFailure");
        } catch (const std::exception &) {
        }
        // A line break in a stored key would inject a header.
        QVERIFY_THROWS_EXCEPTION(ChatFailure,
                                 DeepSeekClient::request({}, "sk-a\r\nX-Evil: 1", "m"));
    }

    void endpoint_data()
    {
        QTest::addColumn<QByteArray>("base");
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("empty") << QByteArray("") << "https://api.deepseek.com/chat/completions";
        QTest::newRow("local") << QByteArray("http://127.0.0.1:8080")
                               << "http://127.0.0.1:8080/chat/completions";
        QTest::newRow("slashes") << QByteArray("https://example.org/v1//")
                                 << "https://example.org/v1/chat/completions";
    }
    void endpoint()
    {
        QFETCH(QByteArray, base);
        QFETCH(QString, endpoint);
        if (!base.isNull())
            setenv("PIMLO_API_BASE", base.constData(), 1);
        QCOMPARE(QString::fromStdString(DeepSeekClient::endpoint()), endpoint);
    }

    void decodeStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        const auto rows = [](std::initializer_list<int> statuses, QString expected) {
            for (int status : statuses)
                QTest::addRow("%d", status)
                    << status << QString(expected).replace("%1", QString::number(status));
        };
        rows({199, 300, 302, 399, 403, 421, 423, 428, 430, 499, 600, -1, 0},
             QStringLiteral("!连接失败（HTTP %1），请稍后重试。"));
        rows({200, 299}, QStringLiteral("好的"));
        rows({400, 404, 422}, QStringLiteral("!请求未被接受，请检查模型设置或新建对话后重试。"));
        rows({401}, QStringLiteral("!API Key 无效或已失效，请在右上角重新填写。"));
        rows({402}, QStringLiteral("!DeepSeek 账户余额不足，请充值后重试。"));
        rows({429}, QStringLiteral("!请求过于频繁，请稍后重试。"));
        rows({500, 599}, QStringLiteral("!DeepSeek 暂时不可用，请稍后重试。"));
    }
    void decodeStatus()
    {
        QFETCH(int, status);
        QFETCH(QString, expected);
        // A well-formed reply body: only the status decides outside 2xx.
        QCOMPARE(outcome(reply("\"好的\""), status), expected);
        // An error body, JSON or not, is never shown in place of our sentence.
        if (status / 100 != 2) {
            const QByteArray error = R"({"error":{"message":"Authentication Fails, key sk-abc"}})";
            QCOMPARE(outcome(error, status), expected);
            QCOMPARE(outcome("<html>busy</html>", status), expected);
        }
    }

    void decodeBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("spaces kept") << reply("\" hi \"") << " hi ";
        QTest::newRow("length suffix")
            << reply("\"hi\"", "\"length\"")
            << QStringLiteral("hi\n\n（本次回复达到长度上限，可以让我继续。）");
        QTest::newRow("LENGTH no suffix") << reply("\"hi\"", "\"LENGTH\"") << "hi";
        QTest::newRow("null finish_reason") << reply("\"a\"", "null") << "a";
        QTest::newRow("extra keys")
            << QByteArray(R"({"id":"x","usage":{"total_tokens":3},)"
                          R"("choices":[{"message":{"content":"a","x":[1]},)"
                          R"("logprobs":null,"extra":{}}],"object":"c"})")
            << "a";
        QTest::newRow("first choice only")
            << "{\"choices\":[" + message("one") + ',' + message("two") + "]}"
            << "one";
        QTest::newRow("blank first wins")
            << "{\"choices\":[" + message(" ") + ',' + message("two") + "]}" << noReply;
        QTest::newRow("zero width space is text")
            << reply("\"\\u200b\"") << QStringLiteral("\u200b");
        QTest::newRow("unicode blank")
            << reply("\" \\t\\r\\n\\u3000\\u00a0\\u2028\\u0085\"") << noReply;
        QTest::newRow("null content") << reply("null") << noReply;
        QTest::newRow("empty choices") << QByteArray(R"({"choices":[]})") << noReply;
        QTest::newRow("not json") << QByteArray("<html>ok</html>") << noReply;
        QTest::newRow("number content") << reply("42") << noReply;
        QTest::newRow("string choices") << QByteArray(R"({"choices":"hello"})") << noReply;
        QTest::newRow("number finish_reason") << reply("\"a\"", "1") << noReply;
        QTest::newRow("bad second choice")
            << "{\"choices\":[" + message("a") + ",\"x\"]}" << noReply;
        QTest::newRow("invalid utf-8") << reply("\"ok \xC3\x28\"") << noReply;
        QTest::newRow("lone surrogate") << reply("\"\\ud800\"") << noReply;
    }
    void decodeBody()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QCOMPARE(outcome(body, 200), expected);
    }
};

QTEST_GUILESS_MAIN(DeepSeekClientTest)
#include "DeepSeekClientTest.moc"
