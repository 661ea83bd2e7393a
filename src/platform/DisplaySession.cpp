#include "DisplaySession.h"

#include <QtGlobal>

namespace pimlo::DisplaySession {

QByteArray forcedPlatform(const QByteArray &qtQpaPlatform, const QByteArray &xdgSessionType,
                          const QByteArray &waylandDisplay)
{
    if (!qtQpaPlatform.isEmpty())
        return {};
    if (xdgSessionType.toLower() == "wayland" || !waylandDisplay.isEmpty())
        return "xcb";
    return {};
}

void preferX11()
{
    const QByteArray platform = forcedPlatform(
        qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

} // namespace pimlo::DisplaySession
