// libsecret (glib) lives only here: no Qt header may be included in this file.
#include "chat/client/LibsecretBackend.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace pimlo {
namespace {

constexpr const char *serviceName = "local.pimlo.deepseek";
constexpr const char *accountName = "api-key";
constexpr const char *itemLabel = "Pimlo DeepSeek API Key";
constexpr const char *defaultLabel = "默认密钥环"; // what libsecret names it in Chinese

const SecretSchema *schema()
{
    static const SecretSchema value = {"local.pimlo.deepseek.ApiKey",
                                       SECRET_SCHEMA_NONE,
                                       {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                        {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                       0,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr,
                                       nullptr};
    return &value;
}

// The time limit of one whole operation: a single watchdog cancels the operation's one
// GCancellable when it passes, and every blocking libsecret call of the operation is handed
// that cancellable, so it returns with an error instead of waiting on D-Bus for ever.
class Deadline final
{
public:
    explicit Deadline(std::chrono::milliseconds limit)
        : m_cancellable(g_cancellable_new()), m_end(Clock::now() + limit), m_watch([this] {
              std::unique_lock lock(m_mutex);
              while (!m_done) {
                  const auto end = m_end;
                  if (!m_wake.wait_until(lock, end, [&] { return m_done || m_end != end; })) {
                      g_cancellable_cancel(m_cancellable);
                      return;
                  }
              }
          })
    {
    }
    ~Deadline()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_watch.join();
        g_object_unref(m_cancellable);
    }
    Deadline(const Deadline &) = delete;
    Deadline &operator=(const Deadline &) = delete;

    GCancellable *get() const { return m_cancellable; }

    // More time for the step that starts now: an unlock prompt waits for a person.
    void extend(std::chrono::milliseconds more)
    {
        {
            std::lock_guard lock(m_mutex);
            m_end += more;
        }
        m_wake.notify_all();
    }

private:
    using Clock = std::chrono::steady_clock;

    GCancellable *m_cancellable;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Clock::time_point m_end;
    bool m_done = false;
    std::thread m_watch; // last: starts after the members it uses
};

// Owns the references and the deadline of one operation.
struct Lookup
{
    Deadline deadline;
    SecretService *service = nullptr;
    GList *items = nullptr;
    SecretStatus status = SecretStatus::Failure;

    explicit Lookup(std::chrono::milliseconds limit) : deadline(limit) {}
    Lookup(const Lookup &) = delete;
    Lookup &operator=(const Lookup &) = delete;
    ~Lookup()
    {
        g_list_free_full(items, g_object_unref);
        if (service)
            g_object_unref(service);
    }
};

bool anyLocked(GList *items)
{
    for (GList *it = items; it; it = it->next) {
        if (secret_item_get_locked(SECRET_ITEM(it->data)))
            return true;
    }
    return false;
}

// Finds our items; with unlock, asks the service to unlock locked ones and looks again.
void find(Lookup &lookup, bool unlock, std::chrono::milliseconds unlockLimit)
{
    GCancellable *cancellable = lookup.deadline.get();
    GError *error = nullptr;
    lookup.service = secret_service_get_sync(SECRET_SERVICE_NONE, cancellable, &error);
    if (!lookup.service) {
        g_clear_error(&error);
        return;
    }
    GHashTable *attributes =
        secret_attributes_build(schema(), "service", serviceName, "account", accountName, nullptr);
    const auto search = [&] {
        g_list_free_full(lookup.items, g_object_unref);
        lookup.items = secret_service_search_sync(lookup.service, schema(), attributes,
                                                  SECRET_SEARCH_ALL, cancellable, &error);
        const bool ok = !error;
        g_clear_error(&error);
        return ok;
    };
    bool ok = search();
    if (ok && unlock && anyLocked(lookup.items)) {
        lookup.deadline.extend(unlockLimit);
        secret_service_unlock_sync(lookup.service, lookup.items, cancellable, nullptr, &error);
        g_clear_error(&error);
        ok = search() && !anyLocked(lookup.items); // locked and not unlockable: a failure
    }
    g_hash_table_unref(attributes);
    if (ok)
        lookup.status = lookup.items ? SecretStatus::Success : SecretStatus::NotFound;
}

} // namespace

LibsecretBackend::LibsecretBackend(std::chrono::milliseconds callLimit,
                                   std::chrono::milliseconds unlockLimit)
    : m_callLimit(callLimit), m_unlockLimit(unlockLimit)
{
}

SecretLookup LibsecretBackend::copyMatching()
{
    Lookup lookup(m_callLimit);
    find(lookup, true, m_unlockLimit);
    if (lookup.status != SecretStatus::Success)
        return {lookup.status, std::nullopt};
    auto *item = SECRET_ITEM(lookup.items->data);
    GError *error = nullptr;
    const bool loaded = secret_item_load_secret_sync(item, lookup.deadline.get(), &error);
    g_clear_error(&error);
    if (!loaded)
        return {SecretStatus::Failure, std::nullopt};
    SecretValue *value = secret_item_get_secret(item);
    if (!value)
        return {SecretStatus::Success, std::nullopt};
    gsize length = 0;
    const gchar *bytes = secret_value_get(value, &length);
    SecretLookup result{SecretStatus::Success, std::string(bytes, length)};
    secret_value_unref(value);
    return result;
}

SecretStatus LibsecretBackend::update(const std::string &bytes)
{
    Lookup lookup(m_callLimit);
    find(lookup, true, m_unlockLimit);
    if (lookup.status != SecretStatus::Success)
        return lookup.status;
    SecretValue *value =
        secret_value_new(bytes.data(), static_cast<gssize>(bytes.size()), "text/plain");
    SecretStatus status = SecretStatus::Success;
    for (GList *it = lookup.items; it; it = it->next) {
        GError *error = nullptr;
        if (!secret_item_set_secret_sync(SECRET_ITEM(it->data), value, lookup.deadline.get(),
                                         &error))
            status = SecretStatus::Failure;
        g_clear_error(&error);
    }
    secret_value_unref(value);
    return status;
}

SecretStatus LibsecretBackend::add(const std::string &bytes)
{
    Lookup lookup(m_callLimit);
    find(lookup, false, m_unlockLimit);
    // libsecret would happily store a second item with the same attributes.
    if (lookup.status != SecretStatus::NotFound)
        return SecretStatus::Failure;

    GCancellable *cancellable = lookup.deadline.get();
    GError *error = nullptr;
    SecretCollection *collection = secret_collection_for_alias_sync(
        lookup.service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, cancellable, &error);
    if (!collection && !error) {
        // A keyring without a default collection (no login keyring yet): create it, as
        // secret_password_store() does. The service prompts the user to choose its password.
        lookup.deadline.extend(m_unlockLimit);
        collection =
            secret_collection_create_sync(lookup.service, defaultLabel, SECRET_COLLECTION_DEFAULT,
                                          SECRET_COLLECTION_CREATE_NONE, cancellable, &error);
    }
    g_clear_error(&error);
    if (!collection)
        return SecretStatus::Failure;
    if (secret_collection_get_locked(collection)) {
        lookup.deadline.extend(m_unlockLimit);
        GList objects = {collection, nullptr, nullptr};
        secret_service_unlock_sync(lookup.service, &objects, cancellable, nullptr, &error);
        g_clear_error(&error);
    }
    GHashTable *attributes =
        secret_attributes_build(schema(), "service", serviceName, "account", accountName, nullptr);
    SecretValue *value =
        secret_value_new(bytes.data(), static_cast<gssize>(bytes.size()), "text/plain");
    SecretItem *item = secret_item_create_sync(collection, schema(), attributes, itemLabel, value,
                                               SECRET_ITEM_CREATE_NONE, cancellable, &error);
    g_clear_error(&error);
    secret_value_unref(value);
    g_hash_table_unref(attributes);
    g_object_unref(collection);
    if (!item)
        return SecretStatus::Failure;
    g_object_unref(item);
    return SecretStatus::Success;
}

SecretStatus LibsecretBackend::remove()
{
    Lookup lookup(m_callLimit);
    find(lookup, true, m_unlockLimit); // a locked item cannot be deleted
    if (lookup.status != SecretStatus::Success)
        return lookup.status;
    SecretStatus status = SecretStatus::Success;
    for (GList *it = lookup.items; it; it = it->next) {
        GError *error = nullptr;
        if (!secret_item_delete_sync(SECRET_ITEM(it->data), lookup.deadline.get(), &error))
            status = SecretStatus::Failure;
        g_clear_error(&error);
    }
    return status;
}

} // namespace pimlo
