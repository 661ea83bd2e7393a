#pragma once

#include <QByteArray>

namespace pimlo::DisplaySession {

// Pimlo positions its own windows, which Wayland forbids, so on a Wayland session it runs through
// XWayland. Returns the platform plugin to force, or an empty value to leave Qt's choice (also
// when the user chose one). Inputs are the environment variables of the same names.
QByteArray forcedPlatform(const QByteArray &qtQpaPlatform, const QByteArray &xdgSessionType,
                          const QByteArray &waylandDisplay);

// Applies forcedPlatform to this process; call before the application object exists.
void preferX11();

} // namespace pimlo::DisplaySession
