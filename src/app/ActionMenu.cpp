#include "ActionMenu.h"

namespace pimlo {

ActionMenu::ActionMenu(const Commands &commands)
{
    setTitle(QStringLiteral("Pimlo"));
    const std::pair<QString, const std::function<void()> &> items[] = {
        {QStringLiteral("打招呼"), commands.greet}, {QStringLiteral("开心"), commands.happy},
        {QStringLiteral("睡觉"), commands.sleep},   {QStringLiteral("聊天"), commands.chat},
        {QStringLiteral("退出"), commands.quit},
    };
    for (const auto &[title, command] : items)
        connect(addAction(title), &QAction::triggered, this, command);
    if (commands.chatHighlighted)
        connect(actions().at(3), &QAction::hovered, this, commands.chatHighlighted);
}

} // namespace pimlo
