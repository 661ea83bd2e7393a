#pragma once

#include <QByteArrayList>
#include <QMutex>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>

namespace pimlo::test {

// A tiny HTTP/1.1 server on 127.0.0.1 with a thread of its own, one connection at a time. Every
// peer is treated alike: Answer reads the request and sends reply; Stall reads it and never
// answers; Drip sends reply, then a byte every 50 ms.
class TestHttpServer final : public QThread
{
public:
    enum class Mode
    {
        Answer,
        Stall,
        Drip
    };

    explicit TestHttpServer(QByteArray reply, Mode mode = Mode::Answer)
        : m_reply(std::move(reply)), m_mode(mode)
    {
        start();
        m_listening.acquire();
    }
    ~TestHttpServer() override // also ends a connection in progress
    {
        m_stop = true;
        wait();
    }
    Q_DISABLE_COPY_MOVE(TestHttpServer)

    int port() const { return m_port; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    QByteArrayList requests() const // headers and body read from each connection
    {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }

    // A complete response: status code, JSON body, extra header lines.
    static QByteArray response(int status, const QByteArray &body,
                               const QByteArray &extraHeaders = {})
    {
        return "HTTP/1.1 " + QByteArray::number(status) +
               " Test\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
    }

private:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        m_port = server.serverPort();
        m_listening.release();
        while (!m_stop) {
            if (server.waitForNewConnection(10))
                serve(*std::unique_ptr<QTcpSocket>(server.nextPendingConnection()));
        }
    }
    void serve(QTcpSocket &peer)
    {
        QByteArray request;
        qsizetype expected = -1; // headers and body, once the headers are in
        while ((expected < 0 || request.size() < expected) && connected(peer, 10)) {
            request += peer.readAll();
            const qsizetype head = request.indexOf("\r\n\r\n");
            const qsizetype at = request.indexOf("Content-Length: ");
            if (expected < 0 && head >= 0)
                expected = head + 4 + (at >= 0 && at < head ? atoll(request.data() + at + 16) : 0);
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
    // Waits up to ms for the peer; false once it has gone or the server stops.
    bool connected(QTcpSocket &peer, int ms) const
    {
        peer.waitForReadyRead(ms); // also sends what is buffered
        return !m_stop && peer.state() == QAbstractSocket::ConnectedState;
    }

    const QByteArray m_reply;
    const Mode m_mode;
    QSemaphore m_listening;
    std::atomic<int> m_port = 0;
    std::atomic<bool> m_stop = false;
    mutable QMutex m_mutex;
    QByteArrayList m_requests;
};

} // namespace pimlo::test
