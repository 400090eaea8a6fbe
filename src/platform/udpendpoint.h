#pragma once

#include "transport/endpoint.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace varnel {

class HostAddresses;

// The mail endpoint on a UDP socket: one datagram socket bound to the mail port, and sends of one
// datagram to the mail port of a named machine. The socket is never shared (no SO_REUSEADDR or
// SO_REUSEPORT), so a second copy on the same machine fails to open, as a second mailslot of the same
// name would. Nothing here ever blocks for long: the socket is non-blocking and a name lookup waits
// at most about a second, its answer being kept for a while.
class UdpEndpoint final : public Endpoint {
public:
    static constexpr quint16 kMailPort = 20595;

    // addresses: host names and addresses from the last network listing, asked before the resolver.
    // bindAddress: Any binds [::] dual-stack (0.0.0.0 without IPv6); a given address binds only that
    // address (tests run several endpoints on 127.0.0.x).
    explicit UdpEndpoint(const HostAddresses& addresses, const QHostAddress& bindAddress = QHostAddress::Any,
                         quint16 localPort = kMailPort, quint16 remotePort = kMailPort);
    ~UdpEndpoint() override;
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return m_socket >= 0; }
    qint64 PendingSize() override;
    bool ReadNext(QByteArray& datagram) override;
    bool SendTo(QByteArrayView host, QByteArrayView datagram) override;

    // Told true when the endpoint opens and false when it closes: this machine is announced to the
    // network exactly while it can receive.
    void SetOpenObserver(std::function<void(bool open)> observer) { m_openObserver = std::move(observer); }

    // The port the socket is bound to (the local port, or the one the system chose for port 0).
    quint16 BoundPort() const { return m_boundPort; }

    // How long resolver answers are kept, and how long one lookup may hold up the caller.
    static constexpr std::chrono::seconds kPositiveTtl{30};
    static constexpr std::chrono::seconds kNegativeTtl{10};
    static constexpr std::chrono::milliseconds kLookupWait{1000};

private:
    struct CacheEntry {
        QList<QHostAddress> addresses;
        std::chrono::steady_clock::time_point expires;
    };
    struct PendingLookup;

    QList<QHostAddress> Resolve(const QByteArray& host);
    bool SendToAddress(const QHostAddress& address, QByteArrayView datagram);

    const HostAddresses& m_addresses;
    QHostAddress m_bindAddress;
    quint16 m_localPort;
    quint16 m_remotePort;
    quint16 m_boundPort = 0;
    int m_socket = -1;
    int m_family = 0; // AF_INET or AF_INET6 of the bound socket
    bool m_dualStack = false;
    std::vector<char> m_readBuffer;
    QHash<QByteArray, CacheEntry> m_cache;
    QHash<QByteArray, std::shared_ptr<PendingLookup>> m_pending;
    std::function<void(bool)> m_openObserver;
};

} // namespace varnel
