#include "platform/udpendpoint.h"

#include "platform/hostaddresses.h"

#include <QNetworkInterface>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnel {

namespace {

// A big queue lets a burst of mail wait for the next check instead of being dropped by the kernel.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;
// Large enough for any UDP datagram, so one receive always takes one datagram whole.
constexpr size_t kMaxDatagram = 65536;
// A DNS name is at most 253 bytes; anything longer cannot name a machine.
constexpr qsizetype kMaxHostName = 253;

bool IsValidName(QByteArrayView host) {
    return !host.isEmpty() && host.size() <= kMaxHostName && !host.contains('\0');
}

// The same address, whatever the scope an IPv6 address carries.
bool SameAddress(const QHostAddress& a, const QHostAddress& b) {
    if (a.protocol() != b.protocol())
        return false;
    if (a.protocol() == QAbstractSocket::IPv4Protocol)
        return a.toIPv4Address() == b.toIPv4Address();
    const Q_IPV6ADDR x = a.toIPv6Address();
    const Q_IPV6ADDR y = b.toIPv6Address();
    return std::memcmp(x.c, y.c, sizeof x.c) == 0;
}

// The IPv4 address inside an IPv4-mapped IPv6 address, or the address as it is.
QHostAddress Unmapped(const QHostAddress& address) {
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        bool ok = false;
        const quint32 v4 = address.toIPv4Address(&ok);
        if (ok)
            return QHostAddress(v4);
    }
    return address;
}

struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

SocketAddress MakeAddress(const QHostAddress& address, quint16 port, int family) {
    SocketAddress result;
    if (family == AF_INET) {
        auto* in = reinterpret_cast<sockaddr_in*>(&result.storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        result.length = sizeof(sockaddr_in);
        return result;
    }
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&result.storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        // A dual-stack socket reaches IPv4 machines through IPv4-mapped addresses.
        const quint32 v4 = htonl(address.toIPv4Address());
        in6->sin6_addr.s6_addr[10] = 0xff;
        in6->sin6_addr.s6_addr[11] = 0xff;
        std::memcpy(&in6->sin6_addr.s6_addr[12], &v4, 4);
    } else {
        const Q_IPV6ADDR v6 = address.toIPv6Address();
        std::memcpy(in6->sin6_addr.s6_addr, v6.c, 16);
        const QString scope = address.scopeId();
        if (!scope.isEmpty()) {
            bool numeric = false;
            const uint index = scope.toUInt(&numeric);
            in6->sin6_scope_id = numeric ? index : if_nametoindex(scope.toLocal8Bit().constData());
        }
    }
    result.length = sizeof(sockaddr_in6);
    return result;
}

// IPv4 first: the office networks this program serves are IPv4 networks first of all.
void PreferIpv4(QList<QHostAddress>& addresses) {
    std::stable_partition(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
        return Unmapped(a).protocol() == QAbstractSocket::IPv4Protocol;
    });
}

} // namespace

UdpEndpoint::UdpEndpoint(const HostAddresses& addresses, const QHostAddress& bindAddress, quint16 localPort,
                         quint16 remotePort, NameResolver::Lookup lookup, NameResolver::Now now)
    : m_addresses(addresses), m_bindAddress(bindAddress), m_localPort(localPort), m_remotePort(remotePort),
      m_now(now), m_resolver(std::move(lookup), std::move(now)) {
    m_resolver.answered = [this] { SendHeld(); };
}

UdpEndpoint::~UdpEndpoint() {
    Close();
}

bool UdpEndpoint::Open() {
    if (m_socket >= 0)
        return true;

    int family = AF_INET;
    bool dualStack = false;
    if (m_bindAddress == QHostAddress(QHostAddress::Any)) {
        family = AF_INET6;
        dualStack = true;
    } else if (m_bindAddress.protocol() == QAbstractSocket::IPv6Protocol) {
        family = AF_INET6;
    }

    int fd = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 && dualStack && (errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT)) {
        // A kernel without IPv6: all IPv4 addresses then.
        family = AF_INET;
        dualStack = false;
        fd = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    }
    if (fd < 0)
        return false;

    if (family == AF_INET6) {
        const int v6only = dualStack ? 0 : 1;
        if (::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only) != 0) {
            ::close(fd);
            return false;
        }
    }
    // Each datagram tells the interface it arrived on: only one over loopback is from this machine.
    const int on = 1;
    if (family == AF_INET6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on);
    if (family == AF_INET || dualStack)
        ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    m_loopbackInterfaces.clear();
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        if (interface.flags().testFlag(QNetworkInterface::IsLoopBack))
            m_loopbackInterfaces.append(interface.index());
    }
    // The kernel may grant less (net.core.rmem_max); what it grants is good enough.
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);

    SocketAddress local;
    if (dualStack) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&local.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(m_localPort);
        in6->sin6_addr = in6addr_any;
        local.length = sizeof(sockaddr_in6);
    } else if (family == AF_INET && m_bindAddress == QHostAddress(QHostAddress::Any)) {
        auto* in = reinterpret_cast<sockaddr_in*>(&local.storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(m_localPort);
        in->sin_addr.s_addr = htonl(INADDR_ANY);
        local.length = sizeof(sockaddr_in);
    } else {
        local = MakeAddress(m_bindAddress, m_localPort, family);
    }
    // No SO_REUSEADDR: a second copy must not share the port.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local.storage), local.length) != 0) {
        ::close(fd);
        return false;
    }

    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength) == 0) {
        m_boundPort = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                                  : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    }
    m_socket = fd;
    m_family = family;
    m_dualStack = dualStack;
    m_readBuffer.resize(kMaxDatagram);
    if (m_openObserver)
        m_openObserver(true);
    return true;
}

