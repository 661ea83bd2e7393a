#pragma once

#include <QString>

namespace pimlo {

// The opt-in start at login: one XDG autostart entry, which every desktop's own startup settings
// also list and toggle.
class Autostart final
{
public:
    // $XDG_CONFIG_HOME/autostart/local.pimlo.Pimlo.desktop (~/.config by default).
    static QString entryPath();
    // The entry that starts the given executable.
    static QString entryText(const QString &executable);
    // Writes (atomically) or removes the entry for the running binary. Returns the exit status
    // and prints one line: what was done on stdout, or why it failed on stderr.
    static int apply(bool on);
};

} // namespace pimlo
