#include "FakeResponder.h"

#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/TransportError.h"

#include <stdexcept>

namespace pimlo::test {

ChatModel::Responder FakeResponder::responder() const
{
    return [s = m_state](const std::vector<APIMessage> &messages, const std::string &key,
                         const std::string &model, CancelToken &cancel) -> std::string {
        std::unique_lock lock(s->mutex);
        FakeCall &call = s->calls.emplace_back(FakeCall{messages, key, model});
        s->changed.notify_all();
        const bool held = s->held;
        const bool honour = s->honourCancel;
        // Polls the token: attaching a waker to it would take our lock under the token's.
        while (held && !call.release && !s->closing && !(honour && cancel.isCancelled()))
            s->changed.wait_for(lock, std::chrono::milliseconds(5));
        call.cancelled = held && !call.release && !s->closing;
        call.ended = true;
        s->changed.notify_all();
        const FakeOutcome outcome = call.release.value_or(s->next);
        if (call.cancelled)
            throw TransportError(TransportError::Kind::Cancelled, 42, "cancelled");
        if (outcome.kind == FakeOutcome::Failure)
            throw ChatFailure(outcome.text);
        if (outcome.kind == FakeOutcome::Other)
            throw std::runtime_error("connection reset");
        return outcome.text;
    };
}

} // namespace pimlo::test
