#include "ChatModule.h"

#include "app/Chat.h"

#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace pimlo {

QStringList ChatModule::searchPath(const QString &applicationDirectory)
{
    const QDir here(applicationDirectory);
    return {QDir::cleanPath(here.filePath(QStringLiteral(PIMLO_MODULE_DIR_FROM_BINDIR))),
            here.path()};
}

ChatFactory *ChatModule::load(const QStringList &directories, QString &error)
{
    QStringList failures;
    for (const QString &directory : directories) {
        const QString path = QDir(directory).filePath(QString::fromLatin1(fileName));
        if (!QFileInfo::exists(path)) {
            failures.append(path + QStringLiteral(": not found"));
            continue;
        }
        QPluginLoader loader(path);
        if (auto *factory = qobject_cast<ChatFactory *>(loader.instance()))
            return factory;
        failures.append(loader.errorString());
        loader.unload();
    }
    error = failures.join(QStringLiteral("; "));
    return nullptr;
}

} // namespace pimlo
