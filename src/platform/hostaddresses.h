#pragma once

#include "platform/discovery.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QSet>

namespace varnel {

// Mail goes to one machine only: never to a broadcast, a multicast group or the unspecified address.
inline bool IsMachineAddress(const QHostAddress& address) {
    return !address.isNull() && !address.isMulticast() && !address.isBroadcast() &&
           address != QHostAddress(QHostAddress::AnyIPv4) && address != QHostAddress(QHostAddress::AnyIPv6);
}

// Host names and their addresses: first what live discovery knows at the moment of asking, then
// what the last network listing gave. The listing fills it; the endpoint asks it first when it
// sends to a named machine.
class HostAddresses {
public:
    explicit HostAddresses(const Discovery* live = nullptr) : m_live(live) {}

    void Clear() {
        m_addresses.clear();
        m_named.clear();
    }
    // A machine the listing names, with or without an address.
    void Name(const QByteArray& host) { m_named.insert(host.toLower()); }
    bool Names(const QByteArray& host) const {
        return m_named.contains(host.toLower()) || m_addresses.contains(host.toLower()) ||
               (m_live && !m_live->AddressesOf(host).isEmpty());
    }
    void Learn(const QByteArray& host, const QHostAddress& address) {
        QList<QHostAddress>& list = m_addresses[host.toLower()];
        if (!list.contains(address))
            list.append(address);
    }
    QList<QHostAddress> Lookup(const QByteArray& host) const {
        QList<QHostAddress> found = m_live ? m_live->AddressesOf(host) : QList<QHostAddress>{};
        for (const QHostAddress& address : m_addresses.value(host.toLower())) {
            if (!found.contains(address))
                found.append(address);
        }
        return found;
    }

private:
    const Discovery* m_live;
    QHash<QByteArray, QList<QHostAddress>> m_addresses;
    QSet<QByteArray> m_named;
};

} // namespace varnel
