#include "chat/window/CredentialSettings.h"

#include "chat/client/ChatFailure.h"
#include "chat/client/CredentialStore.h"
#include "chat/model/ChatModel.h"

#include <QSettings>

namespace pimlo {
namespace {

const QString enterKey = QStringLiteral("请输入 API Key。");
const QString noSpaces = QStringLiteral("密钥不能含空格或换行，请检查粘贴内容。");
const QString keySaved = QStringLiteral("已保存到钥匙串。可关闭此窗口，发送消息或重试。");
const QString keyDeleted = QStringLiteral("已删除此电脑上的密钥。");

// White space of any kind, and the invisible control and format characters (zero-width space,
// byte order mark, soft hyphen) that come along when a key is copied from a web page: stored,
// they would make every request fail as if the key were wrong.
bool hasInvisibleCharacter(const QString &key)
{
    for (const char32_t c : key.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (QChar::isSpace(c) || category == QChar::Other_Control ||
            category == QChar::Other_Format)
            return true;
    }
    return false;
}

} // namespace

CredentialSettings::Store CredentialSettings::defaultStore()
{
    return {[](const std::string &key) { CredentialStore::save(key); },
            [] { CredentialStore::remove(); }};
}

const QList<CredentialSettings::ModelChoice> &CredentialSettings::modelChoices()
{
    static const QList<ModelChoice> choices{
        {QStringLiteral("DeepSeek Flash · 日常聊天"), QStringLiteral("deepseek-flash")},
        {QStringLiteral("DeepSeek V4 Pro"), QStringLiteral("deepseek-v4-pro")},
    };
    return choices;
}

CredentialSettings::CredentialSettings(ChatModel &model, Store store, QObject *parent)
    : QObject(parent), m_model(model), m_store(std::move(store))
{
    connect(&m_model, &ChatModel::changed, this, &CredentialSettings::modelChanged);
}

void CredentialSettings::setKey(const QString &key)
{
    m_key = key;
    Q_EMIT changed();
}

bool CredentialSettings::canWrite() const
{
    return !m_model.busy();
}

void CredentialSettings::setOutcome(bool saved, const QString &notice)
{
    m_saved = saved;
    m_notice = notice;
    Q_EMIT changed();
}

void CredentialSettings::save()
{
    if (!canWrite())
        return;
    // QString::trimmed() removes exactly Unicode white space and line breaks at both ends, so a
    // key pasted with a trailing line break is stored without it. A refused key stays in the
    // field for correction.
    const QString key = m_key.trimmed();
    if (key.isEmpty()) {
        setOutcome(false, enterKey);
        return;
    }
    if (hasInvisibleCharacter(key)) {
        setOutcome(false, noSpaces);
        return;
    }
    try {
        m_store.save(key.toStdString());
    } catch (const ChatFailure &failure) {
        setOutcome(false, QString::fromStdString(failure.message()));
        return;
    }
    writeModelPreference(m_model.selectedModel());
    m_key.clear();
    setOutcome(true, keySaved);
}

void CredentialSettings::remove()
{
    if (!canWrite())
        return;
    try {
        m_store.remove();
    } catch (const ChatFailure &failure) {
        setOutcome(false, QString::fromStdString(failure.message()));
        return;
    }
    m_key.clear();
    setOutcome(true, keyDeleted);
}

void CredentialSettings::done()
{
    setKey(QString());
    m_model.setSettings(false);
}

void CredentialSettings::appeared()
{
    m_shown = true;
    m_seenModel = m_model.selectedModel();
    m_key.clear();
    setOutcome(false, QString());
}

void CredentialSettings::disappeared()
{
    m_shown = false;
    setKey(QString());
}

void CredentialSettings::modelChanged()
{
    // The model announces every assignment; only a new choice is written.
    if (m_shown && m_model.selectedModel() != m_seenModel)
        writeModelPreference(m_model.selectedModel());
    Q_EMIT changed();
}

void CredentialSettings::writeModelPreference(const QString &model)
{
    m_seenModel = model;
    QSettings().setValue(QStringLiteral("deepseekModel"), model);
}

} // namespace pimlo
