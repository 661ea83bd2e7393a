#include "chat/client/DeepSeekClient.h"
#include "chat/client/ChatFailure.h"

#include <QtTest>

#include <cstdlib>

using namespace pimlo;

namespace {

const QString noReply = QStringLiteral("没有收到有效回复，请重试。");
const QString rejected = QStringLiteral("请求未被接受，请检查模型设置或新建对话后重试。");
const QString unavailable = QStringLiteral("DeepSeek 暂时不可用，请稍后重试。");
const QString lengthSuffix = QStringLiteral("\n\n（本次回复达到长度上限，可以让我继续。）");

QString connectFailed(int status)
{
    return QStringLiteral("连接失败（HTTP %1），请稍后重试。").arg(status);
}

// The reply text, or the sentence of the ChatFailure prefixed with "!".
QString outcome(const QByteArray &body, qint64 status)
{
    try {
        return QString::fromStdString(DeepSeekClient::decode(body.toStdString(), status));
    } catch (const ChatFailure &failure) {
        return u'!' + QString::fromStdString(failure.message());
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

} // namespace

class DeepSeekClientTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { unsetenv("PIMLO_API_BASE"); }

    void requestCarriesTheConversation()
    {
        const std::vector<APIMessage> messages = {{"system", "你是 Pimlo"}, {"user", "hi \"x\"\n"}};
        const HttpRequest request = DeepSeekClient::request(messages, "sk-K", "deepseek-flash");
        QCOMPARE(request.url, std::string("https://api.deepseek.com/chat/completions"));
        QCOMPARE(request.method, std::string("POST"));
        QCOMPARE(request.idleTimeout, std::chrono::seconds(90));
        QCOMPARE(request.header("authorization"), std::string("Bearer sk-K"));
        QCOMPARE(request.header("Content-Type"), std::string("application/json"));
        // The exact text pins the key order on the wire.
        QCOMPARE(request.body, std::string(expectedBody));
    }

    void requestWithNoMessages()
    {
        const HttpRequest request = DeepSeekClient::request({}, " k ", "m");
        QCOMPARE(request.header("Authorization"), std::string("Bearer  k "));
        QVERIFY(request.body.find(R"("messages":[],)") != std::string::npos);
    }

    void requestRefusesInvalidUtf8WithoutChatFailure()
    {
        bool threw = false;
        try {
            DeepSeekClient::request({{"user", "bad \xC3\x28"}}, "k", "m");
        } catch (const ChatFailure &) {
            QFAIL("a writer error must not look like a sentence for the user");
        } catch (const std::exception &) {
            threw = true;
        }
        QVERIFY(threw);
    }

    void endpointFollowsTheEnvironment_data()
    {
        QTest::addColumn<QByteArray>("base");
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("unset") << QByteArray() << "https://api.deepseek.com/chat/completions";
        QTest::newRow("empty") << QByteArray("") << "https://api.deepseek.com/chat/completions";
        QTest::newRow("local") << QByteArray("http://127.0.0.1:8080")
                               << "http://127.0.0.1:8080/chat/completions";
        QTest::newRow("slashes") << QByteArray("https://example.org/v1//")
                                 << "https://example.org/v1/chat/completions";
    }
    void endpointFollowsTheEnvironment()
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
        const QString ok = QStringLiteral("好的");
        const struct
        {
            int status;
            QString expected;
        } rows[] = {
            {199, connectFailed(199)},
            {200, ok},
            {299, ok},
            {300, connectFailed(300)},
            {302, connectFailed(302)},
            {399, connectFailed(399)},
            {400, rejected},
            {401, QStringLiteral("API Key 无效或已失效，请在右上角重新填写。")},
            {402, QStringLiteral("DeepSeek 账户余额不足，请充值后重试。")},
            {403, connectFailed(403)},
            {404, rejected},
            {421, connectFailed(421)},
            {422, rejected},
            {423, connectFailed(423)},
            {428, connectFailed(428)},
            {429, QStringLiteral("请求过于频繁，请稍后重试。")},
            {430, connectFailed(430)},
            {499, connectFailed(499)},
            {500, unavailable},
            {599, unavailable},
            {600, connectFailed(600)},
            {-1, QStringLiteral("连接失败（HTTP -1），请稍后重试。")},
            {0, connectFailed(0)},
            {100000, QStringLiteral("连接失败（HTTP 100000），请稍后重试。")},
        };
        for (const auto &row : rows) {
            const bool success = row.expected == ok;
            QTest::addRow("%d", row.status)
                << row.status << (success ? row.expected : u'!' + row.expected);
        }
    }
    void decodeStatus()
    {
        QFETCH(int, status);
        QFETCH(QString, expected);
        // A well-formed reply body: only the status decides outside 2xx.
        QCOMPARE(outcome(reply("\"好的\""), status), expected);
    }

