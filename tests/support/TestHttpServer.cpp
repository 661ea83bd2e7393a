#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace pimlo::test {

namespace {

// 1 when fd is readable, 0 on timeout or poll error, -1 when the server is stopping.
int waitReadable(int fd, int stopFd, int ms)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (poll(fds, 2, ms) <= 0)
        return 0;
    return fds[1].revents ? -1 : 1;
}

} // namespace

TestHttpServer::TestHttpServer(Handler handler) : m_handler(std::move(handler))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (pipe(m_stopPipe) != 0 || m_listen < 0 ||
        bind(m_listen, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        listen(m_listen, 8) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

TestHttpServer::~TestHttpServer()
{
    static_cast<void>(write(m_stopPipe[1], "x", 1));
    m_thread.join();
    for (int fd : {m_listen, m_stopPipe[0], m_stopPipe[1]})
        close(fd);
}

int TestHttpServer::connections() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

std::vector<std::string> TestHttpServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool TestHttpServer::waitForRequests(int n, std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, limit, [&] { return int(m_requests.size()) >= n; });
}

void TestHttpServer::run()
{
    for (;;) {
        const int ready = waitReadable(m_listen, m_stopPipe[0], -1);
        if (ready < 0)
            return;
        const int fd = ready ? accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC) : -1;
        if (fd < 0)
            continue;
        {
            std::lock_guard lock(m_mutex);
            ++m_connections;
        }
        m_changed.notify_all();
        m_handler(*this, fd);
        close(fd);
    }
}

std::string TestHttpServer::readRequest(int fd)
{
    std::string data;
    std::size_t expected = std::string::npos;
    char buffer[65536];
    while (data.size() < expected && waitReadable(fd, m_stopPipe[0], 10'000) > 0) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        data.append(buffer, std::size_t(got));
        const auto end = data.find("\r\n\r\n");
        if (expected == std::string::npos && end != std::string::npos) {
            const auto at = data.find("Content-Length: ");
            expected = end + 4 + (at < end ? std::strtoul(data.c_str() + at + 16, nullptr, 10) : 0);
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(data);
    }
    m_changed.notify_all();
    return data;
}

bool TestHttpServer::send(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(std::size_t(sent));
    }
    return true;
}

bool TestHttpServer::hold(int fd, std::chrono::milliseconds limit)
{
    using std::chrono::steady_clock;
    const auto deadline = steady_clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0)
            return true;
        const int ready = waitReadable(fd, m_stopPipe[0], int(left.count()));
        char byte;
        if (ready < 0 || (ready > 0 && recv(fd, &byte, 1, 0) <= 0))
            return false; // stopping, or the client went away
    }
}

std::string TestHttpServer::response(int status, std::string_view body,
                                     std::string_view extraHeaders)
{
    return "HTTP/1.1 " + std::to_string(status) +
           " Test\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n" + std::string(extraHeaders) + "\r\n" +
           std::string(body);
}

} // namespace pimlo::test
