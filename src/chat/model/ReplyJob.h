#pragma once

#include "chat/client/APIMessage.h"

#include <QUuid>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pimlo {

class CancelToken;

// Obtains one reply for a whole message list, or throws. Runs on a worker thread; it must end
// early (normally by throwing) once the token is cancelled.
using Responder =
    std::function<std::string(const std::vector<APIMessage> &messages, const std::string &key,
                              const std::string &model, CancelToken &cancel)>;

// How a responder call ended, carried back to the main thread as a value.
struct ReplyOutcome
{
    enum class Kind
    {
        Reply,   // text is the reply
        Failure, // a ChatFailure: text is its sentence for the user
        Error,   // anything else (transport, cancellation, JSON writer)
    };
    Kind kind = Kind::Error;
    std::string text;
};

// One reply request: everything the worker needs, fixed when the request starts.
struct ReplyJob
{
    std::vector<APIMessage> messages;
    std::string key;
    std::string model;
    QUuid generation;
    std::string userText; // the pending message, stored in the history on success
    std::shared_ptr<CancelToken> cancel;
    Responder responder;

    // Calls the responder and turns whatever it returns or throws into an outcome.
    ReplyOutcome run() const;

    // Runs work on the reply pool. The pool is process-wide and never destroyed, so a transfer
    // that has not ended yet cannot hold up process exit, and a stale job still running never
    // keeps a new one waiting for a thread.
    static void start(std::function<void()> work);
    // Blocks until every started job has ended; false when msecs ran out first.
    static bool waitForDone(int msecs = -1);
    // Jobs started and not yet ended, their hand-off to the main thread included (for tests).
    static int running();
};

} // namespace pimlo
