#include "PimloApplication.h"

#include "platform/DisplaySession.h"
#include "platform/TerminationSignals.h"

#include <QApplication>

namespace pimlo {

int runPimlo(int argc, char **argv, AppEnvironment environment)
{
    DisplaySession::preferX11();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pimlo"));
    QApplication::setOrganizationName(QStringLiteral("Pimlo"));
    // The pet lives on with no regular window open.
    QApplication::setQuitOnLastWindowClosed(false);

    AppDelegate delegate(std::move(environment));
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, &delegate,
                     &AppDelegate::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     &AppDelegate::applicationWillTerminate);

    if (!delegate.applicationDidFinishLaunching()) {
        delegate.applicationWillTerminate();
        return 1;
    }
    return QApplication::exec();
}

} // namespace pimlo
