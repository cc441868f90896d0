#include "radio/posix/tcp_rigctld_link.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zolk {

TcpRigctldLink::~TcpRigctldLink() { close(); }

bool TcpRigctldLink::waitFor(short events) {
    pollfd p{m_fd, events, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(kRigctldTimeout.count()));
    if (ready > 0) return true;
    m_error = ready == 0 ? "no answer within " + std::to_string(kRigctldTimeout.count()) + " ms"
                         : std::string(std::strerror(errno));
    return false;
}

bool TcpRigctldLink::connect(const std::string& host, std::uint16_t port) {
    close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        m_error = host + ": " + ::gai_strerror(lookup);
        return false;
    }
    for (const addrinfo* a = found; a != nullptr && m_fd < 0; a = a->ai_next) {
        m_fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (m_fd < 0) continue;
        if (::connect(m_fd, a->ai_addr, a->ai_addrlen) != 0) {
            int error = errno;
            if (error == EINPROGRESS && waitFor(POLLOUT)) {
                socklen_t length = sizeof error;
                ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
            } else if (error == EINPROGRESS) {
                error = ETIMEDOUT;
            }
            if (error != 0) {
                m_error = std::strerror(error);
                ::close(m_fd);
                m_fd = -1;
            }
        }
    }
    ::freeaddrinfo(found);
    m_pending.clear();
    return m_fd >= 0;
}

void TcpRigctldLink::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_pending.clear();
}

std::optional<std::string> TcpRigctldLink::transact(std::string_view command) {
    if (m_fd < 0) {
        m_error = "not connected";
        return std::nullopt;
    }
    // Whatever an earlier exchange left behind is stale.
    m_pending.clear();
    std::string line(command);
    line += '\n';
    std::size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = ::send(m_fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(POLLOUT)) return std::nullopt;
        } else {
            m_error = std::strerror(errno);
            return std::nullopt;
        }
    }
    for (;;) {
        const std::size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            std::string answer = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (!answer.empty() && answer.back() == '\r') answer.pop_back();
            return answer;
        }
        if (!waitFor(POLLIN)) return std::nullopt;
        char buffer[256];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            m_pending.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            m_error = "rigctld closed the connection";
            return std::nullopt;
        } else if (errno != EAGAIN && errno != EINTR) {
            m_error = std::strerror(errno);
            return std::nullopt;
        }
    }
}

}  // namespace zolk
