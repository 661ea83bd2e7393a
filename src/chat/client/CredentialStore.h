#pragma once

#include <optional>
#include <string>

namespace pimlo {

class SecretBackend;

// The user's API key in the desktop's secret store. Every failure is a ChatFailure with a
// sentence for the user. Blocking; each operation ends within a few seconds (longer only
// while the desktop asks the user to unlock the keyring).
class CredentialStore final
{
public:
    CredentialStore() = delete;

    // The stored key, or no value when none is saved (an empty key reads back as "").
    static std::optional<std::string> read();
    // Replaces the stored key, or creates it when there is none.
    static void save(const std::string &key);
    // Deletes the stored key; succeeds when none is stored. ("delete" is a keyword.)
    static void remove();

    // The same operations over a given backend (tests use a fake).
    static std::optional<std::string> read(SecretBackend &backend);
    static void save(SecretBackend &backend, const std::string &key);
    static void remove(SecretBackend &backend);

    // The sentence of every failed read.
    static constexpr const char *readFailed = "无法读取钥匙串，请解锁电脑后重试。";

    // The Secret Service backend used by the operations without a backend argument.
    static SecretBackend &defaultBackend();
};

} // namespace pimlo
