#pragma once

#include "chat/client/APIMessage.h"
#include "chat/model/ChatLine.h"
#include "chat/model/ReplyJob.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pimlo {

class CancelToken;

// One conversation with Pimlo and the one reply request that may be in flight. Knows no
// widgets: views read the properties, re-read them on every changed(), and call the
// operations. Every operation runs on the main thread and returns at once; only the
// responder runs on a worker. Nothing of the conversation is ever written anywhere.
class ChatModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString draft READ draft WRITE setDraft NOTIFY changed)
    Q_PROPERTY(
        qint64 inputFocusRequest READ inputFocusRequest WRITE setInputFocusRequest NOTIFY changed)
    Q_PROPERTY(bool busy READ busy NOTIFY changed)
    Q_PROPERTY(bool settings READ settings WRITE setSettings NOTIFY changed)
    Q_PROPERTY(QString selectedModel READ selectedModel WRITE setSelectedModel NOTIFY changed)

public:
    // Reads the API key: no value when none is stored; throws ChatFailure when unreadable.
    using KeyProvider = std::function<std::optional<std::string>()>;
    using Responder = pimlo::Responder;

    // The system message in front of every request; never stored in the history.
    static const APIMessage &persona();
    // CredentialStore::read() and DeepSeekClient::reply(), passed straight through.
    static KeyProvider defaultKeyProvider();
    static Responder defaultResponder();

    explicit ChatModel(KeyProvider keyProvider = defaultKeyProvider(),
                       Responder responder = defaultResponder(), QObject *parent = nullptr);
    // Cancels a running job: its result could no longer be shown anywhere.
    ~ChatModel() override;
    Q_DISABLE_COPY_MOVE(ChatModel)

    // Published properties; each assignment emits changed(), also when the value is equal.
    const QList<ChatLine> &lines() const { return m_lines; }
    QString draft() const { return m_draft; }
    void setDraft(const QString &draft);
    // A counter; every increment asks the view to focus the input field.
    qint64 inputFocusRequest() const { return m_inputFocusRequest; }
    void setInputFocusRequest(qint64 request);
    // A reply job runs and its result is still wanted.
    bool busy() const { return m_busy; }
    // The sentence of the error banner.
    std::optional<QString> error() const { return m_error; }
    // The API key settings sheet is shown.
    bool settings() const { return m_settings; }
    void setSettings(bool settings);
    // The user message shown but not yet answered.
    std::optional<QString> pending() const { return m_pending; }
    // The model identifier of the next request; starts from the "deepseekModel" preference.
    QString selectedModel() const { return m_selectedModel; }
    void setSelectedModel(const QString &model);

    // Submits the trimmed draft as a new user message.
    void send();
    // Sends the pending message again after a refused or failed attempt.
    void retry();
    // Asks the running job to stop; busy stays true until the job has ended.
    void stop();
    // Gives up a refused, failed or stopped message.
    void abandon();
    // Forgets everything, also while a reply is in flight (its result is then dropped).
    void newConversation();
    // Drops and cancels any running job and waits up to 2 s for the reply workers to end;
    // called once when the application terminates, before the application object goes away.
    void shutdown();

Q_SIGNALS:
    void changed();

private:
    void setLines(QList<ChatLine> lines);
    void appendLine(ChatLine line);
    void setBusy(bool busy);
    void setError(std::optional<QString> error);
    void setPending(std::optional<QString> pending);

    void requestReply();
    void startJob(std::shared_ptr<const ReplyJob> job);
    // Applies a job's outcome on the main thread, unless the job has gone stale.
    void finishReply(const ReplyJob &job, const ReplyOutcome &outcome);
    void cancelTask();

    QList<ChatLine> m_lines;
    QString m_draft;
    qint64 m_inputFocusRequest = 0;
    bool m_busy = false;
    std::optional<QString> m_error;
    bool m_settings = false;
    std::optional<QString> m_pending;
    QString m_selectedModel;

    KeyProvider m_keyProvider;
    Responder m_responder;
    std::vector<APIMessage> m_history;   // user, assistant, user, assistant, …
    std::shared_ptr<CancelToken> m_task; // the running job's token, kept to cancel it
    QUuid m_generation = QUuid::createUuid();
};

} // namespace pimlo
