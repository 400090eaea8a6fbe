#pragma once

#include "network/netprovider.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <utility>

namespace varnel {

// A network listing written by the test: first-level records in order (any usage), the records of
// each workgroup in order, and the listings that fail to open.
class FakeProvider final : public NetProvider {
public:
    static QByteArray DefaultProvider() { return QByteArrayLiteral("Fake Network"); }

    // A first-level record; only usage 2 makes it a workgroup for the browser.
    FakeProvider& AddGroup(const QByteArray& name, int usage = NetResource::Container,
                           const QByteArray& provider = DefaultProvider()) {
        groups.append({name, provider, usage});
        return *this;
    }
    // A second-level record of the named workgroup, remote name as given (a machine is "\\NAME").
    FakeProvider& AddRecord(const QByteArray& group, const QByteArray& remoteName,
                            int usage = NetResource::Connectable) {
        hosts.append({group, NetResource{remoteName, DefaultProvider(), usage}});
        return *this;
    }
    // A machine of the named workgroup: a record with the remote name "\\" + name.
    FakeProvider& AddMachine(const QByteArray& group, const QByteArray& name) {
        return AddRecord(group, QByteArrayLiteral("\\\\") + name);
    }

    bool ListGroups(QList<NetResource>& out) override {
        ++groupListings;
        out.clear();
        if (failGroups)
            return false;
        out = groups;
        return true;
    }

    bool ListHosts(const NetResource& group, QList<NetResource>& out) override {
        opened.append(group);
        out.clear();
        if (failingGroups.contains(group.remoteName))
            return false;
        for (const auto& [name, record] : hosts) {
            if (name == group.remoteName)
                out.append(record);
        }
        return true;
    }

    SourceNotice TakeNotice() override { return std::exchange(notice, SourceNotice()); }

    QList<NetResource> groups;
    QList<std::pair<QByteArray, NetResource>> hosts;
    SourceNotice notice;            // given once by TakeNotice
    QSet<QByteArray> failingGroups; // second-level listings of these fail to open
    Presence PresenceOf(QByteArrayView host) override {
        if (running.contains(host.toByteArray()))
            return Presence::Running;
        return notRunning.contains(host.toByteArray()) ? Presence::NotRunning : Presence::Unknown;
    }

    QSet<QByteArray> notRunning; // machines whose copy discovery knows to be stopped
    QSet<QByteArray> running;    // machines whose copy discovery lists
    bool failGroups = false;     // the first level fails to open

    int groupListings = 0;
    QList<NetResource> opened; // every second-level listing asked for, in order
};

} // namespace varnel
