#pragma once

#include <QString>
#include <QStringList>

namespace pimlo {

class ChatFactory;

// Finds and loads the chat module (pimlo-chat.so): installed, in the library directory that
// lies where the build put it relative to the executable's; in the build tree, next to the
// executable.
class ChatModule final
{
public:
    static constexpr const char *fileName = "pimlo-chat.so";

    // The directories searched, in order, for an executable in applicationDirectory.
    static QStringList searchPath(const QString &applicationDirectory);
    // The module's factory from the first directory that holds a loadable module, else null,
    // with error saying why for each directory tried. The module stays loaded.
    static ChatFactory *load(const QStringList &directories, QString &error);
};

} // namespace pimlo
