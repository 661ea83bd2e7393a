#include "chat/model/ChatModel.h"

#include "chat/client/CancelToken.h"
#include "chat/client/ChatFailure.h"
#include "chat/client/CredentialStore.h"
#include "chat/client/DeepSeekClient.h"
#include "chat/model/ConversationBudget.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSettings>

namespace pimlo {
namespace {

const QString noKey = QStringLiteral("先填写 API Key，再点击重试。");
const QString tooLong = QStringLiteral("这段对话已很长，请新建对话后继续。");
const QString stopped = QStringLiteral("已停止回复，可以重试。");
const QString networkFailed = QStringLiteral("网络连接失败或超时，请检查网络后重试。");

QString initialModel()
{
    const QVariant stored = QSettings().value(QStringLiteral("deepseekModel"));
    return stored.isValid() ? stored.toString() : QStringLiteral("deepseek-flash");
}

} // namespace

const APIMessage &ChatModel::persona()
{
    static const APIMessage message{
        "system", "你是 Pimlo，一个温暖、有趣、善于倾听的桌面伙伴。默认用简洁自然的中文交流，"
                  "记住本次对话上下文。诚实说明你不知道的事情，不声称执行了未实际执行的电脑操作。"};
    return message;
}

ChatModel::KeyProvider ChatModel::defaultKeyProvider()
{
    return [] { return CredentialStore::read(); };
}

ChatModel::Responder ChatModel::defaultResponder()
{
    return [](const std::vector<APIMessage> &messages, const std::string &key,
              const std::string &model,
              CancelToken &cancel) { return DeepSeekClient::reply(messages, key, model, &cancel); };
}

ChatModel::ChatModel(KeyProvider keyProvider, Responder responder, QObject *parent)
    : QObject(parent), m_selectedModel(initialModel()), m_keyProvider(std::move(keyProvider)),
      m_responder(std::move(responder))
{
}

ChatModel::~ChatModel()
{
    cancelTask();
}

void ChatModel::setLines(QList<ChatLine> lines)
{
    m_lines = std::move(lines);
    Q_EMIT changed();
}

void ChatModel::appendLine(ChatLine line)
{
    QList<ChatLine> lines = m_lines;
    lines.append(std::move(line));
    setLines(std::move(lines));
}

void ChatModel::setDraft(const QString &draft)
{
    m_draft = draft;
    Q_EMIT changed();
}

void ChatModel::setInputFocusRequest(qint64 request)
{
    m_inputFocusRequest = request;
    Q_EMIT changed();
}

void ChatModel::setBusy(bool busy)
{
    m_busy = busy;
    Q_EMIT changed();
}

void ChatModel::setError(std::optional<QString> error)
{
    m_error = std::move(error);
    Q_EMIT changed();
}

void ChatModel::setSettings(bool settings)
{
    m_settings = settings;
    Q_EMIT changed();
}

void ChatModel::setPending(std::optional<QString> pending)
{
    m_pending = std::move(pending);
    Q_EMIT changed();
}

void ChatModel::setSelectedModel(const QString &model)
{
    m_selectedModel = model;
    Q_EMIT changed();
}

void ChatModel::send()
{
    // QString::trimmed() removes exactly category Z, tab, U+000A to U+000D and U+0085.
    const QString text = m_draft.trimmed();
    if (text.isEmpty() || m_busy || m_pending)
        return;
    setPending(text);
    appendLine(ChatLine(true, text));
    setDraft(QString());
    requestReply();
}

void ChatModel::retry()
{
    if (!m_busy && m_pending)
        requestReply();
}

void ChatModel::stop()
{
    if (m_task)
        m_task->cancel();
}

void ChatModel::abandon()
{
    if (m_busy)
        return;
    if (m_pending && !m_lines.isEmpty() && m_lines.last().isUser()) {
        QList<ChatLine> lines = m_lines;
        lines.removeLast();
        setLines(std::move(lines));
    }
    setPending(std::nullopt);
    setError(std::nullopt);
}

void ChatModel::newConversation()
{
    m_generation = QUuid::createUuid();
    cancelTask();
    setBusy(false);
    m_history.clear();
    setLines({});
    setPending(std::nullopt);
    setError(std::nullopt);
    setDraft(QString());
}

void ChatModel::shutdown()
{
    m_generation = QUuid::createUuid();
    cancelTask();
    // The application object goes away next, and a worker must not hand an outcome to it
    // while it does. A cancel wakes the transfer at once; a responder that ignores it cannot
    // hold up the exit for longer than this.
    ReplyJob::waitForDone(2000);
}

void ChatModel::cancelTask()
{
    if (m_task)
        m_task->cancel();
    m_task.reset();
}

void ChatModel::requestReply()
{
    if (!m_pending)
        return;
    setError(std::nullopt);

    std::optional<std::string> key;
    try {
        key = m_keyProvider();
    } catch (const ChatFailure &failure) {
        setError(QString::fromStdString(failure.message()));
        return;
    } catch (...) {
        // Any other error from the key provider has no sentence of its own.
        setError(QString::fromUtf8(CredentialStore::readFailed));
        return;
    }
    if (!key || key->empty()) {
        setSettings(true);
        setError(noKey);
        return;
    }

    auto job = std::make_shared<ReplyJob>();
    job->userText = m_pending->toStdString();
    job->messages.reserve(m_history.size() + 2);
    job->messages.push_back(persona());
    job->messages.insert(job->messages.end(), m_history.begin(), m_history.end());
    job->messages.push_back({"user", job->userText});
    if (!ConversationBudget::fits(job->messages)) {
        setError(tooLong);
        return;
    }

    setBusy(true);
    m_generation = QUuid::createUuid();
    job->generation = m_generation;
    job->key = std::move(*key);
    job->model = m_selectedModel.toStdString();
    job->cancel = std::make_shared<CancelToken>();
    job->responder = m_responder;
    // Replaces without cancelling: a previous handle can only belong to a job that has ended.
    m_task = job->cancel;
    startJob(std::move(job));
}

void ChatModel::startJob(std::shared_ptr<const ReplyJob> job)
{
    // The job holds the model only weakly. The queued call goes through the application
    // object, which outlives the model, and is checked against the model on the main thread
    // only: a worker must never touch a model that the main thread may be deleting.
    QPointer<ChatModel> model(this);
    ReplyJob::start([job, model] {
        auto outcome = std::make_shared<const ReplyOutcome>(job->run());
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [job, model, outcome] {
                if (model)
                    model->finishReply(*job, *outcome);
            },
            Qt::QueuedConnection);
    });
}

void ChatModel::finishReply(const ReplyJob &job, const ReplyOutcome &outcome)
{
    if (job.generation != m_generation)
        return; // stale: dropped without a trace
    // Checked here rather than on the worker, so a stop() that comes after the responder
    // returned but before this call still wins: a stopped job's reply is never shown.
    const bool cancelled = job.cancel->isCancelled();
    if (outcome.kind == ReplyOutcome::Kind::Reply && !cancelled) {
        m_history.push_back({"user", job.userText});
        m_history.push_back({"assistant", outcome.text});
        appendLine(ChatLine(false, QString::fromStdString(outcome.text)));
        setPending(std::nullopt);
        setBusy(false);
        m_task.reset();
        return;
    }
    setBusy(false);
    m_task.reset();
    if (cancelled)
        setError(stopped);
    else if (outcome.kind == ReplyOutcome::Kind::Failure)
        setError(QString::fromStdString(outcome.text));
    else
        setError(networkFailed);
}

} // namespace pimlo
