#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

namespace pimlo {

class ChatModel;

// The API key form without its widgets: the typed key, the outcome of the last save or delete,
// and the actions. The stored key is never read back or shown; the form only replaces or
// deletes it. A presentation runs from appeared() to disappeared().
class CredentialSettings final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CredentialSettings)

public:
    // The key store's two writes; each throws ChatFailure with a sentence for the user.
    struct Store
    {
        std::function<void(const std::string &key)> save;
        std::function<void()> remove;
    };
    // CredentialStore::save() and CredentialStore::remove().
    static Store defaultStore();

    // One model the picker offers: the label shown and the identifier stored.
    struct ModelChoice
    {
        QString label;
        QString value;
    };
    static const QList<ModelChoice> &modelChoices();

    explicit CredentialSettings(ChatModel &model, Store store = defaultStore(),
                                QObject *parent = nullptr);

    ChatModel &model() const { return m_model; }
    // The text of the key field.
    QString key() const { return m_key; }
    void setKey(const QString &key);
    // The outcome of the last save or delete; empty until there is one.
    QString notice() const { return m_notice; }
    // The last save or delete worked (green), or did not (red).
    bool saved() const { return m_saved; }
    // Save and delete wait while a reply is in flight.
    bool canWrite() const;

    // Stores the trimmed key and the model choice; refuses a blank key or one with spaces inside.
    void save();
    // Deletes the stored key; succeeds when none is stored.
    void remove();
    // Empties the field and asks the chat to close the form; the stored key is left alone.
    void done();

    // The form is shown: it starts empty, and writes every change of the model choice at once.
    void appeared();
    // The form is gone, however it closed: a typed key never outlives it.
    void disappeared();

Q_SIGNALS:
    void changed();

private:
    void setOutcome(bool saved, const QString &notice);
    void modelChanged();
    void writeModelPreference(const QString &model);

    ChatModel &m_model;
    Store m_store;
    QString m_key;
    QString m_notice;
    bool m_saved = false;
    bool m_shown = false;
    QString m_seenModel; // the model choice last written or found while shown
};

} // namespace pimlo
