// qt_host_link.h: the CommandPort and DataPort as TCP servers that take one host each.
// Owns the listening servers and the accepted connections; what the host says is the station's.
// Listens on 127.0.0.1 unless the core asks for every interface or the operator opened the ports.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <array>

#include "ports/host_link_port.h"

namespace zolk::shell {

class QtHostLink final : public QObject, public HostLinkPort {
    Q_OBJECT
public:
    explicit QtHostLink(QObject* parent = nullptr);
    ~QtHostLink() override;
    // Where socket events go (the station); events before attach are dropped.
    void attach(HostLinkEvents* events) { m_events = events; }
    // --listen-any: every interface whatever scope the core asks for.
    void openToNetwork(bool open) { m_openToNetwork = open; }

    bool listen(HostSocket socket, std::uint16_t port, ListenScope scope) override;
    void close(HostSocket socket) override;
    bool connected(HostSocket socket) const override;
    // Refuses everything while the host has kWriteBacklogBytes or more unread, so a host that
    // stops reading holds the modem's delivery back instead of filling memory.
    std::size_t send(HostSocket socket, std::span<const std::uint8_t> bytes) override;
    void holdReading(HostSocket socket, bool hold) override;

    static constexpr qint64 kWriteBacklogBytes = 256 * 1024;
    // What is read from a host ahead of the station; beyond it TCP holds the host back.
    static constexpr qint64 kReadBufferBytes = 64 * 1024;

private:
    struct Port {
        QTcpServer server;
        QPointer<QTcpSocket> host;
        bool held = false;
    };

    void handleNewConnection(HostSocket socket);
    void handleReadyRead(HostSocket socket);
    void handleDisconnected(HostSocket socket);
    void handleError(HostSocket socket, QAbstractSocket::SocketError error);
    // Forgets the host connection without telling the station (it asked for the close itself).
    void dropHost(Port& port);
    Port& port(HostSocket socket) { return m_ports[static_cast<std::size_t>(socket)]; }
    const Port& port(HostSocket socket) const { return m_ports[static_cast<std::size_t>(socket)]; }

    std::array<Port, 2> m_ports;
    HostLinkEvents* m_events = nullptr;
    bool m_openToNetwork = false;
};

}  // namespace zolk::shell
