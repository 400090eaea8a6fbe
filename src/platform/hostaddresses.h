#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>

namespace varnel {

// Host names and the addresses the last network listing gave for them. The listing fills it; the
// endpoint asks it first when it sends to a named machine.
class HostAddresses {
public:
    void Clear() { m_addresses.clear(); }
    void Learn(const QByteArray& host, const QHostAddress& address) {
        QList<QHostAddress>& list = m_addresses[host.toLower()];
        if (!list.contains(address))
            list.append(address);
    }
    QList<QHostAddress> Lookup(const QByteArray& host) const { return m_addresses.value(host.toLower()); }

private:
    QHash<QByteArray, QList<QHostAddress>> m_addresses;
};

} // namespace varnel
