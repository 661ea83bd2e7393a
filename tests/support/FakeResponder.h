#pragma once

#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"
#include "chat/model/ChatModel.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace pimlo::test {

// How a fake call ends: Failure throws ChatFailure(text), Other a std::runtime_error.
struct FakeOutcome
{
    enum Kind
    {
        Answer,
        Failure,
        Other
    };
    Kind kind = Answer;
    std::string text = "好的";
};

struct FakeCall
{
    std::vector<APIMessage> messages;
    std::string key, model;
    std::optional<FakeOutcome> release = {};
};

// Calls wait for release() (as after hold(true)) or, after next(), end at once with its outcome;
// a held call that honours cancellation also ends, as a cancelled transfer, when its token fires.
// Waits give up after 10 s. Destroying the fake releases every held call.
class FakeResponder final
{
public:
    FakeResponder() = default;
    ~FakeResponder()
    {
        locked([&] { m_state->closing = true; });
    }
    Q_DISABLE_COPY_MOVE(FakeResponder)

    void next(FakeOutcome outcome)
    {
        locked([&] { m_state->held = false, m_state->next = std::move(outcome); });
    }
    void hold(bool honourCancel)
    {
        locked([&] { m_state->held = true, m_state->honourCancel = honourCancel; });
    }
    bool waitForCalls(int n) const
    {
        return locked([&] { return int(m_state->calls.size()) >= n; }, n - 1);
    }
    FakeCall call(int i) const
    {
        return locked([&] { return m_state->calls.at(i); }, i);
    }
    void release(int i, FakeOutcome outcome)
    {
        locked([&] { m_state->calls.at(i).release = std::move(outcome); }, i);
    }

    ChatModel::Responder responder() const
    {
        return [s = m_state](const std::vector<APIMessage> &messages, const std::string &key,
                             const std::string &model, CancelToken &cancel) -> std::string {
            std::unique_lock lock(s->mutex);
            FakeCall &call = s->calls.emplace_back(FakeCall{messages, key, model});
            s->changed.notify_all();
            const bool held = s->held, honour = s->honourCancel;
            // Polls the token: attaching a waker to it would take our lock under the token's.
            while (held && !call.release && !s->closing && !(honour && cancel.isCancelled()))
                s->changed.wait_for(lock, std::chrono::milliseconds(5));
            if (held && !call.release && !s->closing)
                throw std::runtime_error("cancelled"); // like a cancelled transfer
            const FakeOutcome outcome = call.release.value_or(s->next);
            if (outcome.kind != FakeOutcome::Answer)
                outcome.kind == FakeOutcome::Failure ? throw ChatFailure(outcome.text)
                                                     : throw std::runtime_error("reset");
            return outcome.text;
        };
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<FakeCall> calls; // the responder keeps a reference to its own across waits
        FakeOutcome next;
        bool held = true, honourCancel = true, closing = false;
    };

    // Runs f under the lock once call i has come in or 10 s passed, and wakes every waiter.
    template <typename F> auto locked(F f, int i = -1) const -> decltype(f())
    {
        std::unique_lock lock(m_state->mutex);
        m_state->changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return int(m_state->calls.size()) > i; });
        m_state->changed.notify_all();
        return f();
    }

    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace pimlo::test