void UdpEndpoint::Close() {
    const bool wasOpen = m_socket >= 0;
    if (wasOpen)
        ::close(m_socket);
    m_socket = -1;
    m_family = 0;
    m_dualStack = false;
    m_boundPort = 0;
    if (wasOpen && m_openObserver)
        m_openObserver(false);
}

qint64 UdpEndpoint::PendingSize() {
    if (m_socket < 0)
        return -1;
    // A few rounds at most: a receive may report (and clear) a pending socket error instead.
    for (int round = 0; round < 4; ++round) {
        // MSG_TRUNC makes a peek report the datagram's real length, 0 for an empty one.
        const ssize_t n = ::recv(m_socket, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (n >= 0)
            return n;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return -1;
    }
    return -1;
}

bool UdpEndpoint::ReadNext(QByteArray& datagram) {
    datagram.clear();
    if (m_socket < 0)
        return false;
    ssize_t n = -1;
    sockaddr_storage source{};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo)) + CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    iovec buffer{m_readBuffer.data(), m_readBuffer.size()};
    do {
        message = msghdr{};
        message.msg_name = &source;
        message.msg_namelen = sizeof source;
        message.msg_iov = &buffer;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        n = ::recvmsg(m_socket, &message, MSG_DONTWAIT | MSG_TRUNC);
    } while (n < 0 && errno == EINTR);
    m_lastSource.clear();
    m_lastInterface = 0;
    if (n < 0)
        return false;
    datagram = QByteArray(m_readBuffer.data(), qsizetype(std::min<size_t>(size_t(n), m_readBuffer.size())));
    m_lastSource = Unmapped(QHostAddress(reinterpret_cast<const sockaddr*>(&source)));
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            m_lastInterface = info.ipi_ifindex;
        } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            m_lastInterface = int(info.ipi6_ifindex);
        }
    }
    return true;
}

bool UdpEndpoint::LastFromThisMachine() const {
    const QHostAddress& source = m_lastSource;
    if (source.isNull())
        return false;
    // What this machine sends to itself goes to a loopback address (see SendToAddress) and arrives
    // over loopback; a frame from the wire never does, whatever source address it claims (the kernel
    // drops loopback sources from the wire; one of this machine's other addresses could be forged).
    if (!m_loopbackInterfaces.contains(m_lastInterface))
        return false;
    // An endpoint bound to one address stands for a machine of that one address.
    if (m_bindAddress != QHostAddress(QHostAddress::Any))
        return SameAddress(source, Unmapped(m_bindAddress));
    return source.isLoopback();
}

void UdpEndpoint::RefreshInterfaces() const {
    // Asked for answers only; read again at most once a second, so a flood of mail does not become
    // a flood of interface listings.
    const NameResolver::TimePoint now = m_now();
    if (m_attachedRead != NameResolver::TimePoint() && now - m_attachedRead < std::chrono::seconds(1))
        return;
    m_attached.clear();
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            m_attached.append({entry.ip(), entry.prefixLength()});
    }
    m_attachedRead = now;
}

bool UdpEndpoint::IsOwnAddress(const QHostAddress& address) const {
    RefreshInterfaces();
    return std::any_of(m_attached.begin(), m_attached.end(),
                       [&](const Attached& own) { return SameAddress(Unmapped(own.address), address); });
}

bool UdpEndpoint::MayAnswer(QByteArrayView host, const QList<QHostAddress>& addresses) const {
    if (m_addresses.Names(host.toByteArray()))
        return true;
    RefreshInterfaces();
    return std::all_of(addresses.begin(), addresses.end(), [&](const QHostAddress& target) {
        const QHostAddress address = Unmapped(target);
        if (address.isLoopback())
            return true;
        return std::any_of(m_attached.begin(), m_attached.end(), [&](const Attached& net) {
            const QHostAddress ip = Unmapped(net.address);
            return ip.protocol() == address.protocol() && net.prefix >= 0 &&
                   address.isInSubnet(ip, net.prefix);
        });
    });
}

