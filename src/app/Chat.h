#pragma once

#include <QtPlugin>
#include <functional>
#include <memory>

namespace pimlo {

// The chat window as the app drives it. It lives in a module of its own (the window, the
// conversation, the HTTPS client and the key store), loaded on the first chat request, so a
// resting pet never maps libcurl, libsecret and what they bring.
class Chat
{
public:
    virtual ~Chat() = default;

    // Shows or re-shows the window, the same one with the same conversation every time.
    virtual void present() = 0;
    // True from present() until the window closes.
    virtual bool isOpen() const = 0;
    // Called when the window closes.
    virtual void setOnClose(std::function<void()> onClose) = 0;
    // Cancels a reply still in flight; called before any window goes away.
    virtual void shutdown() = 0;
};

// The chat module's root object.
class ChatFactory
{
public:
    virtual ~ChatFactory() = default;
    virtual std::unique_ptr<Chat> makeChat() = 0;
};

} // namespace pimlo

#define PIMLO_CHAT_FACTORY_IID "local.pimlo.Pimlo.ChatFactory/1"
Q_DECLARE_INTERFACE(pimlo::ChatFactory, PIMLO_CHAT_FACTORY_IID)
