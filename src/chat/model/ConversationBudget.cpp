#include "chat/model/ConversationBudget.h"

#include <QString>
#include <QTextBoundaryFinder>

namespace pimlo {

qsizetype ConversationBudget::characters(QStringView text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

qsizetype ConversationBudget::characters(const std::vector<APIMessage> &messages)
{
    qsizetype total = 0;
    for (const APIMessage &message : messages)
        total += characters(QString::fromStdString(message.content));
    return total;
}

bool ConversationBudget::fits(const std::vector<APIMessage> &messages)
{
    return characters(messages) <= maxCharacters;
}

} // namespace pimlo
