#pragma once

#include <QString>
#include <QUuid>

#include <utility>

namespace pimlo {

// One visible line of the chat window. Immutable; the random id tells apart lines with the
// same text, and the view keys its rows on it.
class ChatLine final
{
public:
    ChatLine(bool isUser, QString text)
        : m_id(QUuid::createUuid()), m_isUser(isUser), m_text(std::move(text))
    {
    }

    QUuid id() const { return m_id; }
    // True for a line the user typed, false for Pimlo's reply.
    bool isUser() const { return m_isUser; }
    QString text() const { return m_text; }

    friend bool operator==(const ChatLine &, const ChatLine &) = default;

private:
    QUuid m_id;
    bool m_isUser;
    QString m_text;
};

} // namespace pimlo
