#include "SecretServiceProbe.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>

namespace pimlo::SecretServiceProbe {
namespace {

QDBusMessage askBus(const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    message.setArguments(arguments);
    return message;
}

} // namespace

bool available(int timeoutMs)
{
    const QString name = QStringLiteral("org.freedesktop.secrets");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusReply<bool> running =
        bus.call(askBus(QStringLiteral("NameHasOwner"), {name}), QDBus::Block, timeoutMs);
    if (running.isValid() && running.value())
        return true;
    const QDBusReply<QStringList> activatable =
        bus.call(askBus(QStringLiteral("ListActivatableNames")), QDBus::Block, timeoutMs);
    return activatable.isValid() && activatable.value().contains(name);
}

} // namespace pimlo::SecretServiceProbe
