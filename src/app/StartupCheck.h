#pragma once

#include "platform/X11Probe.h"

#include <QList>
#include <optional>

namespace pimlo {

// What on this desktop will make Pimlo behave unlike what the user expects. None of it stops
// the pet: at launch each finding is one log line; `pimlo --check` explains each in Chinese.
class StartupCheck final
{
public:
    enum class Finding
    {
        NoDisplay,
        XWayland,
        NoCompositor,
        NoTray,
        NoSessionBus,
        NoSecretService
    };

    struct Facts
    {
        // Empty when the app does not run on X11 (another Qt platform was chosen).
        std::optional<X11Probe::Result> x11;
        bool waylandSession = false;
        bool tray = true;
        bool sessionBus = true;
        bool secretService = true;
    };

    // Reads the environment, the tray (when a GUI application exists) and the session bus; the
    // X11 facts come from the caller, who probed before the application object existed.
    static Facts gather(std::optional<X11Probe::Result> x11);
    static QList<Finding> findings(const Facts &facts);

    // What a finding means and what to do about it, in Chinese.
    static QString advice(Finding finding, const Facts &facts);
    // One short line on stderr per finding.
    static void log(const Facts &facts);
    // The Chinese report on stdout; returns the exit status (0 when all is well, 1 otherwise).
    static int report(const Facts &facts);
};

} // namespace pimlo
