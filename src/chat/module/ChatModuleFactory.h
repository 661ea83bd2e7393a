#pragma once

#include "app/Chat.h"

#include <QObject>

namespace pimlo {

// The root object of the chat module: makes the chat window's controller behind the app's
// Chat interface.
class ChatModuleFactory final : public QObject, public ChatFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID PIMLO_CHAT_FACTORY_IID)
    Q_INTERFACES(pimlo::ChatFactory)

public:
    std::unique_ptr<Chat> makeChat() override;
};

} // namespace pimlo
