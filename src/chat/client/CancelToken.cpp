#include "chat/client/CancelToken.h"

namespace pimlo {

void CancelToken::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled.store(true, std::memory_order_release);
    // Called under the lock so that detach() cannot return while a wake is running on a
    // handle that is about to be destroyed.
    if (m_wake)
        m_wake();
}

bool CancelToken::attach(std::function<void()> wake)
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled.load(std::memory_order_acquire))
        return false;
    m_wake = std::move(wake);
    return true;
}

void CancelToken::detach()
{
    std::lock_guard lock(m_mutex);
    m_wake = nullptr;
}

} // namespace pimlo
