// The whole chat window on a real display: the first show (construction to the first painted
// frame), the memory it adds empty and with a 500-line conversation, and the CPU of the process
// while it is shown and idle (the cursor blinking) and while it is hidden.
//   pimlo-bench-chat-window [idle-seconds]        (run under tests/e2e/with-desktop)
#include "chat/model/ChatModel.h"
#include "chat/window/ChatWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

using namespace pimlo;

namespace {

double rssMb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096.0 / (1024 * 1024);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Percent of one core the process used over `seconds` of running its event loop.
double cpuPercentOver(int seconds)
{
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // A plain event loop: QTest::qWait polls every few milliseconds and would be measured too.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * (cpuSeconds() - before) / (wall.nsecsElapsed() / 1e9);
}

// 500 lines, 117,500 characters (user and Pimlo alternating), through the model: under the
// budget, which refuses a request past 119,999.
void fill(ChatModel &model)
{
    const QString line =
        QStringLiteral(
            "今天天气很好，我们一起去公园散步吧。你觉得怎么样？🙂 "
            "Hello Pimlo, a plain ASCII sentence. ")
            .repeated(4)
            .left(229) +
        QStringLiteral("。");
    for (int i = 0; i < 500; i += 2) {
        model.setDraft(line);
        model.send();
        // Numbers for a shorter conversation than claimed would be wrong, not just slow.
        if (!QTest::qWaitFor([&] { return !model.busy(); }, 5000)) {
            std::fprintf(stderr, "pimlo-bench-chat-window: reply %d did not arrive\n", i / 2);
            std::exit(1);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const QString reply = QStringLiteral("好的！").repeated(80);
    auto model = std::make_unique<ChatModel>(
        [] { return std::optional<std::string>("sk-bench"); },
        [reply](const std::vector<APIMessage> &, const std::string &, const std::string &,
                CancelToken &) { return reply.toStdString(); });

    QTest::qWait(200); // let the platform settle before the baseline
    const double baseline = rssMb();
    QElapsedTimer timer;
    timer.start();
    ChatWindowController controller(std::move(model));
    controller.present();
    if (!QTest::qWaitForWindowExposed(controller.window())) {
        std::fprintf(stderr, "pimlo-bench-chat-window: the window was never exposed\n");
        return 1;
    }
    QCoreApplication::processEvents();
    const double firstShowMs = timer.nsecsElapsed() / 1e6;
    QTest::qWait(500);
    const double emptyMb = rssMb() - baseline;

    const double idleEmpty = cpuPercentOver(idleSeconds);
    fill(controller.model());
    QTest::qWait(500);
    const double fullMb = rssMb() - baseline;
    const double idleFull = cpuPercentOver(idleSeconds);
    controller.window()->close();
    const double hidden = cpuPercentOver(idleSeconds);

    std::printf("first show (construct, present, first frame): %.0f ms (target 150 ms)\n",
                firstShowMs);
    std::printf("RSS added: empty %.1f MB (target 20 MB), 500 lines %.1f MB (target 35 MB)\n",
                emptyMb, fullMb);
    std::printf("CPU shown and idle: %.2f %% empty, %.2f %% with 500 lines (target 0.3 %%); "
                "hidden %.2f %%\n",
                idleEmpty, idleFull, hidden);
    controller.model().shutdown();
    return 0;
}
