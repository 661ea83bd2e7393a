#include "chat/model/ReplyJob.h"

#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"

#include <QThreadPool>

namespace pimlo {
namespace {

QThreadPool &replyPool()
{
    // Deliberately leaked: destroying a pool waits for its jobs.
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(16);
        return p;
    }();
    return *pool;
}

} // namespace

ReplyOutcome ReplyJob::run() const
{
    try {
        return {ReplyOutcome::Kind::Reply, responder(messages, key, model, *cancel)};
    } catch (const ChatFailure &failure) {
        return {ReplyOutcome::Kind::Failure, failure.message()};
    } catch (...) {
        // Nothing may escape into the pool; the model shows its own sentence for these.
        return {ReplyOutcome::Kind::Error, {}};
    }
}

void ReplyJob::start(std::function<void()> work)
{
    replyPool().start(std::move(work));
}

bool ReplyJob::waitForDone(int msecs)
{
    return replyPool().waitForDone(msecs);
}

int ReplyJob::running()
{
    return replyPool().activeThreadCount();
}

} // namespace pimlo
