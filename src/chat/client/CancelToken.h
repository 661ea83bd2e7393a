#pragma once

#include <atomic>
#include <functional>
#include <mutex>

namespace pimlo {

// Thread-safe cancellation flag for one reply call. cancel() may be called from any thread;
// it also wakes a transfer that is waiting for the network, so the call ends at once.
class CancelToken final
{
public:
    CancelToken() = default;
    CancelToken(const CancelToken &) = delete;
    CancelToken &operator=(const CancelToken &) = delete;

    // Sets the flag (for good) and wakes the attached transfer, if any.
    void cancel();
    // True once cancel() has been called.
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }

    // Used by the transport: while attached, cancel() calls wake. Returns false when already
    // cancelled (nothing attached then).
    bool attach(std::function<void()> wake);
    // Detaches the waker; after it returns, cancel() no longer calls it.
    void detach();

private:
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    std::function<void()> m_wake;
};

} // namespace pimlo
