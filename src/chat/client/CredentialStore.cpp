#include "chat/client/CredentialStore.h"

#include "chat/client/ChatFailure.h"
#include "chat/client/LibsecretBackend.h"
#include "chat/client/SecretBackend.h"
#include "chat/client/Utf8.h"

namespace pimlo {
namespace {

constexpr const char *addFailed = "无法保存到钥匙串，请检查钥匙串是否已解锁。";
constexpr const char *updateFailed = "钥匙串保存失败，原密钥未更新。";
constexpr const char *deleteFailed = "无法删除钥匙串中的密钥。";

} // namespace

std::optional<std::string> CredentialStore::read()
{
    return read(defaultBackend());
}
void CredentialStore::save(const std::string &key)
{
    save(defaultBackend(), key);
}
void CredentialStore::remove()
{
    remove(defaultBackend());
}

SecretBackend &CredentialStore::defaultBackend()
{
    static LibsecretBackend backend;
    return backend;
}

std::optional<std::string> CredentialStore::read(SecretBackend &backend)
{
    const SecretLookup found = backend.copyMatching();
    switch (found.status) {
    case SecretStatus::NotFound:
        return std::nullopt;
    case SecretStatus::Success:
        // Bytes that are not text are a damaged item, not a missing one.
        if (found.data && utf8::isValid(*found.data))
            return found.data;
        break;
    case SecretStatus::Failure:
        break;
    }
    throw ChatFailure(readFailed);
}

void CredentialStore::save(SecretBackend &backend, const std::string &key)
{
    // Update first, so a save never makes a second item; add only when nothing was there.
    switch (backend.update(key)) {
    case SecretStatus::Success:
        return;
    case SecretStatus::NotFound:
        if (backend.add(key) != SecretStatus::Success)
            throw ChatFailure(addFailed);
        return;
    case SecretStatus::Failure:
        throw ChatFailure(updateFailed);
    }
}

void CredentialStore::remove(SecretBackend &backend)
{
    if (backend.remove() == SecretStatus::Failure)
        throw ChatFailure(deleteFailed);
}

} // namespace pimlo
