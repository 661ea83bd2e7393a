#include "app/Autostart.h"
#include "app/CommandLine.h"
#include "platform/DisplaySession.h"

#include <QRegularExpression>
#include <QTest>

using namespace pimlo;
using Action = CommandLine::Action;

// What a launch decides before any window exists: the command, the login entry and the display
// platform.
class LaunchDecisionsTest final : public QObject
{
    Q_OBJECT

    // errorNames: what the error line must name, separated by '|'; empty when there is none.
    static void row(const char *arguments, Action action, bool on = false, QString errorNames = {})
    {
        QTest::newRow(arguments) << action << on << errorNames;
    }

private Q_SLOTS:
    // The row's tag is the command line.
    void commandLine_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("autostartOn");
        QTest::addColumn<QString>("errorNames");
        row("--show-chat=1", Action::Run); // only the exact word opens the chat; no error either
        row("-h", Action::Help);
        row("--show-chat --check", Action::Check);
        row("--autostart on --show-chat", Action::Autostart, true);
        row("--autostart=off", Action::Autostart, false);
        row("--show-chat --quit", Action::Quit);
        row("--quit --check", Action::Error, false, "--quit|--check");
        row("--autostart", Action::Error, false, "--autostart");
        row("--autostart --check", Action::Error, false, "--autostart");
        row("--check --autostart=on", Action::Error, false, "--check|--autostart");
        row("--show-chat --bogus", Action::Error, false, "--bogus");
        row("-hv", Action::Error, false, "-hv");
        row("chat", Action::Error, false, "chat");
        row("--show-cha", Action::Error, false, "--show-cha");
    }
    void commandLine()
    {
        QFETCH(Action, action);
        QFETCH(bool, autostartOn);
        QFETCH(QString, errorNames);
        const auto decision = CommandLine::decide(QString(QTest::currentDataTag()).split(u' '));
        QCOMPARE(decision.action, action);
        QCOMPARE(decision.autostartOn, autostartOn);
        QCOMPARE(decision.error.isEmpty(), errorNames.isEmpty());
        for (const QString &name : errorNames.split(u'|', Qt::SkipEmptyParts))
            QVERIFY2(decision.error.contains(name), qPrintable(decision.error));
    }

    // Each row computes one text from its inputs.
    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const auto exec = [](const char *binary) {
            static const QRegularExpression line("^Exec=.*", QRegularExpression::MultilineOption);
            return line.match(Autostart::entryText(binary)).captured();
        };
        const auto platform = [](const char *qpa, const char *sessionType, const char *wayland) {
            return QString(DisplaySession::forcedPlatform(qpa, sessionType, wayland));
        };
        // The desktop reads the Exec line as string escapes first, then as quoted arguments.
        QTest::newRow("plain") << exec("/usr/bin/pimlo") << "Exec=/usr/bin/pimlo";
        QTest::newRow("space") << exec("/opt/my pets/pimlo") << "Exec=\"/opt/my pets/pimlo\"";
        QTest::newRow("percent") << exec("/opt/100%/pimlo") << "Exec=/opt/100%%/pimlo";
        QTest::newRow("quote, dollar, backslash")
            << exec("/a\"b$c\\d") << "Exec=\"/a\\\\\"b\\\\$c\\\\\\\\d\"";
        // A Wayland session runs through XWayland, unless the user chose a platform.
        QTest::newRow("x11 session") << platform("", "x11", "") << "";
        QTest::newRow("wayland session") << platform("", "wayland", "") << "xcb";
        QTest::newRow("wayland display only") << platform("", "", "wayland-0") << "xcb";
        QTest::newRow("session type in capitals") << platform("", "Wayland", "") << "xcb";
        QTest::newRow("user's choice wins") << platform("wayland", "wayland", "wayland-0") << "";
        QTest::newRow("no session at all") << platform("", "", "") << "";
    }
    void texts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(LaunchDecisionsTest)
#include "LaunchDecisionsTest.moc"
