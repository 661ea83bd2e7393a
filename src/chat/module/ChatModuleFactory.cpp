#include "ChatModuleFactory.h"

#include "chat/window/ChatWindowController.h"

namespace pimlo {
namespace {

class ControlledChat final : public Chat
{
public:
    void present() override { m_controller.present(); }
    bool isOpen() const override { return m_controller.isOpen(); }
    void setOnClose(std::function<void()> onClose) override
    {
        m_controller.setOnClose(std::move(onClose));
    }
    void shutdown() override { m_controller.model().shutdown(); }

private:
    ChatWindowController m_controller;
};

} // namespace

std::unique_ptr<Chat> ChatModuleFactory::makeChat()
{
    return std::make_unique<ControlledChat>();
}

} // namespace pimlo
