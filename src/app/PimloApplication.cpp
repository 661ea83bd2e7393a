#include "PimloApplication.h"

#include "app/Autostart.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/StartupCheck.h"
#include "platform/DisplaySession.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

namespace pimlo {
namespace {

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs((line + u'\n').toUtf8().constData(), stream);
    std::fflush(stream);
}

void describeApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Pimlo"));
    QCoreApplication::setOrganizationName(QStringLiteral("Pimlo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PIMLO_VERSION));
}

void printNoAnswer()
{
    printLine(stderr, QStringLiteral("pimlo：这个桌面上已经有一只 Pimlo，但它没有回应。"));
}

int askToQuit()
{
    switch (SingleInstance::send(QStringLiteral("quit"))) {
    case SingleInstance::Answer::Done:
        printLine(stdout, QStringLiteral("已请 Pimlo 退出。"));
        return 0;
    case SingleInstance::Answer::NotRunning:
        printLine(stdout, QStringLiteral("这个桌面上没有正在运行的 Pimlo。"));
        return 0;
    case SingleInstance::Answer::NoAnswer:
        printNoAnswer();
        return 1;
    case SingleInstance::Answer::NoBus:
        printLine(stderr, QStringLiteral("pimlo：没有会话总线，找不到正在运行的 Pimlo。"));
        return 1;
    }
    return 1;
}

// Everything but the pet itself: help, version, autostart, the check and argument errors.
int runCommand(const CommandLine::Decision &decision, std::optional<X11Probe::Result> x11)
{
    switch (decision.action) {
    case CommandLine::Action::Help:
        std::fputs(CommandLine::helpText().toUtf8().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        printLine(stdout, CommandLine::versionText());
        return 0;
    case CommandLine::Action::Autostart:
        return Autostart::apply(decision.autostartOn);
    case CommandLine::Action::Check:
        return StartupCheck::report(StartupCheck::gather(x11));
    case CommandLine::Action::Quit:
        return askToQuit();
    case CommandLine::Action::Error:
        printLine(stderr, decision.error);
        return 2;
    case CommandLine::Action::Run:
        break;
    }
    return 0;
}

// Whether Qt will run on X11, whose display can be asked before the application object exists.
bool usesX11(const QStringList &arguments)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return (platform.isEmpty() || platform.startsWith("xcb")) &&
           !arguments.contains(QStringLiteral("-platform")) &&
           !arguments.contains(QStringLiteral("--platform"));
}

int runPet(AppEnvironment environment, std::optional<X11Probe::Result> x11)
{
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    SingleInstance instance;
    const bool chat = AppDelegate::wantsChatAtLaunch(arguments);
    switch (instance.acquire(chat ? QStringLiteral("show-chat") : QString())) {
    case SingleInstance::Role::HandedOver:
        printLine(stdout, chat ? QStringLiteral("Pimlo 已经在这个桌面上了，已请它打开聊天窗口。")
                               : QStringLiteral("Pimlo 已经在这个桌面上了。"));
        return 0;
    case SingleInstance::Role::NoAnswer:
        printNoAnswer();
        return 1;
    case SingleInstance::Role::Pet:
        break;
    }

    AppDelegate delegate(std::move(environment));
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, &delegate,
                     &AppDelegate::quit);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &delegate,
                     &AppDelegate::applicationWillTerminate);
    QObject::connect(&instance, &SingleInstance::actionRequested, &delegate,
                     [&delegate](const QString &action) {
                         if (action == QLatin1String("quit"))
                             delegate.quit();
                         else
                             delegate.showChat();
                     });

    if (!delegate.applicationDidFinishLaunching()) {
        delegate.applicationWillTerminate();
        return 1;
    }
    // From the event loop, after launch: the session bus calls need not delay the pet's window.
    QTimer::singleShot(0, &delegate, [x11] { StartupCheck::log(StartupCheck::gather(x11)); });
    return QApplication::exec();
}

} // namespace

int runPimlo(int argc, char **argv, AppEnvironment environment)
{
    DisplaySession::preferX11();
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);

    // Help, version and autostart need no display. Any other argument may be one of Qt's own
    // options, which only the GUI application object takes out.
    const CommandLine::Decision early = CommandLine::decide(rawArguments);
    if (CommandLine::isConsoleOnly(early.action)) {
        QCoreApplication app(argc, argv);
        describeApplication();
        return runCommand(early, std::nullopt);
    }

    std::optional<X11Probe::Result> x11;
    if (usesX11(rawArguments)) {
        x11 = X11Probe::probe();
        // Qt would abort without a display; say why instead.
        if (!x11->reachable) {
            QCoreApplication app(argc, argv);
            describeApplication();
            if (early.action != CommandLine::Action::Run)
                return runCommand(early, x11);
            const StartupCheck::Facts facts{.x11 = x11};
            printLine(stderr, StartupCheck::advice(StartupCheck::Finding::NoDisplay, facts));
            return 1;
        }
    }

    QApplication app(argc, argv);
    describeApplication();
    // The pet lives on with no regular window open.
    QApplication::setQuitOnLastWindowClosed(false);

    const CommandLine::Decision decision =
        CommandLine::decide(QCoreApplication::arguments().mid(1));
    if (decision.action != CommandLine::Action::Run)
        return runCommand(decision, x11);
    return runPet(std::move(environment), x11);
}

} // namespace pimlo
