#include "CommandLine.h"

#include <optional>

namespace pimlo {
namespace {

const QString showChat = QStringLiteral("--show-chat");
const QString autostart = QStringLiteral("--autostart");

QString unknown(const QString &argument)
{
    return QStringLiteral("pimlo：不认识的参数“%1”，可用的选项见 pimlo --help。").arg(argument);
}

std::optional<bool> onOff(const QString &value)
{
    if (value == QLatin1String("on"))
        return true;
    if (value == QLatin1String("off"))
        return false;
    return std::nullopt;
}

} // namespace

CommandLine::Decision CommandLine::decide(const QStringList &arguments)
{
    Decision decision;
    QString firstCommand;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        Action action = Action::Run;
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            action = Action::Help;
        } else if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            action = Action::Version;
        } else if (argument == QLatin1String("--check")) {
            action = Action::Check;
        } else if (argument == QLatin1String("--quit")) {
            action = Action::Quit;
        } else if (argument == autostart || argument.startsWith(autostart + u'=')) {
            const bool attached = argument != autostart;
            const QString value =
                attached ? argument.mid(autostart.size() + 1) : arguments.value(i + 1);
            const std::optional<bool> on = onOff(value);
            if (!on) {
                return {Action::Error, false,
                        QStringLiteral("pimlo：--autostart 后面要跟 on 或 off。")};
            }
            if (!attached)
                ++i;
            action = Action::Autostart;
            decision.autostartOn = *on;
        } else if (argument != showChat && !argument.startsWith(showChat + u'=')) {
            return {Action::Error, false, unknown(argument)};
        }
        if (action == Action::Run)
            continue;
        const QString name = argument.section(u'=', 0, 0);
        if (decision.action != Action::Run && decision.action != action) {
            return {Action::Error, false,
                    QStringLiteral("pimlo：%1 和 %2 不能一起用。").arg(firstCommand, name)};
        }
        decision.action = action;
        firstCommand = name;
    }
    return decision;
}

bool CommandLine::isConsoleOnly(Action action)
{
    return action == Action::Help || action == Action::Version || action == Action::Autostart ||
           action == Action::Quit;
}

QString CommandLine::helpText()
{
    return QStringLiteral("用法：pimlo [选项]\n"
                          "Pimlo：会走路、会打盹、还能陪你聊天的桌面伙伴。\n"
                          "\n"
                          "选项：\n"
                          "  -h, --help            显示这段说明\n"
                          "  -v, --version         显示版本\n"
                          "  --show-chat           打开聊天窗口（Pimlo 已在运行时，请它打开）\n"
                          "  --autostart on|off    开启或关闭登录时自动启动\n"
                          "  --quit                请正在运行的 Pimlo 退出\n"
                          "  --check               检查这个桌面上会让 Pimlo "
                          "表现异常的地方，不启动宠物\n");
}

QString CommandLine::versionText()
{
    return QStringLiteral("pimlo " PIMLO_VERSION);
}

} // namespace pimlo
