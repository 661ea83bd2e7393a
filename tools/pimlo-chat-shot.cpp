// Renders the chat window in a chosen state to PNG, for looking at it and for the README.
//
//   pimlo-chat-shot --state conversation --dark -o chat-dark.png
//
// States: empty (the welcome), conversation (long, short and emoji lines), banner (a failed
// turn waiting), busy (a reply on its way), settings (the API key dialog over the window).

#include "chat/client/ChatFailure.h"
#include "chat/model/ChatModel.h"
#include "chat/window/ChatStyle.h"
#include "chat/window/ChatWindowController.h"
#include "chat/window/PimloChatView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPainter>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <cstdio>

using namespace pimlo;

namespace {

const char *const exchange[][2] = {
    {"你好呀，今天天气怎么样？",
     "你好！我看不到窗外，不过希望你那边阳光正好 ☀️ "
     "要不要出去走走？"},
    {"给我讲个很短的故事吧",
     "从前有一颗小种子，它每天都在土里做梦，梦见自己长成一棵大树。有一天下了一场温柔的雨，它终于"
     "探出头来，发现世界比梦里还要大，还要亮。于是它决定慢慢长大，一点也不着急。🌱"},
    {"👍👍 好可爱", "嘿嘿，谢谢你 🥰"},
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"state", "empty, conversation, banner, busy or settings", "state", "empty"});
    parser.addOption({"dark", "the dark appearance"});
    parser.addOption({{"o", "output"}, "PNG file to write", "file", "chat.png"});
    parser.process(app);
    const QString state = parser.value("state");

    int turn = 0;
    const bool failLast = state == QLatin1String("banner");
    const bool holdLast = state == QLatin1String("busy");
    auto responder = [&turn, failLast, holdLast](const std::vector<APIMessage> &,
                                                 const std::string &, const std::string &,
                                                 CancelToken &) -> std::string {
        const int n = turn++;
        if (failLast && n == int(std::size(exchange)))
            throw ChatFailure("网络连接失败或超时，请检查网络后重试。");
        if (holdLast && n == int(std::size(exchange)))
            QThread::sleep(2);
        return exchange[n % std::size(exchange)][1];
    };
    auto model =
        std::make_unique<ChatModel>([] { return std::optional<std::string>("sk"); }, responder);
    ChatWindowController controller(std::move(model));
    ChatModel &chat = controller.model();
    auto *view = controller.window()->findChild<PimloChatView *>();
    view->applyStyle(ChatStyle::make(parser.isSet("dark"), QApplication::palette(), 13));
    controller.present();

    if (state != QLatin1String("empty") && state != QLatin1String("settings")) {
        for (const auto &pair : exchange) {
            chat.setDraft(QString::fromUtf8(pair[0]));
            chat.send();
            const qsizetype before = chat.lines().size();
            // A shot of the wrong state must not pass for the right one.
            if (!QTest::qWaitFor([&] { return chat.lines().size() > before; })) {
                std::fprintf(stderr, "pimlo-chat-shot: no reply arrived\n");
                return 1;
            }
        }
        if (state == QLatin1String("banner") || state == QLatin1String("busy")) {
            chat.setDraft(QStringLiteral("再讲一个？"));
            chat.send();
            if (state == QLatin1String("banner") &&
                !QTest::qWaitFor([&] { return chat.error().has_value(); })) {
                std::fprintf(stderr, "pimlo-chat-shot: the error banner did not appear\n");
                return 1;
            }
        }
    }
    if (state == QLatin1String("settings"))
        chat.setSettings(true);
    QTest::qWait(300);

    QImage shot(controller.window()->size() * 2, QImage::Format_ARGB32_Premultiplied);
    shot.setDevicePixelRatio(2);
    controller.window()->render(&shot);
    if (QWidget *dialog = view->settingsDialog()) {
        QPainter painter(&shot);
        const QPoint at((controller.window()->width() - dialog->width()) / 2, 40);
        dialog->render(&painter, at);
    }
    if (!shot.save(parser.value("output"))) {
        std::fprintf(stderr, "pimlo-chat-shot: cannot write %s\n",
                     qPrintable(parser.value("output")));
        return 1;
    }
    chat.shutdown();
    return 0;
}
