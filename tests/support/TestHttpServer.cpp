#include "TestHttpServer.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <cstdlib>
#include <memory>

namespace pimlo::test {

TestHttpServer::TestHttpServer(QByteArray reply, Mode mode)
    : m_reply(std::move(reply)), m_mode(mode)
{
    start();
    m_listening.acquire();
}

TestHttpServer::~TestHttpServer()
{
    m_stop = true;
    wait();
}

QByteArrayList TestHttpServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

void TestHttpServer::run()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    m_port = server.serverPort();
    m_listening.release();
    while (!m_stop) {
        if (server.waitForNewConnection(10)) {
            const std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
            ++m_connections;
            serve(*peer);
        }
    }
}

bool TestHttpServer::connected(QTcpSocket &peer, int ms) const
{
    peer.waitForReadyRead(ms); // also sends what is buffered
    return !m_stop && peer.state() == QAbstractSocket::ConnectedState;
}

void TestHttpServer::serve(QTcpSocket &peer)
{
    QByteArray request;
    qsizetype expected = -1; // headers and body, once the headers are in
    while ((expected < 0 || request.size() < expected) && connected(peer, 10)) {
        request += peer.readAll();
        const qsizetype head = request.indexOf("\r\n\r\n");
        const qsizetype at = request.indexOf("Content-Length: ");
        if (expected < 0 && head >= 0)
            expected = head + 4 + (at >= 0 && at < head ? atoll(request.constData() + at + 16) : 0);
    }
    {
        QMutexLocker lock(&m_mutex);
        m_requests << request;
    }
    if (m_mode == Mode::Stall) {
        while (connected(peer, 10)) {
        }
        return;
    }
    peer.write(m_reply);
    while (m_mode == Mode::Drip && connected(peer, 50))
        peer.write("{");
    while (peer.bytesToWrite() > 0 && peer.waitForBytesWritten(10'000)) {
    }
    peer.disconnectFromHost();
}

QByteArray TestHttpServer::response(int status, const QByteArray &body,
                                    const QByteArray &extraHeaders)
{
    return "HTTP/1.1 " + QByteArray::number(status) +
           " Test\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

} // namespace pimlo::test
