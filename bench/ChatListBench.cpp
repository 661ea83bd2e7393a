// The chat window's message list with a conversation of 500 lines and 120,000 user-perceived
// characters (Chinese, emoji, ASCII): building and first paint, appending a line and scrolling
// to it, a resize from 620 to 900 wide, and the memory the list adds.
//   pimlo-bench-chat-list [runs] [--shots DIR]   (DIR gets the list in light and dark as PNG)
#include "chat/model/ChatModel.h"
#include "chat/model/ConversationBudget.h"
#include "chat/window/ChatMessageList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

using namespace pimlo;

namespace {

constexpr int lineCount = 500;
constexpr int lineCharacters = 240; // 500 × 240 = 120,000

double rssMb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096.0 / (1024 * 1024);
}

// The first `n` user-perceived characters of `text`.
QString graphemes(const QString &text, int n)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int i = 0; i < n && end >= 0; ++i)
        end = finder.toNextBoundary();
    return text.left(end < 0 ? text.size() : end);
}

QString lineText(int i)
{
    static const QString pattern =
        QStringLiteral(
            "今天天气很好，我们一起去公园散步吧。你觉得怎么样？👨‍👩‍👧‍👦🇨🇳👍"
            "🏽"
            " "
            "Hello Pimlo, this is a plain ASCII sentence with a few words. ")
            .repeated(4);
    QString text = graphemes(QStringLiteral("%1. ").arg(i) + pattern, lineCharacters);
    if (text.back().isSpace()) // the model trims what the user sends
        text.back() = u'。';
    return text;
}

