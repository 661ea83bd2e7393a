// libFuzzer target for DeepSeekClient::decode: whatever the server sends, decode either
// returns visible, valid UTF-8 text or throws ChatFailure; nothing else may escape.
#include "chat/client/ChatFailure.h"
#include "chat/client/DeepSeekClient.h"
#include "chat/client/Utf8.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the status: mostly 200, sometimes the edges of the table.
    static constexpr std::int64_t statuses[] = {200, 299, 199, 300, 401, 429, 500, 600, -1};
    const std::int64_t status = data[0] < 200 ? 200 : statuses[data[0] % std::size(statuses)];
    const std::string_view body(reinterpret_cast<const char *>(data + 1), size - 1);
    try {
        const std::string text = pimlo::DeepSeekClient::decode(body, status);
        if (status < 200 || status > 299 || !pimlo::utf8::isValid(text) ||
            pimlo::utf8::isBlank(text))
            std::abort();
    } catch (const pimlo::ChatFailure &) {
    }
    return 0;
}
