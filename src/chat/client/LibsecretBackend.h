#pragma once

#include "chat/client/SecretBackend.h"

#include <chrono>

namespace pimlo {

// The key as one item of the default Secret Service collection (GNOME Keyring, KWallet), which
// the first save creates when there is none, found by the attributes service "local.pimlo.deepseek"
// and account "api-key" under our schema name. The secret is the key's bytes unchanged. Every
// operation is bounded, so a missing or hung service is a Failure, never a hang.
class LibsecretBackend final : public SecretBackend
{
public:
    // callLimit bounds each operation; an unlock prompt, or the prompt for the password of a new
    // default collection (the user types a password), adds unlockLimit. Read, save and delete all
    // unlock. The product uses the defaults; tests shorten them.
    explicit LibsecretBackend(std::chrono::milliseconds callLimit = std::chrono::seconds(5),
                              std::chrono::milliseconds unlockLimit = std::chrono::seconds(60));

    SecretLookup copyMatching() override;
    SecretStatus update(const std::string &bytes) override;
    SecretStatus add(const std::string &bytes) override;
    SecretStatus remove() override;

private:
    std::chrono::milliseconds m_callLimit;
    std::chrono::milliseconds m_unlockLimit;
};

} // namespace pimlo
