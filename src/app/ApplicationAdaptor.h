#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace pimlo {

class SingleInstance;

// org.freedesktop.Application on the pet's object: what launchers and later launches call.
// Pimlo opens no files and its window is always shown, so Activate and Open leave the pet as it
// is; ActivateAction runs one of the pet's named actions.
class ApplicationAdaptor final : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
    Q_DISABLE_COPY_MOVE(ApplicationAdaptor)

public:
    explicit ApplicationAdaptor(SingleInstance *instance);

public Q_SLOTS:
    void Activate(const QVariantMap &platformData);
    void Open(const QStringList &uris, const QVariantMap &platformData);
    // An unknown action is answered with an error and changes nothing.
    void ActivateAction(const QString &name, const QVariantList &parameter,
                        const QVariantMap &platformData, const QDBusMessage &message);

private:
    SingleInstance *m_instance;
};

} // namespace pimlo
