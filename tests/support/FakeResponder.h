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
#include <string>
#include <vector>

namespace pimlo::test {

// How a fake responder call ends: Failure throws ChatFailure(text), Other a std::runtime_error.
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

// One call the responder received, and how it ended.
struct FakeCall
{
    std::vector<APIMessage> messages;
    std::string key;
    std::string model;
    std::optional<FakeOutcome> release = {};
};

// A responder the test controls. Calls end at once with the outcome of next() ("好的" at first)
// or, after hold(), wait for release(); a held call that honours cancellation also ends, as a
// cancelled transfer, when its token fires. Waits give up after 10 s. Destroying the fake
// releases every held call.
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
        locked([&] {
            m_state->held = false;
            m_state->next = std::move(outcome);
        });
    }
    void hold(bool honourCancel)
    {
        locked([&] {
            m_state->held = true;
            m_state->honourCancel = honourCancel;
        });
    }
    bool waitForCalls(int n) const
    {
        return locked([&] { return int(m_state->calls.size()) >= n; }, n - 1);
    }
    FakeCall call(int index) const
    {
        return locked([&] { return m_state->calls.at(index); }, index);
    }
    // Ends held call index with outcome, once it has come in.
    void release(int index, FakeOutcome outcome)
    {
        locked([&] { m_state->calls.at(index).release = std::move(outcome); }, index);
    }

    ChatModel::Responder responder() const
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
            if (held && !call.release && !s->closing)
                throw std::runtime_error("cancelled"); // like a cancelled transfer
            const FakeOutcome outcome = call.release.value_or(s->next);
            if (outcome.kind == FakeOutcome::Failure)
                throw ChatFailure(outcome.text);
            if (outcome.kind == FakeOutcome::Other)
                throw std::runtime_error("connection reset");
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
        bool held = false;
        bool honourCancel = true;
        bool closing = false;
    };

    // Runs f under the lock once call index has come in or 10 s passed, and wakes every waiter.
    template <typename F> auto locked(F f, int index = -1) const -> decltype(f())
    {
        State &s = *m_state;
        std::unique_lock lock(s.mutex);
        s.changed.wait_for(lock, std::chrono::seconds(10),
                           [&] { return int(s.calls.size()) > index; });
        s.changed.notify_all();
        return f();
    }

    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace pimlo::test
