#pragma once

#include <QObject>
#include <QStringList>

namespace pimlo {

// One pet per session: the first launch owns the well-known name local.pimlo.Pimlo on the session
// bus and serves org.freedesktop.Application at /local/pimlo/Pimlo; later launches call it and
// leave. The bus frees the name when its owner ends, crashed or not.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    enum class Role
    {
        Pet,
        HandedOver,
        NoAnswer
    };

    enum class Answer
    {
        Done,
        NotRunning,
        NoAnswer,
        NoBus
    };

    static const QString serviceName;
    static const QString objectPath;
    // The actions the pet offers to launchers and later launches: "show-chat" and "quit".
    static const QStringList &actions();

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the session's pet, or asks the pet that already runs for the action (an empty one
    // only activates it) and waits up to timeoutMs for its answer. Without a session bus every
    // launch becomes a pet.
    Role acquire(const QString &action, int timeoutMs = 5000);

    // Asks the pet that runs, if any, for the action; never starts one.
    static Answer send(const QString &action, int timeoutMs = 5000);

Q_SIGNALS:
    // A launcher or a later launch asked for one of actions().
    void actionRequested(const QString &action);
};

} // namespace pimlo