    void errorBodiesAreNeverShown_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        const QByteArray error =
            R"({"error":{"message":"Authentication Fails, key sk-abc","type":"x"}})";
        QTest::newRow("401 json") << 401 << error;
        QTest::newRow("400 json") << 400 << error;
        QTest::newRow("503 html") << 503 << QByteArray("<html>busy</html>");
        QTest::newRow("418 json") << 418 << error;
    }
    void errorBodiesAreNeverShown()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        const QString shown = outcome(body, status);
        QVERIFY(shown.startsWith(u'!'));
        QCOMPARE(shown, outcome(QByteArray(), status));
        QVERIFY(!shown.contains(QStringLiteral("sk-abc")));
    }

    void decodeBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        const QString fail = u'!' + noReply;
        QTest::newRow("spaces kept") << reply("\" hi \"") << " hi ";
        QTest::newRow("length suffix") << reply("\"hi\"", "\"length\"") << "hi" + lengthSuffix;
        QTest::newRow("LENGTH no suffix") << reply("\"hi\"", "\"LENGTH\"") << "hi";
        QTest::newRow("no finish_reason")
            << QByteArray(R"({"choices":[{"message":{"content":"a"}}]})") << "a";
        QTest::newRow("null finish_reason") << reply("\"a\"", "null") << "a";
        QTest::newRow("extra keys")
            << QByteArray(R"({"id":"x","usage":{"total_tokens":3},)"
                          R"("choices":[{"message":{"content":"a","x":[1]},)"
                          R"("logprobs":null,"extra":{}}],"object":"c"})")
            << "a";
        QTest::newRow("first choice only")
            << QByteArray(
                   R"({"choices":[{"message":{"content":"one"}},{"message":{"content":"two"}}]})")
            << "one";
        QTest::newRow("blank first wins")
            << QByteArray(
                   R"({"choices":[{"message":{"content":" "}},{"message":{"content":"two"}}]})")
            << fail;
        QTest::newRow("zero width space is text")
            << reply("\"\\u200b\"") << QStringLiteral("\u200b");
        QTest::newRow("escaped unicode")
            << reply("\"\\u4f60\\ud83d\\ude00\"") << QStringLiteral("你😀");
        QTest::newRow("null content") << reply("null") << fail;
        QTest::newRow("no content") << QByteArray(R"({"choices":[{"message":{}}]})") << fail;
        QTest::newRow("unicode blank")
            << reply("\" \\t\\r\\n\\u3000\\u00a0\\u2028\\u0085\"") << fail;
        QTest::newRow("empty choices") << QByteArray(R"({"choices":[]})") << fail;
        QTest::newRow("no choices") << QByteArray(R"({"id":"x"})") << fail;
        QTest::newRow("empty body") << QByteArray() << fail;
        QTest::newRow("not json") << QByteArray("<html>ok</html>") << fail;
        QTest::newRow("truncated") << reply("\"hi\"").chopped(2) << fail;
        QTest::newRow("top-level array") << QByteArray(R"([{"choices":[]}])") << fail;
        QTest::newRow("number content") << reply("42") << fail;
        QTest::newRow("array content") << reply("[\"a\"]") << fail;
        QTest::newRow("string choices") << QByteArray(R"({"choices":"hello"})") << fail;
        QTest::newRow("string message")
            << QByteArray(R"({"choices":[{"message":"hello"}]})") << fail;
        QTest::newRow("null message") << QByteArray(R"({"choices":[{"message":null}]})") << fail;
        QTest::newRow("number finish_reason") << reply("\"a\"", "1") << fail;
        QTest::newRow("bad second choice")
            << QByteArray(R"({"choices":[{"message":{"content":"a"}},"x"]})") << fail;
        QTest::newRow("invalid utf-8 in content") << reply("\"ok \xC3\x28\"") << fail;
        QTest::newRow("lone surrogate escape") << reply("\"\\ud800\"") << fail;
        QTest::newRow("trailing garbage") << reply("\"a\"") + "x" << fail;
    }
    void decodeBody()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QCOMPARE(outcome(body, 200), expected);
    }

    void chatFailureDescriptionIsTheSentence()
    {
        const ChatFailure failure("请求过于频繁，请稍后重试。");
        QCOMPARE(std::string(failure.what()), std::string("请求过于频繁，请稍后重试。"));
        QCOMPARE(failure.message(), std::string(failure.what()));
    }
};

QTEST_GUILESS_MAIN(DeepSeekClientTest)
#include "DeepSeekClientTest.moc"
