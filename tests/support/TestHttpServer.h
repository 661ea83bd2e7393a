#pragma once

#include <QByteArrayList>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <string>

class QTcpSocket;

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

    explicit TestHttpServer(QByteArray reply, Mode mode = Mode::Answer);
    ~TestHttpServer() override; // also ends a connection in progress
    Q_DISABLE_COPY_MOVE(TestHttpServer)

    int port() const { return m_port; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int connections() const { return m_connections; }
    QByteArrayList requests() const; // headers and body of each request read

    // A complete response: status code, JSON body, extra header lines.
    static QByteArray response(int status, const QByteArray &body,
                               const QByteArray &extraHeaders = {});

private:
    void run() override;
    void serve(QTcpSocket &peer);
    // Waits up to ms for the peer; false once it has gone or the server stops.
    bool connected(QTcpSocket &peer, int ms) const;

    const QByteArray m_reply;
    const Mode m_mode;
    QSemaphore m_listening;
    std::atomic<int> m_port = 0;
    std::atomic<int> m_connections = 0;
    std::atomic<bool> m_stop = false;
    mutable QMutex m_mutex;
    QByteArrayList m_requests;
};

} // namespace pimlo::test
