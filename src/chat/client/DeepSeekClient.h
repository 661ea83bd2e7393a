#pragma once

#include "chat/client/APIMessage.h"
#include "chat/client/HttpRequest.h"
#include "chat/client/HttpTransport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pimlo {

class CancelToken;

// The chat-completions wire format and the one blocking exchange with the service.
// request() and decode() are pure; reply() does the network I/O and must run off the UI thread.
class DeepSeekClient final
{
public:
    DeepSeekClient() = delete;

    // Body sizes above this are cut off and treated as no valid reply.
    static constexpr std::size_t maxBodyBytes = 8 * 1024 * 1024;

    // Sentences that both halves of the client throw.
    static constexpr const char *noValidReply = "没有收到有效回复，请重试。";
    static constexpr const char *invalidKey = "API Key 无效或已失效，请在右上角重新填写。";

    // "<base>/chat/completions"; base is $PIMLO_API_BASE when set, else the provider's https host.
    static std::string endpoint();

    // The POST for a conversation: JSON body, bearer key, 90 s idle timeout. Throws the JSON
    // writer's own error (not a ChatFailure) when a text is not valid UTF-8.
    static HttpRequest request(const std::vector<APIMessage> &messages, const std::string &key,
                               const std::string &model);

    // The reply text of a response, or throws ChatFailure with the sentence for the user.
    static std::string decode(std::string_view body, std::int64_t status);

    // Blocking: sends the conversation and returns the reply text. Throws ChatFailure (a
    // sentence for the user: status, bad answer, unsafe base), TransportError (connection,
    // TLS, timeouts, cancellation through cancel) or the JSON writer's error. A TransportError
    // other than a cancellation also writes one line to stderr with the host and libcurl's
    // text, never the key or the conversation. limits are for tests only.
    static std::string reply(const std::vector<APIMessage> &messages, const std::string &key,
                             const std::string &model, CancelToken *cancel = nullptr,
                             const TransportLimits &limits = {});
};

} // namespace pimlo
