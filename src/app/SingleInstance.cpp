#include "SingleInstance.h"

#include "app/ApplicationAdaptor.h"
#include "platform/Log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace pimlo {

const QString SingleInstance::serviceName = QStringLiteral("local.pimlo.Pimlo");
const QString SingleInstance::objectPath = QStringLiteral("/local/pimlo/Pimlo");

const QStringList &SingleInstance::actions()
{
    static const QStringList names{QStringLiteral("show-chat"), QStringLiteral("quit")};
    return names;
}

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::acquire(const QString &action, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The startup check reports a missing bus; this launch simply becomes a pet.
    if (!bus.isConnected())
        return Role::Pet;
    // Exported before the name is taken, so whoever finds the name finds the object too.
    new ApplicationAdaptor(this);
    bus.registerObject(objectPath, this);

    // A pet that is quitting leaves without answering; the next try finds the name free.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // The bus gives the name to one caller only, so two launches at once end with one pet.
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> owned =
            bus.interface()->registerService(serviceName,
                                             QDBusConnectionInterface::DontQueueService,
                                             QDBusConnectionInterface::DontAllowReplacement);
        if (!owned.isValid()) {
            logLine(QStringLiteral("Pimlo: cannot own %1 on the session bus (%2); a second "
                                   "launch will start another pet")
                        .arg(serviceName, owned.error().message())
                        .toStdString());
            return Role::Pet;
        }
        if (owned.value() == QDBusConnectionInterface::ServiceRegistered)
            return Role::Pet;
        switch (send(action, timeoutMs)) {
        case Answer::Done:
            bus.unregisterObject(objectPath);
            return Role::HandedOver;
        case Answer::NoAnswer:
            bus.unregisterObject(objectPath);
            return Role::NoAnswer;
        case Answer::NotRunning:
        case Answer::NoBus:
            break;
        }
    }
    bus.unregisterObject(objectPath);
    return Role::NoAnswer;
}

SingleInstance::Answer SingleInstance::send(const QString &action, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return Answer::NoBus;
    const QString interface = QStringLiteral("org.freedesktop.Application");
    QDBusMessage call = action.isEmpty()
                            ? QDBusMessage::createMethodCall(serviceName, objectPath, interface,
                                                             QStringLiteral("Activate"))
                                  << QVariantMap()
                            : QDBusMessage::createMethodCall(serviceName, objectPath, interface,
                                                             QStringLiteral("ActivateAction"))
                                  << action << QVariantList() << QVariantMap();
    // Asking must not start a pet through the bus's service file.
    call.setAutoStartService(false);
    if (bus.call(call, QDBus::Block, timeoutMs).type() == QDBusMessage::ReplyMessage)
        return Answer::Done;
    // No owner, or the owner ended before answering (it was quitting, or it crashed).
    return bus.interface()->isServiceRegistered(serviceName).value() ? Answer::NoAnswer
                                                                     : Answer::NotRunning;
}

} // namespace pimlo
