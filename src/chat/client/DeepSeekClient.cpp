// The pure half of DeepSeekClient (no network): it also builds alone for the decode fuzzer.
#include "chat/client/DeepSeekClient.h"

#include "chat/client/ChatFailure.h"
#include "chat/client/Utf8.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace pimlo {
namespace {

constexpr const char *defaultBase = "https://api.deepseek.com";
constexpr const char *lengthSuffix = "\n\n（本次回复达到长度上限，可以让我继续。）";
// Far deeper than any answer; 8 MiB of "[[[[" would otherwise become a tree of hundreds of MB.
constexpr int maxDepth = 64;
struct TooDeep
{
};

struct Choice
{
    std::optional<std::string> content;
    std::optional<std::string> finishReason;
};

// An optional string member: absent or null gives no value, any other type is malformed.
bool optionalString(const nlohmann::json &object, const char *key, std::optional<std::string> &out)
{
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    if (!it->is_string())
        return false;
    out = it->get<std::string>();
    return true;
}

std::optional<Choice> parseChoice(const nlohmann::json &value)
{
    if (!value.is_object())
        return std::nullopt;
    const auto message = value.find("message");
    if (message == value.end() || !message->is_object())
        return std::nullopt;
    Choice choice;
    if (!optionalString(*message, "content", choice.content) ||
        !optionalString(value, "finish_reason", choice.finishReason))
        return std::nullopt;
    return choice;
}

// Every choice must have the right shape, though only the first one is used.
std::optional<Choice> firstChoice(std::string_view body)
{
    nlohmann::json document;
    try {
        // Stops the parse at the first value nested too deep, before it is built.
        document = nlohmann::json::parse(
            body.begin(), body.end(),
            [](int depth, nlohmann::json::parse_event_t, nlohmann::json &) {
                if (depth > maxDepth)
                    throw TooDeep();
                return true;
            },
            false);
    } catch (const TooDeep &) {
        return std::nullopt;
    }
    if (document.is_discarded() || !document.is_object())
        return std::nullopt;
    const auto choices = document.find("choices");
    if (choices == document.end() || !choices->is_array() || choices->empty())
        return std::nullopt;
    std::optional<Choice> first;
    for (const auto &value : *choices) {
        auto choice = parseChoice(value);
        if (!choice)
            return std::nullopt;
        if (!first)
            first = std::move(choice);
    }
    return first;
}

std::string statusSentence(std::int64_t status)
{
    if (status == 400 || status == 404 || status == 422)
        return "请求未被接受，请检查模型设置或新建对话后重试。";
    if (status == 401)
        return DeepSeekClient::invalidKey;
    if (status == 402)
        return "DeepSeek 账户余额不足，请充值后重试。";
    if (status == 429)
        return "请求过于频繁，请稍后重试。";
    if (status >= 500 && status <= 599)
        return "DeepSeek 暂时不可用，请稍后重试。";
    return "连接失败（HTTP " + std::to_string(status) + "），请稍后重试。";
}

} // namespace

std::string DeepSeekClient::endpoint()
{
    std::string base = defaultBase;
    if (const char *configured = std::getenv("PIMLO_API_BASE"); configured && *configured)
        base = configured;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base + "/chat/completions";
}

HttpRequest DeepSeekClient::request(const std::vector<APIMessage> &messages, const std::string &key,
                                    const std::string &model)
{
    // A key stored by another tool could carry a line break into the request's headers.
    if (std::any_of(key.begin(), key.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }))
        throw ChatFailure(invalidKey);

    nlohmann::ordered_json body;
    body["model"] = model;
    auto wireMessages = nlohmann::ordered_json::array();
    for (const APIMessage &message : messages) {
        nlohmann::ordered_json wire;
        wire["role"] = message.role;
        wire["content"] = message.content;
        wireMessages.push_back(std::move(wire));
    }
    body["messages"] = std::move(wireMessages);
    body["stream"] = false;
    body["max_tokens"] = std::int64_t{2048};
    body["thinking"] = nlohmann::ordered_json::object({{"type", "disabled"}});

    HttpRequest result;
    result.url = endpoint();
    result.idleTimeout = std::chrono::seconds(90);
    result.headers = {{"Authorization", "Bearer " + key}, {"Content-Type", "application/json"}};
    result.body = body.dump(); // strict: throws on invalid UTF-8
    return result;
}

std::string DeepSeekClient::decode(std::string_view body, std::int64_t status)
{
    if (status < 200 || status > 299)
        throw ChatFailure(statusSentence(status)); // the body of an error is never shown
    const auto choice = firstChoice(body);
    if (!choice || !choice->content || utf8::isBlank(*choice->content))
        throw ChatFailure(DeepSeekClient::noValidReply);
    std::string text = *choice->content;
    if (choice->finishReason == "length")
        text += lengthSuffix;
    return text;
}

} // namespace pimlo
