#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace pimlo::test {

TestHttpServer::TestHttpServer(Handler handler) : m_handler(std::move(handler))
{
    if (pipe(m_stopPipe) != 0)
        throw std::runtime_error("pipe");
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        listen(m_listen, 8) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

TestHttpServer::~TestHttpServer()
{
    const char stop = 'x';
    static_cast<void>(write(m_stopPipe[1], &stop, 1));
    m_thread.join();
    close(m_listen);
    close(m_stopPipe[0]);
    close(m_stopPipe[1]);
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
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
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
    while (expected == std::string::npos || data.size() < expected) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (poll(fds, 2, 10'000) <= 0 || fds[1].revents)
            break;
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        data.append(buffer, std::size_t(got));
        const auto end = data.find("\r\n\r\n");
        if (expected == std::string::npos && end != std::string::npos) {
            std::size_t bodyLength = 0;
            const auto at = data.find("Content-Length: ");
            if (at != std::string::npos && at < end)
                bodyLength = std::strtoul(data.c_str() + at + 16, nullptr, 10);
            expected = end + 4 + bodyLength;
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
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        if (poll(fds, 2, int(left.count())) < 0)
            continue;
        if (fds[1].revents)
            return false;
        if (fds[0].revents) {
            char byte;
            if (recv(fd, &byte, 1, 0) <= 0)
                return false; // the client went away
        }
    }
}

std::string TestHttpServer::response(int status, std::string_view body,
                                     std::string_view extraHeaders)
{
    std::string text = "HTTP/1.1 " + std::to_string(status) + " Test\r\n";
    text += "Content-Type: application/json\r\nConnection: close\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += extraHeaders;
    text += "\r\n";
    text += body;
    return text;
}

} // namespace pimlo::test
