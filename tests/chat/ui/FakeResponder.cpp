#include "FakeResponder.h"

#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/TransportError.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace pimlo::test {

struct FakeResponder::State
{
    struct Record
    {
        FakeCall call;
        std::optional<FakeOutcome> release;
        bool ended = false;
        bool endedByCancel = false;
    };

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Record> records;
    bool holdCalls = false;
    bool honourCancel = true;
    FakeOutcome atOnce = FakeOutcome::answer("好的");
    bool closing = false;

    void notify()
    {
        std::lock_guard lock(mutex);
        changed.notify_all();
    }
};

namespace {

constexpr auto limit = std::chrono::seconds(10);

std::string finish(const FakeOutcome &outcome)
{
    switch (outcome.kind) {
    case FakeOutcome::Kind::Answer:
        return outcome.text;
    case FakeOutcome::Kind::Failure:
        throw ChatFailure(outcome.text);
    case FakeOutcome::Kind::Other:
        break;
    }
    throw std::runtime_error(outcome.text);
}

} // namespace

FakeResponder::FakeResponder() : m_state(std::make_shared<State>()) {}

FakeResponder::~FakeResponder()
{
    std::lock_guard lock(m_state->mutex);
    m_state->closing = true;
    m_state->changed.notify_all();
}

void FakeResponder::endAtOnce(FakeOutcome outcome)
{
    std::lock_guard lock(m_state->mutex);
    m_state->holdCalls = false;
    m_state->atOnce = std::move(outcome);
}

void FakeResponder::hold(bool honourCancel)
{
    std::lock_guard lock(m_state->mutex);
    m_state->holdCalls = true;
    m_state->honourCancel = honourCancel;
}

ChatModel::Responder FakeResponder::responder() const
{
    return [state = m_state](const std::vector<APIMessage> &messages, const std::string &key,
                             const std::string &model, CancelToken &cancel) -> std::string {
        std::unique_lock lock(state->mutex);
        const std::size_t index = state->records.size();
        state->records.push_back({{messages, key, model}, {}, false, false});
        state->changed.notify_all();
        const bool held = state->holdCalls;
        const bool honour = state->honourCancel;
        FakeOutcome outcome = state->atOnce;

        if (held) {
            // The token's waker runs under the token's lock and takes ours, so attach and
            // detach without holding ours.
            lock.unlock();
            if (honour)
                cancel.attach([state] { state->notify(); });
            lock.lock();
            state->changed.wait(lock, [&] {
                return state->records[index].release || state->closing ||
                       (honour && cancel.isCancelled());
            });
            const bool byCancel = !state->records[index].release && !state->closing;
            if (state->records[index].release)
                outcome = *state->records[index].release;
            lock.unlock();
            cancel.detach();
            lock.lock();
            if (byCancel) {
                state->records[index].ended = true;
                state->records[index].endedByCancel = true;
                state->changed.notify_all();
                throw TransportError(TransportError::Kind::Cancelled, 42, "cancelled");
            }
        }
        state->records[index].ended = true;
        state->changed.notify_all();
        lock.unlock();
        return finish(outcome);
    };
}

int FakeResponder::calls() const
{
    std::lock_guard lock(m_state->mutex);
    return int(m_state->records.size());
}

FakeCall FakeResponder::call(int index) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->records.at(std::size_t(index)).call;
}

bool FakeResponder::waitForCalls(int n) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, limit,
                                     [&] { return int(m_state->records.size()) >= n; });
}

bool FakeResponder::waitForEnd(int index) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, limit, [&] {
        return int(m_state->records.size()) > index && m_state->records[std::size_t(index)].ended;
    });
}

bool FakeResponder::endedByCancel(int index) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->records.at(std::size_t(index)).endedByCancel;
}

void FakeResponder::release(int index, FakeOutcome outcome)
{
    std::unique_lock lock(m_state->mutex);
    // The call may still be on its way to the worker.
    m_state->changed.wait_for(lock, limit, [&] { return int(m_state->records.size()) > index; });
    m_state->records.at(std::size_t(index)).release = std::move(outcome);
    m_state->changed.notify_all();
}

} // namespace pimlo::test
