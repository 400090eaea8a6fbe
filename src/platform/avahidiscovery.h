#pragma once

#include "platform/discovery.h"

#include <QByteArray>
#include <chrono>
#include <memory>

namespace varnel {

// Discovery through the Avahi daemon (DNS-SD over multicast DNS): announces this machine as the
// service "_varnel._udp" on the mail port, instance name = its host name, TXT "workgroup=NAME" and, once it
// has one, "key=BASE64" (its public key for sealed mail), and browses the same type. All talk with the daemon
// happens on a thread of its own; the window thread only reads a snapshot and leaves requests. Without a
// daemon it finds nothing and keeps watching for one: a daemon that starts, stops or restarts is picked up
// without a restart of the program.
class AvahiDiscovery final : public Discovery {
public:
    // The longest the first listing waits for discovery to settle.
    static constexpr std::chrono::milliseconds kSettleWait{2000};
    static const char* ServiceType() { return "_varnel._udp"; }

    explicit AvahiDiscovery(const QByteArray& hostName);
    ~AvahiDiscovery() override;
    AvahiDiscovery(const AvahiDiscovery&) = delete;
    AvahiDiscovery& operator=(const AvahiDiscovery&) = delete;

    QList<ListedMachine> Found(bool settle) override;
    QList<QHostAddress> AddressesOf(const QByteArray& host) const override;
    void SetAnnounced(bool announced) override;
    void SetWorkgroup(const QByteArray& workgroup) override;
    void SetPublicKey(const QByteArray& key) override;
    QByteArray PublicKeyOf(const QByteArray& host) const override;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace varnel
