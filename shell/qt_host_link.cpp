#include "shell/qt_host_link.h"

namespace zolk::shell {

QtHostLink::QtHostLink(QObject* parent) : QObject(parent) {
    for (const HostSocket socket : {HostSocket::Command, HostSocket::Data}) {
        connect(&port(socket).server, &QTcpServer::newConnection, this,
                [this, socket] { handleNewConnection(socket); });
    }
}

QtHostLink::~QtHostLink() {
    // A connection torn down with its server would still report its close to the events sink.
    for (Port& p : m_ports) dropHost(p);
}

bool QtHostLink::listen(HostSocket socket, std::uint16_t number, ListenScope scope) {
    close(socket);
    const bool anyInterface = scope == ListenScope::AllInterfaces || m_openToNetwork;
    const QHostAddress address = anyInterface ? QHostAddress::Any : QHostAddress::LocalHost;
    return port(socket).server.listen(address, number);
}

void QtHostLink::close(HostSocket socket) {
    Port& p = port(socket);
    p.server.close();
    dropHost(p);
}

bool QtHostLink::connected(HostSocket socket) const {
    const Port& p = port(socket);
    return p.host != nullptr && p.host->state() == QAbstractSocket::ConnectedState;
}

std::size_t QtHostLink::send(HostSocket socket, std::span<const std::uint8_t> bytes) {
    if (!connected(socket)) return 0;
    QTcpSocket& host = *port(socket).host;
    if (host.bytesToWrite() >= kWriteBacklogBytes) return 0;
    const qint64 written = host.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return written > 0 ? static_cast<std::size_t>(written) : 0;
}

void QtHostLink::holdReading(HostSocket socket, bool hold) {
    Port& p = port(socket);
    p.held = hold;
    // Bytes that waited are read from the event loop, never from inside the station's own call.
    if (!hold) QMetaObject::invokeMethod(this, [this, socket] { handleReadyRead(socket); }, Qt::QueuedConnection);
}

void QtHostLink::handleNewConnection(HostSocket socket) {
    Port& p = port(socket);
    QTcpSocket* host = p.server.nextPendingConnection();
    // The port stops listening once it has its host, so a second host is refused.
    p.server.close();
    while (QTcpSocket* extra = p.server.nextPendingConnection()) {
        extra->abort();
        extra->deleteLater();
    }
    if (host == nullptr) return;
    dropHost(p);
    p.host = host;
    host->setReadBufferSize(kReadBufferBytes);
    connect(host, &QTcpSocket::readyRead, this, [this, socket] { handleReadyRead(socket); });
    connect(host, &QTcpSocket::disconnected, this, [this, socket] { handleDisconnected(socket); });
    connect(host, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError error) { handleError(socket, error); });
    if (m_events != nullptr) m_events->onHostConnected(socket);
}

void QtHostLink::handleReadyRead(HostSocket socket) {
    Port& p = port(socket);
    if (p.host == nullptr || p.held) return;
    const QByteArray bytes = p.host->readAll();
    if (bytes.isEmpty() || m_events == nullptr) return;
    m_events->onHostBytes(socket,
                          std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size())));
}

void QtHostLink::handleDisconnected(HostSocket socket) {
    dropHost(port(socket));
    if (m_events != nullptr) m_events->onHostClosed(socket);
}

void QtHostLink::handleError(HostSocket socket, QAbstractSocket::SocketError error) {
    // A host that closes its end is a close, reported by handleDisconnected.
    if (error == QAbstractSocket::RemoteHostClosedError) return;
    dropHost(port(socket));
    if (m_events != nullptr) m_events->onHostError(socket);
}

void QtHostLink::dropHost(Port& p) {
    if (p.host == nullptr) return;
    QTcpSocket* host = p.host;
    p.host = nullptr;
    host->disconnect(this);
    host->abort();
    host->deleteLater();
}

}  // namespace zolk::shell
