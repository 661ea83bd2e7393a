#include "app/CommandLine.h"

#include <QTest>

using namespace pimlo;
using Action = CommandLine::Action;

class CommandLineTest : public QObject
{
    Q_OBJECT

    // errorNames: what the error line must name, separated by '|'; empty when there is none.
    static void row(const char *arguments, Action action, bool on = false, QString errorNames = {})
    {
        QTest::newRow(*arguments ? arguments : "no arguments")
            << QString(arguments) << action << on << errorNames;
    }

private Q_SLOTS:
    void decide_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("autostartOn");
        QTest::addColumn<QString>("errorNames");
        row("", Action::Run);
        row("--show-chat", Action::Run);
        // Only the exact word opens the chat; a value attached to it is no error either.
        row("--show-chat=1", Action::Run);
        row("-h", Action::Help);
        row("--show-chat --check", Action::Check);
        row("--autostart on --show-chat", Action::Autostart, true);
        row("--autostart=off", Action::Autostart, false);
        row("--autostart", Action::Error, false, "--autostart");
        row("--autostart --check", Action::Error, false, "--autostart");
        row("--check --autostart=on", Action::Error, false, "--check|--autostart");
        row("--show-chat --bogus", Action::Error, false, "--bogus");
        row("-hv", Action::Error, false, "-hv");
        row("chat", Action::Error, false, "chat");
        row("--show-cha", Action::Error, false, "--show-cha");
    }

    void decide()
    {
        QFETCH(QString, arguments);
        QFETCH(Action, action);
        QFETCH(bool, autostartOn);
        QFETCH(QString, errorNames);
        const CommandLine::Decision decision =
            CommandLine::decide(arguments.split(u' ', Qt::SkipEmptyParts));
        QCOMPARE(decision.action, action);
        if (action == Action::Autostart)
            QCOMPARE(decision.autostartOn, autostartOn);
        QCOMPARE(decision.error.isEmpty(), errorNames.isEmpty());
        for (const QString &name : errorNames.split(u'|', Qt::SkipEmptyParts))
            QVERIFY2(decision.error.contains(name), qPrintable(decision.error));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
