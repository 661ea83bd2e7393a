#pragma once

#include <QMenu>
#include <functional>

namespace pimlo {

// The pet's commands: "打招呼", "开心", "睡觉", "聊天", "退出", in this order, always enabled,
// without separators or shortcuts. The pet window and the tray icon each get one.
class ActionMenu final : public QMenu
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActionMenu)

public:
    struct Commands
    {
        std::function<void()> greet;
        std::function<void()> happy;
        std::function<void()> sleep;
        std::function<void()> chat;
        // When "聊天" is highlighted, by pointer or keyboard, before it may be chosen.
        std::function<void()> chatHighlighted;
        std::function<void()> quit;
    };

    explicit ActionMenu(const Commands &commands);
};

} // namespace pimlo
