// loopback.h: helpers for tests that talk to the host ports over real sockets on 127.0.0.1:
// a Qt event pump bounded in time, free port pairs and a small blocking-style host client.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>

namespace zolk::test {

using namespace std::chrono_literals;

// Runs the event loop until done() holds or the time is up; returns done().
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limit.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Runs the event loop for a while, for checks that something does not happen.
inline void pumpFor(std::chrono::milliseconds span) {
    pumpUntil([] { return false; }, span);
}

// A port P on the loopback address with P + 1 free as well (the DataPort's number). The pair is
// drawn below the kernel's ephemeral range: a client retrying a port there while nothing listens
// can be handed that very port as its own source and connect to itself, and parallel tests'
// outgoing connections take ports from that range too.
inline std::uint16_t freePortPair() {
    static std::mt19937 draw(std::random_device{}());
    std::uniform_int_distribution<int> belowEphemeral(20000, 32000);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = static_cast<std::uint16_t>(belowEphemeral(draw));
        QTcpServer first;
        QTcpServer second;
        if (first.listen(QHostAddress::LocalHost, port) &&
            second.listen(QHostAddress::LocalHost, port + 1))
            return port;
    }
    return 0;
}

// One host program's connection.
class HostClient {
public:
    // True once connected to a listener; a connection to the socket's own port (possible while
    // nothing listens) is dropped and counts as refused.
    bool connectTo(std::uint16_t port, const QHostAddress& address = QHostAddress::LocalHost) {
        if (m_socket.state() == QAbstractSocket::ConnectedState) return true;
        m_socket.abort();
        m_socket.connectToHost(address, port);
        pumpUntil([this] {
            return m_socket.state() == QAbstractSocket::ConnectedState ||
                   m_socket.state() == QAbstractSocket::UnconnectedState;
        });
        if (m_socket.state() == QAbstractSocket::ConnectedState && m_socket.localPort() == port) {
            m_socket.abort();
            return false;
        }
        return m_socket.state() == QAbstractSocket::ConnectedState;
    }
    void send(std::string_view bytes) {
        m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        m_socket.flush();
    }
    // Everything received until it holds at least `count` bytes or the time is up.
    std::string receive(std::size_t count, std::chrono::milliseconds limit = 5s) {
        pumpUntil([&] { return readAvailable() >= count; }, limit);
        return takeReceived();
    }
    // Everything received within the given time.
    std::string receiveFor(std::chrono::milliseconds span) {
        pumpFor(span);
        readAvailable();
        return takeReceived();
    }
    // True once the modem has closed or refused the connection.
    bool closedByPeer(std::chrono::milliseconds limit = 5s) {
        return pumpUntil([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; },
                         limit);
    }
    void disconnect() {
        m_socket.disconnectFromHost();
        if (m_socket.state() != QAbstractSocket::UnconnectedState)
            m_socket.waitForDisconnected(2000);
    }
    QTcpSocket& socket() { return m_socket; }

private:
    std::size_t readAvailable() {
        m_received += m_socket.readAll().toStdString();
        return m_received.size();
    }
    std::string takeReceived() {
        std::string taken;
        taken.swap(m_received);
        return taken;
    }

    QTcpSocket m_socket;
    std::string m_received;
};

}  // namespace zolk::test
