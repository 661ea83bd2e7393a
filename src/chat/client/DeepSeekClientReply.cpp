// The network half of DeepSeekClient: the key guard and the exchange over HttpTransport.
#include "chat/client/DeepSeekClient.h"

#include "chat/client/ChatFailure.h"
#include "chat/client/TransportError.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <cstdio>
#include <memory>

namespace pimlo {
namespace {

constexpr const char *notHttp = "网络响应异常，请重试。";
constexpr const char *badBase = "接口地址无效，请检查 PIMLO_API_BASE 设置。";
constexpr const char *insecureBase =
    "为保护 API Key，接口地址必须使用 HTTPS（本机地址除外），请检查 PIMLO_API_BASE 设置。";

struct UrlDeleter
{
    void operator()(CURLU *url) const { curl_url_cleanup(url); }
};

std::string urlPart(CURLU *url, CURLUPart part)
{
    char *text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK || !text)
        return {};
    std::string result(text);
    curl_free(text);
    return result;
}

bool isLoopback(std::string host)
{
    for (char &c : host)
        c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    if (host == "localhost" || host == "[::1]")
        return true;
    in_addr address{};
    // Only a literal IPv4 address counts: "127.0.0.1.example.com" does not.
    return inet_pton(AF_INET, host.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

// Where the request may go, decided once from the parsed address.
struct Route
{
    std::string host;
    bool direct = false; // this machine: a proxy would reach another one, in clear text for http
};

// The key leaves the process only over https, or over http to this machine.
Route checkEndpoint(const std::string &endpoint)
{
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, endpoint.c_str(), 0) != CURLUE_OK)
        throw ChatFailure(badBase);
    const std::string scheme = urlPart(url.get(), CURLUPART_SCHEME); // always lower case
    Route route{urlPart(url.get(), CURLUPART_HOST)};
    route.direct = isLoopback(route.host);
    if (scheme != "https" && scheme != "http")
        throw ChatFailure(badBase);
    if (scheme == "http" && !route.direct)
        throw ChatFailure(insecureBase);
    return route;
}

// One line for the person fixing their network: the host and libcurl's own words only.
void logFailure(const Route &route, const TransportError &error)
{
    const std::string line = "Pimlo chat: no reply from " + route.host + ": " + error.what() + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace

std::string DeepSeekClient::reply(const std::vector<APIMessage> &messages, const std::string &key,
                                  const std::string &model, CancelToken *cancel,
                                  const TransportLimits &limits)
{
    HttpRequest built = request(messages, key, model);
    const Route route = checkEndpoint(built.url);
    built.direct = route.direct;
    HttpResponse response;
    try {
        response = HttpTransport::post(built, maxBodyBytes, cancel, limits);
    } catch (const TransportError &error) {
        if (error.kind() != TransportError::Kind::Cancelled) // a stop is no fault to look into
            logFailure(route, error);
        throw;
    }
    switch (response.outcome) {
    case HttpResponse::Outcome::NotHttp:
        throw ChatFailure(notHttp);
    case HttpResponse::Outcome::BodyTooLarge:
        // An error status keeps its own sentence; a success with a giant body is no reply.
        if (response.status != 0 && (response.status < 200 || response.status > 299))
            return decode({}, response.status);
        throw ChatFailure(noValidReply);
    case HttpResponse::Outcome::Complete:
        break;
    }
    return decode(response.body, response.status);
}

} // namespace pimlo