// A model that answers every message at once with the next line of the conversation.
std::unique_ptr<ChatModel> conversation(int lines, std::function<QString(int)> text = lineText)
{
    auto next = std::make_shared<int>(1);
    auto model = std::make_unique<ChatModel>(
        [] { return std::optional<std::string>("sk-bench"); },
        [next, text](const std::vector<APIMessage> &, const std::string &, const std::string &,
                     CancelToken &) { return text((*next)++).toStdString(); });
    for (int i = 0; i < lines; i += 2) {
        model->setDraft(text(i));
        model->send();
        while (model->busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        *next = i + 3;
    }
    return model;
}

struct Timer
{
    QElapsedTimer clock;
    Timer() { clock.start(); }
    double ms() const { return clock.nsecsElapsed() / 1e6; }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void showAndPaint(ChatMessageList &list)
{
    list.show();
    while (!list.isVisible() || !list.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    list.repaint();
}

void writeShots(const QString &dir)
{
    QDir().mkpath(dir);
    const std::vector<QString> texts = {
        QStringLiteral("你好呀！今天有点累，可以陪我聊聊吗？😊"),
        QStringLiteral(
            "当然可以 🌱 累的时候先深呼吸几次，喝口温水。想说说今天发生了什么吗？"
            "不管是工作上的小烦恼，还是生活里的琐事，我都在这里认真听你说。"
            "\n\n如果你愿意，我们也可以一起想想明天怎么安排得轻松一点。👨‍👩‍👧‍👦🇨🇳"
            "👍"
            "🏽"),
        QStringLiteral("嗯"),
        QStringLiteral("这是一个很长的链接，看看它怎么换行："
                       "https://platform.deepseek.com/api_keys/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
        QStringLiteral("Mixed English and 中文 in one bubble, with emoji 🎉🐱 and a second "
                       "sentence that wraps onto the next line."),
    };
    auto model = conversation(int(texts.size()) + 1, [&](int i) {
        return i < int(texts.size()) ? texts[i] : QStringLiteral("好的，我们继续。");
    });
    // One more message whose reply is still on its way, for the typing row.
    auto replied = std::make_shared<std::atomic<bool>>(false);
    ChatModel typing([] { return std::optional<std::string>("sk-bench"); },
                     [replied](const std::vector<APIMessage> &, const std::string &,
                               const std::string &, CancelToken &) {
                         while (!*replied)
                             std::this_thread::sleep_for(std::chrono::milliseconds(5));
                         return std::string();
                     });
    typing.setDraft(texts[0]);
    typing.send();
    ChatModel empty([] { return std::nullopt; }, {});
    for (const bool dark : {false, true}) {
        const ChatStyle style = ChatStyle::make(dark, QApplication::palette(), 13);
        for (ChatModel *shown : {model.get(), &typing, &empty}) {
            ChatMessageList list(*shown);
            list.applyStyle(style);
            list.resize(620, shown == model.get() ? 560 : 300);
            showAndPaint(list);
            const char *what = shown == model.get() ? "conversation"
                               : shown == &typing   ? "typing"
                                                    : "empty";
            const QString name =
                QStringLiteral("%1/chat-list-%2-%3.png").arg(dir, what, dark ? "dark" : "light");
            list.grab().save(name);
            std::printf("wrote %s\n", qPrintable(name));
        }
    }
    *replied = true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype shots = args.indexOf(QStringLiteral("--shots"));
    if (shots > 0 && shots + 1 < args.size()) {
        writeShots(args.at(shots + 1));
        return 0;
    }
    const int runs = args.size() > 1 ? std::max(1, args.at(1).toInt()) : 20;

    const double rssStart = rssMb();
    ChatModel emptyModel([] { return std::nullopt; }, {});
    Timer emptyBuild;
    auto emptyList = std::make_unique<ChatMessageList>(emptyModel);
    emptyList->resize(620, 560);
    showAndPaint(*emptyList);
    const double emptyMs = emptyBuild.ms();
    const double rssEmpty = rssMb();
    emptyList.reset();

    auto model = conversation(lineCount);
    qsizetype characters = 0;
    for (const ChatLine &line : model->lines())
        characters += ConversationBudget::characters(line.text());
    const double rssModel = rssMb();

    // The list's own share of every change of the model: timed between a handler connected
    // before the list's and one connected after it.
    Timer change;
    double inList = 0;
    QObject::connect(model.get(), &ChatModel::changed, [&] { change = Timer(); });
    Timer build;
    ChatMessageList list(*model);
    list.resize(620, 560);
    showAndPaint(list);
    const double buildMs = build.ms();
    const double rssList = rssMb();
    QObject::connect(model.get(), &ChatModel::changed, [&] { inList += change.ms(); });

    auto *animation = list.findChild<QPropertyAnimation *>();
    std::vector<double> appends, handlers, resizes, layouts, rewraps;
    for (int run = 0; run < runs; ++run) {
        list.verticalScrollBar()->setValue(0);
        // Over the budget, so the line stays without a request; abandon() takes it back.
        model->setDraft(lineText(lineCount + run));
        inList = 0;
        model->send();
        const double handler = inList;
        Timer scroll;
        animation->setCurrentTime(animation->duration()); // the scroll's last frame at once
        list.repaint();
        appends.push_back(handler + scroll.ms());
        handlers.push_back(handler);
        model->abandon();
        animation->setCurrentTime(animation->duration());

        Timer resize;
        list.resize(900, 560);
        layouts.push_back(resize.ms());
        list.repaint();
        resizes.push_back(resize.ms());
        list.resize(620, 560);
        Timer rewrap;
        list.resize(480, 560);
        list.repaint();
        rewraps.push_back(rewrap.ms());
        if (qEnvironmentVariableIsSet("BENCH_TRACE"))
            std::printf("run %d: append %.2f resize %.2f rewrap %.2f\n", run, appends.back(),
                        resizes.back(), rewraps.back());
        list.resize(620, 560);
        QCoreApplication::processEvents();
    }

    std::printf("conversation: %lld lines, %lld user-perceived characters; platform %s\n",
                static_cast<long long>(model->lines().size()), static_cast<long long>(characters),
                qPrintable(QGuiApplication::platformName()));
    std::printf("empty list, build and first paint (the first widget of the process): %.1f ms\n",
                emptyMs);
    std::printf("500-line list, build and first paint: %.1f ms\n", buildMs);
    std::printf("append and scroll (median / worst of %d): %.2f / %.2f ms, of which the list's "
                "update %.2f ms (target <= 16 ms)\n",
                runs, median(appends), *std::max_element(appends.begin(), appends.end()),
                median(handlers));
    std::printf("resize 620 -> 900 and paint (median / worst): %.2f / %.2f ms, of which the "
                "list's layout %.2f / %.2f ms (target <= 16 ms)\n",
                median(resizes), *std::max_element(resizes.begin(), resizes.end()), median(layouts),
                *std::max_element(layouts.begin(), layouts.end()));
    std::printf("resize 620 -> 480 and paint: first %.1f ms (every bubble wrapped anew), then "
                "%.2f ms (median, the widths known)\n",
                rewraps.front(), median(rewraps));
    std::printf("RSS: empty list shown +%.1f MB; 500-line model +%.1f MB; its list +%.1f MB\n",
                rssEmpty - rssStart, rssModel - rssEmpty, rssList - rssModel);
    return 0;
}
