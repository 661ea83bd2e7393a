#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace pimlo {

// One pet per user and display: the first launch listens on a local socket, later launches hand
// it their arguments and leave.
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

    // The socket path: <runtimeDir>/pimlo-<uid>-<display>. The screen number and a "unix" host
    // are dropped, so ":0", ":0.0" and "unix:0" name the same desktop.
    static QString serverName(uint uid, const QString &display, const QString &runtimeDir);

    explicit SingleInstance(QString serverName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes this desktop's pet and listens for later launches, or hands the arguments to the
    // pet that already runs and waits up to timeoutMs for its answer. A socket left behind by a
    // pet that crashed is replaced.
    Role acquire(const QStringList &arguments, int timeoutMs = 5000);

Q_SIGNALS:
    // A later launch handed over its arguments (those after the program name).
    void argumentsReceived(const QStringList &arguments);

private:
    enum class Answer
    {
        Ok,
        Closed,
        Silent
    };
    Answer handOver(QLocalSocket &socket, const QStringList &arguments, int timeoutMs);
    void listen();
    void readFrom(QLocalSocket *socket);

    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace pimlo
