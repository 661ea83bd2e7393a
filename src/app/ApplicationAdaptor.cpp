#include "ApplicationAdaptor.h"

#include "app/SingleInstance.h"

#include <QDBusConnection>

namespace pimlo {

ApplicationAdaptor::ApplicationAdaptor(SingleInstance *instance)
    : QDBusAbstractAdaptor(instance), m_instance(instance)
{
}

void ApplicationAdaptor::Activate(const QVariantMap &) {}

void ApplicationAdaptor::Open(const QStringList &, const QVariantMap &) {}

void ApplicationAdaptor::ActivateAction(const QString &name, const QVariantList &,
                                        const QVariantMap &, const QDBusMessage &message)
{
    if (!SingleInstance::actions().contains(name)) {
        message.setDelayedReply(true);
        QDBusConnection::sessionBus().send(message.createErrorReply(
            QDBusError::InvalidArgs, QStringLiteral("Pimlo has no action \"%1\"").arg(name)));
        return;
    }
    Q_EMIT m_instance->actionRequested(name);
}

} // namespace pimlo
