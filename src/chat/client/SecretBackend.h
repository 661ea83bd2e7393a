#pragma once

#include <optional>
#include <string>

namespace pimlo {

// Outcome of one primitive secret-store operation.
enum class SecretStatus
{
    Success,
    NotFound, // no item with our attributes
    Failure,  // anything else: no service, locked and not unlockable, refused, timed out
};

// Result of copyMatching(): on Success, data holds the stored bytes when the store returned any.
struct SecretLookup
{
    SecretStatus status = SecretStatus::Failure;
    std::optional<std::string> data;
};

// The four primitive operations on the one item that holds the API key.
class SecretBackend
{
public:
    virtual ~SecretBackend() = default;

    // Reads the item's bytes.
    virtual SecretLookup copyMatching() = 0;
    // Replaces the bytes of the existing item; NotFound when there is none.
    virtual SecretStatus update(const std::string &bytes) = 0;
    // Creates the item; must fail rather than create a second one.
    virtual SecretStatus add(const std::string &bytes) = 0;
    // Deletes the item ("delete" is a keyword); NotFound when there is none.
    virtual SecretStatus remove() = 0;
};

} // namespace pimlo
