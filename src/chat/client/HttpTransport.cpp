#include "chat/client/HttpTransport.h"

#include "chat/client/CancelToken.h"
#include "chat/client/TransportError.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace pimlo {
namespace {

using Clock = std::chrono::steady_clock;

struct EasyDeleter
{
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter
{
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

// State shared with libcurl's callbacks for one transfer, and its error text.
struct Transfer
{
    std::size_t maxBody = 0;
    std::string body;
    bool tooLarge = false;
    Clock::time_point lastActivity = Clock::now();
    curl_off_t uploaded = 0;
    char errorText[CURL_ERROR_SIZE] = {};
};

std::size_t onBody(char *data, std::size_t size, std::size_t count, void *user)
{
    auto *transfer = static_cast<Transfer *>(user);
    const std::size_t length = size * count;
    transfer->lastActivity = Clock::now();
    if (length > transfer->maxBody - transfer->body.size()) {
        transfer->tooLarge = true;
        return 0; // any short count aborts the transfer
    }
    transfer->body.append(data, length);
    return length;
}

std::size_t onHeader(char *, std::size_t size, std::size_t count, void *user)
{
    static_cast<Transfer *>(user)->lastActivity = Clock::now();
    return size * count;
}

int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded)
{
    // Received bytes are seen by onHeader/onBody; sent bytes count as activity as well.
    auto *transfer = static_cast<Transfer *>(user);
    if (uploaded != transfer->uploaded) {
        transfer->uploaded = uploaded;
        transfer->lastActivity = Clock::now();
    }
    return 0;
}

[[noreturn]] void fail(TransportError::Kind kind, const std::string &detail)
{
    throw TransportError(kind, detail);
}

void initOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Keeps the token's waker attached for the lifetime of the multi handle.
class WakeGuard final
{
public:
    WakeGuard(CancelToken *token, CURLM *multi) : m_token(token)
    {
        if (m_token && !m_token->attach([multi] { curl_multi_wakeup(multi); }))
            fail(TransportError::Kind::Cancelled, "cancelled");
    }
    ~WakeGuard()
    {
        if (m_token)
            m_token->detach();
    }
    WakeGuard(const WakeGuard &) = delete;
    WakeGuard &operator=(const WakeGuard &) = delete;

private:
    CancelToken *m_token;
};

} // namespace

HttpResponse HttpTransport::post(const HttpRequest &request, std::size_t maxBody,
                                 CancelToken *cancel, const TransportLimits &limits)
{
    initOnce();
    // Everything libcurl keeps a pointer to is declared before the handles, so it outlives
    // curl_easy_cleanup.
    Transfer transfer;
    transfer.maxBody = maxBody;
    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const auto &[name, value] : request.headers) {
        const std::string line = name + ": " + value;
        curl_slist *grown = curl_slist_append(headers.get(), line.c_str());
        if (!grown)
            fail(TransportError::Kind::Failed, "cannot build headers");
        static_cast<void>(headers.release());
        headers.reset(grown);
    }
    // No "Expect: 100-continue" round trip before the body.
    if (curl_slist *grown = curl_slist_append(headers.get(), "Expect:")) {
        static_cast<void>(headers.release());
        headers.reset(grown);
    }

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi)
        fail(TransportError::Kind::Failed, "cannot create a transfer");
    CURL *e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
    // Without this limit libcurl would speak any protocol it was built with.
    if (curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") != CURLE_OK)
        fail(TransportError::Kind::Failed, "cannot limit protocols");
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // Leaves a name lookup that is still running to itself instead of joining its thread when
    // the handle is removed: a stop or a quit must not wait for a name server that never answers.
    curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.total.count()));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.total.count()));
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBody));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, transfer.errorText);
    if (request.direct)
        curl_easy_setopt(e, CURLOPT_PROXY, ""); // not even one from the environment

    if (curl_multi_add_handle(multi.get(), e) != CURLM_OK)
        fail(TransportError::Kind::Failed, "cannot start the transfer");
    // Removes the easy handle before either handle is destroyed.
    struct Remove
    {
        CURLM *multi;
        CURL *easy;
        ~Remove() { curl_multi_remove_handle(multi, easy); }
    } remove{multi.get(), e};
    WakeGuard wake(cancel, multi.get());

    // The request's own idle timeout applies unless the caller's limit is shorter.
    auto idle = limits.idle;
    if (request.idleTimeout.count() > 0)
        idle = std::min<std::chrono::milliseconds>(idle, request.idleTimeout);
    CURLcode result = CURLE_OK;
    for (;;) {
        if (cancel && cancel->isCancelled())
            fail(TransportError::Kind::Cancelled, "cancelled");
        int running = 0;
        if (const CURLMcode code = curl_multi_perform(multi.get(), &running); code != CURLM_OK)
            fail(TransportError::Kind::Failed, curl_multi_strerror(code));
        bool done = false;
        int queued = 0;
        while (CURLMsg *message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) {
                done = true;
                result = message->data.result;
            }
        }
        if (done)
            break;
        const auto quiet = Clock::now() - transfer.lastActivity;
        if (quiet >= idle)
            fail(TransportError::Kind::TimedOut,
                 "no data received for " + std::to_string(idle.count()) + " ms");
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(idle - quiet);
        // Sleeps until the network, libcurl's own timers, the idle limit or a cancel wakes it.
        const int wait = static_cast<int>(std::clamp<long long>(left.count() + 1, 1, 60'000));
        curl_multi_poll(multi.get(), nullptr, 0, wait, nullptr);
    }

    HttpResponse response;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &response.status);
    if (transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        response.outcome = HttpResponse::Outcome::BodyTooLarge;
        return response;
    }
    switch (result) {
    case CURLE_OK:
        response.body = std::move(transfer.body);
        return response;
    case CURLE_UNSUPPORTED_PROTOCOL: // a reply without an HTTP status line (HTTP/0.9 refused)
    case CURLE_WEIRD_SERVER_REPLY:
        response.outcome = HttpResponse::Outcome::NotHttp;
        response.status = 0;
        return response;
    case CURLE_OPERATION_TIMEDOUT:
        fail(TransportError::Kind::TimedOut,
             transfer.errorText[0] ? transfer.errorText : "timed out");
    default:
        fail(TransportError::Kind::Failed,
             transfer.errorText[0] ? transfer.errorText : curl_easy_strerror(result));
    }
}

} // namespace pimlo
