#pragma once

#include "chat/client/APIMessage.h"
#include "chat/ui/ChatModel.h"

#include <memory>
#include <string>
#include <vector>

namespace pimlo::test {

// How a fake responder call ends.
struct FakeOutcome
{
    enum class Kind
    {
        Answer,
        Failure, // throws ChatFailure(text)
        Other,   // throws std::runtime_error
    };
    Kind kind = Kind::Answer;
    std::string text;

    static FakeOutcome answer(std::string text) { return {Kind::Answer, std::move(text)}; }
    static FakeOutcome failure(std::string text) { return {Kind::Failure, std::move(text)}; }
    static FakeOutcome other() { return {Kind::Other, "connection reset"}; }
};

// One call the responder received.
struct FakeCall
{
    std::vector<APIMessage> messages;
    std::string key;
    std::string model;
};

// A responder the test controls: it records every call, then ends it at once or holds it until
// the test releases it (or, when it honours cancellation, until the job's token fires and it
// throws like a cancelled transfer). Destroying it releases every held call.
class FakeResponder final
{
public:
    FakeResponder();
    ~FakeResponder();
    FakeResponder(const FakeResponder &) = delete;
    FakeResponder &operator=(const FakeResponder &) = delete;

    // The next calls end at once with outcome (the default: answer "好的").
    void endAtOnce(FakeOutcome outcome);
    // The next calls wait for release(); honourCancel makes them also end on cancellation.
    void hold(bool honourCancel);

    ChatModel::Responder responder() const;

    int calls() const;
    FakeCall call(int index) const;
    // Block (at most 10 s) until at least n calls came in / call index has ended.
    bool waitForCalls(int n) const;
    bool waitForEnd(int index) const;
    // True when call index ended because its token was cancelled.
    bool endedByCancel(int index) const;
    // Ends held call index with outcome (waiting for the call to come in first).
    void release(int index, FakeOutcome outcome);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace pimlo::test
