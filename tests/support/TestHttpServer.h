#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace pimlo::test {

// A tiny HTTP/1.1 server on 127.0.0.1 with its own thread, one connection at a time; the
// handler decides what each accepted peer sees.
class TestHttpServer final
{
public:
    using Handler = std::function<void(TestHttpServer &server, int fd)>;

    explicit TestHttpServer(Handler handler);
    ~TestHttpServer(); // stops the thread, closing any connection in progress
    TestHttpServer(const TestHttpServer &) = delete;
    TestHttpServer &operator=(const TestHttpServer &) = delete;

    int port() const { return m_port; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    int connections() const;
    std::vector<std::string> requests() const; // headers and body, as read by readRequest
    // Waits until n requests were read.
    bool waitForRequests(int n, std::chrono::milliseconds limit = std::chrono::seconds(10));

    // For handlers. hold() is true when limit passed with the peer still connected, false
    // as soon as the peer closes or the server stops.
    std::string readRequest(int fd);
    bool send(int fd, std::string_view bytes);
    bool hold(int fd, std::chrono::milliseconds limit);

    // A complete response: status code, JSON body, extra header lines.
    static std::string response(int status, std::string_view body,
                                std::string_view extraHeaders = {});

private:
    void run();

    Handler m_handler;
    int m_listen = -1;
    int m_stopPipe[2] = {-1, -1};
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_connections = 0;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace pimlo::test
