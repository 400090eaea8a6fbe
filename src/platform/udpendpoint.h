#pragma once

#include "platform/nameresolver.h"
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
// name would. Nothing here ever blocks: the socket is non-blocking and names are looked up in the
// background (only Resolve waits, for as long as it is told).
class UdpEndpoint final : public Endpoint {
public:
    static constexpr quint16 kMailPort = 20595;
    // Datagrams kept until their name is resolved: per name, and in all.
    static constexpr int kMaxHeldPerName = 16;
    static constexpr qsizetype kMaxHeldBytes = 256 * 1024;

    // addresses: host names and addresses from the last network listing, asked before the resolver.
    // bindAddress: Any binds [::] dual-stack (0.0.0.0 without IPv6); a given address binds only that
    // address (tests run several endpoints on 127.0.0.x), and is then this machine's only address.
    // lookup: how names are looked up (the system resolver unless a test says otherwise).
    explicit UdpEndpoint(const HostAddresses& addresses, const QHostAddress& bindAddress = QHostAddress::Any,
                         quint16 localPort = kMailPort, quint16 remotePort = kMailPort,
                         NameResolver::Lookup lookup = NameResolver::SystemLookup,
                         NameResolver::Now now = std::chrono::steady_clock::now);
    ~UdpEndpoint() override;
    UdpEndpoint(const UdpEndpoint&) = delete;
    UdpEndpoint& operator=(const UdpEndpoint&) = delete;

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return m_socket >= 0; }
    qint64 PendingSize() override;
    bool ReadNext(QByteArray& datagram) override;
    bool LastFromThisMachine() const override;
    bool SendTo(QByteArrayView host, QByteArrayView datagram) override;
    bool SendWhenResolved(QByteArrayView host, QByteArrayView datagram) override;
    void Resolve(const QList<QByteArray>& hosts, std::chrono::milliseconds limit) override;

    // Told true when the endpoint opens and false when it closes: this machine is announced to the
    // network exactly while it can receive.
    void SetOpenObserver(std::function<void(bool open)> observer) { m_openObserver = std::move(observer); }

    // The port the socket is bound to (the local port, or the one the system chose for port 0).
    quint16 BoundPort() const { return m_boundPort; }
    // Datagrams waiting for their name to be resolved.
    int HeldCount() const;

private:
    enum class Known { Addresses, Pending, Failed };
    // The addresses of host: a literal address, the listing's, or the resolver's (a lookup starts
    // when none is known).
    Known AddressesOf(QByteArrayView host, QList<QHostAddress>& addresses);
    bool SendToAny(const QList<QHostAddress>& addresses, QByteArrayView datagram);
    // Answers (receipts, probes) go only to a machine the listing names or to an address on one of
    // the networks this machine is attached to: a sender's name that is a literal address elsewhere
    // must not steer them.
    bool MayAnswer(QByteArrayView host, const QList<QHostAddress>& addresses) const;
    // This machine's interface addresses with their prefixes, read again at most once a second.
    void RefreshInterfaces() const;
    bool IsOwnAddress(const QHostAddress& address) const;
    bool SendToAddress(const QHostAddress& address, QByteArrayView datagram);
    // Sends or drops the held datagrams whose names have been answered.
    void SendHeld();

    const HostAddresses& m_addresses;
    QHostAddress m_bindAddress;
    quint16 m_localPort;
    quint16 m_remotePort;
    quint16 m_boundPort = 0;
    int m_socket = -1;
    int m_family = 0; // AF_INET or AF_INET6 of the bound socket
    bool m_dualStack = false;
    std::vector<char> m_readBuffer;
    QHostAddress m_lastSource; // where the datagram last read came from
    int m_lastInterface = 0;   // the interface it arrived on (0: not known)
    QList<int> m_loopbackInterfaces;
    NameResolver::Now m_now;
    struct Attached {
        QHostAddress address;
        int prefix = 0;
    };
    mutable QList<Attached> m_attached; // this machine's addresses, as last read from its interfaces
    mutable NameResolver::TimePoint m_attachedRead;
    NameResolver m_resolver;
    QHash<QByteArray, QList<QByteArray>> m_held; // by host name in lower case
    qsizetype m_heldBytes = 0;
    std::function<void(bool)> m_openObserver;
};

} // namespace varnel
