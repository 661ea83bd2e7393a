#pragma once

#include "chat/client/APIMessage.h"

#include <QStringView>

#include <vector>

namespace pimlo {

// The size limit of one request, in user-perceived characters (extended grapheme clusters),
// so that a family emoji or a flag counts once however many code points it has.
class ConversationBudget final
{
public:
    ConversationBudget() = delete;

    static constexpr qsizetype maxCharacters = 119'999;

    // Grapheme clusters of text.
    static qsizetype characters(QStringView text);
    // Sum over the contents of messages (UTF-8); roles are not counted. Each content is
    // counted on its own: a cluster never spans two messages.
    static qsizetype characters(const std::vector<APIMessage> &messages);
    // True when the contents stay within maxCharacters.
    static bool fits(const std::vector<APIMessage> &messages);
};

} // namespace pimlo
