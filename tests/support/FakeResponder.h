#pragma once

#include "chat/model/ChatModel.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
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
    bool ended = false;
    bool cancelled = false; // ended by its token, like a cancelled transfer
};

// A responder the test controls. Calls end at once with the outcome of next() ("好的" at first)
// or, after hold(), wait for release(); a held call that honours cancellation also ends when its
// token fires. Waits give up after 10 s. Destroying the fake releases every held call.
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
    ChatModel::Responder responder() const;

    bool waitForCalls(int n) const
    {
        return locked([&] { return int(m_state->calls.size()) >= n; }, n - 1);
    }
    FakeCall call(int index) const
    {
        return locked([&] { return m_state->calls.at(index); }, index);
    }
    // Call index once it has ended.
    FakeCall ended(int index) const
    {
        return locked([&] { return m_state->calls.at(index); }, index, true);
    }
    // Ends held call index with outcome, once it has come in.
    void release(int index, FakeOutcome outcome)
    {
        locked([&] { m_state->calls.at(index).release = std::move(outcome); }, index);
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

    // Runs f under the lock once call index has come in (and ended, if ended) or 10 s passed,
    // and wakes every waiter.
    template <typename F>
    auto locked(F f, int index = -1, bool ended = false) const -> decltype(f())
    {
        State &s = *m_state;
        std::unique_lock lock(s.mutex);
        s.changed.wait_for(lock, std::chrono::seconds(10), [&] {
            return int(s.calls.size()) > index && (!ended || s.calls[index].ended);
        });
        s.changed.notify_all();
        return f();
    }

    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace pimlo::test