bool UdpEndpoint::SendTo(QByteArrayView host, QByteArrayView datagram) {
    QList<QHostAddress> addresses;
    return AddressesOf(host, addresses) == Known::Addresses && SendToAny(addresses, datagram);
}

bool UdpEndpoint::SendWhenResolved(QByteArrayView host, QByteArrayView datagram) {
    QList<QHostAddress> addresses;
    switch (AddressesOf(host, addresses)) {
    case Known::Addresses:
        return MayAnswer(host, addresses) && SendToAny(addresses, datagram);
    case Known::Failed:
        return false;
    case Known::Pending:
        break;
    }
    // Names are the same whatever their case, as in DNS.
    const QByteArray key = host.toByteArray().toLower();
    QList<QByteArray>& held = m_held[key];
    if (held.size() >= kMaxHeldPerName || m_heldBytes + datagram.size() > kMaxHeldBytes) {
        if (held.isEmpty())
            m_held.remove(key);
        return false;
    }
    held.append(datagram.toByteArray());
    m_heldBytes += datagram.size();
    return true;
}

void UdpEndpoint::Resolve(const QList<QByteArray>& hosts, std::chrono::milliseconds limit) {
    QList<QByteArray> names;
    for (const QByteArray& host : hosts) {
        // Literal addresses and listed names need no lookup.
        if (IsValidName(host) && QHostAddress(QString::fromLatin1(host)).isNull() &&
            m_addresses.Lookup(host).isEmpty())
            names.append(host);
    }
    m_resolver.Await(names, limit);
}

int UdpEndpoint::HeldCount() const {
    int count = 0;
    for (const QList<QByteArray>& held : m_held)
        count += int(held.size());
    return count;
}

UdpEndpoint::Known UdpEndpoint::AddressesOf(QByteArrayView host, QList<QHostAddress>& addresses) {
    addresses.clear();
    if (!IsValidName(host))
        return Known::Failed;
    const QByteArray name = host.toByteArray();
    const QHostAddress literal(QString::fromLatin1(name));
    if (!literal.isNull()) {
        addresses = {literal};
        return Known::Addresses;
    }
    addresses = m_addresses.Lookup(name);
    if (addresses.isEmpty()) {
        switch (m_resolver.Find(name, addresses)) {
        case NameResolver::Answer::Pending:
            return Known::Pending;
        case NameResolver::Answer::Failed:
            return Known::Failed;
        case NameResolver::Answer::Addresses:
            break;
        }
    }
    PreferIpv4(addresses);
    return Known::Addresses;
}

bool UdpEndpoint::SendToAny(const QList<QHostAddress>& addresses, QByteArrayView datagram) {
    for (const QHostAddress& address : addresses) {
        if (SendToAddress(address, datagram))
            return true;
    }
    return false;
}

void UdpEndpoint::SendHeld() {
    for (auto it = m_held.begin(); it != m_held.end();) {
        QList<QHostAddress> addresses;
        const Known known = AddressesOf(it.key(), addresses);
        if (known == Known::Pending) {
            ++it;
            continue;
        }
        const bool may = known == Known::Addresses && MayAnswer(it.key(), addresses);
        for (const QByteArray& datagram : std::as_const(*it)) {
            if (may)
                SendToAny(addresses, datagram);
            m_heldBytes -= datagram.size();
        }
        it = m_held.erase(it);
    }
}

bool UdpEndpoint::SendToAddress(const QHostAddress& target, QByteArrayView datagram) {
    QHostAddress address = Unmapped(target);
    // Subnet broadcasts are refused by the kernel, as no socket here has SO_BROADCAST.
    if (!IsMachineAddress(address))
        return false;
    // This machine itself is reached over loopback, so that what it sends itself is told apart from
    // a frame that only claims to come from one of its addresses.
    if (m_bindAddress == QHostAddress(QHostAddress::Any) && !address.isLoopback() && IsOwnAddress(address))
        address = address.protocol() == QAbstractSocket::IPv4Protocol
                      ? QHostAddress(QHostAddress::LocalHost)
                      : QHostAddress(QHostAddress::LocalHostIPv6);
    const bool ipv4 = address.protocol() == QAbstractSocket::IPv4Protocol;

    // From the bound socket when it can reach the address, so the datagram comes from our mail port.
    int fd = -1;
    int family = 0;
    bool temporary = false;
    const bool reachable = m_family == AF_INET ? ipv4 : (!ipv4 || m_dualStack);
    if (m_socket >= 0 && reachable) {
        fd = m_socket;
        family = m_family;
    } else {
        family = ipv4 ? AF_INET : AF_INET6;
        fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        temporary = true;
    }

    const SocketAddress remote = MakeAddress(address, m_remotePort, family);
    ssize_t n = -1;
    do {
        n = ::sendto(fd, datagram.data(), size_t(datagram.size()), MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr*>(&remote.storage), remote.length);
    } while (n < 0 && errno == EINTR);
    if (temporary)
        ::close(fd);
    return n == datagram.size();
}

} // namespace varnel
