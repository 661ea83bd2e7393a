#pragma once

#include <QString>
#include <QStringList>

namespace pimlo {

// What the arguments after the program name ask for. Qt's own options (-platform, -display…)
// are expected to be taken out by the application object before the final decision.
class CommandLine final
{
public:
    enum class Action
    {
        Run,
        Help,
        Version,
        Autostart,
        Check,
        Quit,
        Error
    };

    struct Decision
    {
        Action action = Action::Run;
        bool autostartOn = false;
        // For Error: one Chinese line naming the offending argument.
        QString error;
    };

    // "--show-chat" and anything that merely begins with "--show-chat=" are left to the chat
    // launch rule (only the exact word opens the chat), so they never make an error here.
    static Decision decide(const QStringList &arguments);
    // Whether the decision can be carried out without a display.
    static bool isConsoleOnly(Action action);

    static QString helpText();
    static QString versionText();
};

} // namespace pimlo
