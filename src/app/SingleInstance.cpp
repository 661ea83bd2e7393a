#include "SingleInstance.h"

#include "platform/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>

namespace pimlo {
namespace {

// More than any honest argument list; a client that sends more is cut off.
constexpr qint64 maxMessage = 64 * 1024;

} // namespace

QString SingleInstance::serverName(uint uid, const QString &display, const QString &runtimeDir)
{
    QString key = display;
    const qsizetype colon = key.lastIndexOf(u':');
    if (colon >= 0) {
        QString host = key.left(colon);
        if (host == QLatin1String("unix"))
            host.clear();
        const QString number = key.mid(colon + 1).section(u'.', 0, 0);
        key = host.isEmpty() ? number : host + u'_' + number;
    }
    if (key.isEmpty())
        key = QStringLiteral("none");
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    key.replace(unsafe, QStringLiteral("_"));
    const QDir dir(runtimeDir.isEmpty() ? QDir::tempPath() : runtimeDir);
    return dir.filePath(QStringLiteral("pimlo-%1-%2").arg(uid).arg(key));
}

SingleInstance::SingleInstance(QString serverName, QObject *parent)
    : QObject(parent), m_name(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::acquire(const QStringList &arguments, int timeoutMs)
{
    // A pet that is quitting closes the connection unanswered; the next try finds it gone.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Held from "is a pet listening?" to "now I listen", so two launches at the same moment
        // end with one pet. A holder that died leaves a stale lock, which QLockFile takes over.
        QLockFile lock(m_name + QStringLiteral(".lock"));
        lock.tryLock(timeoutMs);

        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (!socket.waitForConnected(timeoutMs)) {
            // Nobody listens: no socket yet, or one left by a pet that crashed.
            QLocalServer::removeServer(m_name);
            listen();
            return Role::Pet;
        }
        lock.unlock();
        const Answer answer = handOver(socket, arguments, timeoutMs);
        if (answer != Answer::Closed)
            return answer == Answer::Ok ? Role::HandedOver : Role::NoAnswer;
    }
    return Role::NoAnswer;
}

SingleInstance::Answer SingleInstance::handOver(QLocalSocket &socket, const QStringList &arguments,
                                                int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    socket.write(
        QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact) + '\n');
    while (!socket.canReadLine()) {
        if (socket.state() != QLocalSocket::ConnectedState)
            return Answer::Closed;
        if (!socket.waitForReadyRead(int(deadline.remainingTime())) && deadline.hasExpired())
            return Answer::Silent;
    }
    return socket.readLine().trimmed() == "ok" ? Answer::Ok : Answer::Silent;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        logLine(QStringLiteral("Pimlo: cannot listen on %1 (%2); another launch will start "
                               "another pet")
                    .arg(m_name, m_server->errorString())
                    .toStdString());
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        }
    });
}

void SingleInstance::readFrom(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > maxMessage)
            socket->abort();
        return;
    }
    const QJsonArray array = QJsonDocument::fromJson(socket->readLine(maxMessage)).array();
    QStringList arguments;
    for (const QJsonValue &value : array)
        arguments << value.toString();
    socket->write("ok\n");
    socket->disconnectFromServer();
    Q_EMIT argumentsReceived(arguments);
}

} // namespace pimlo
