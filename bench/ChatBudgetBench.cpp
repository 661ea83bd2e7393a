// The chat model's budget check on a conversation of 120,000 user-perceived characters of
// mixed Chinese, emoji and ASCII: persona plus history plus the new message, as at a request.
#include "chat/model/ChatModel.h"
#include "chat/model/ConversationBudget.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace pimlo;

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;

    // One turn: 75 Chinese characters, 10 emoji (family, flags, skin tone, variation selector,
    // plain) and 49 ASCII characters (CR LF counts as one).
    const QString chinese = QStringLiteral("今天天气很好，我们一起去公园散步吧。你觉得怎么样？");
    const QString emoji = QStringLiteral("👨‍👩‍👧‍👦🇨🇳👍🏽😀🎉"
                                         "👨‍👩‍👧‍👦🇯🇵❤️🙂🐱");
    const QString ascii = QStringLiteral("Hello Pimlo, this is a plain ASCII sentence. Ok!\r\n");
    const QString turn = chinese.repeated(3) + emoji + ascii;

    std::vector<APIMessage> messages{ChatModel::persona()};
    qsizetype total = ConversationBudget::characters(messages);
    for (int i = 0; total < 120'000; ++i) {
        QString text = turn;
        const qsizetype room = 120'000 - total;
        if (ConversationBudget::characters(text) > room)
            text = QString(room, QLatin1Char('x'));
        messages.push_back({i % 2 ? "assistant" : "user", text.toStdString()});
        total += ConversationBudget::characters(text);
    }

    using Clock = std::chrono::steady_clock;
    double best = 1e9;
    bool fits = true;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        fits = ConversationBudget::fits(messages);
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        best = std::min(best, took.count());
    }
    std::size_t bytes = 0;
    for (const APIMessage &m : messages)
        bytes += m.content.size();
    std::printf("budget check: %lld characters in %zu messages (%zu UTF-8 bytes), fits=%s\n",
                static_cast<long long>(ConversationBudget::characters(messages)), messages.size(),
                bytes, fits ? "yes" : "no");
    std::printf("best of %d runs: %.2f ms (target < 5 ms)\n", runs, best);
    return 0;
}
