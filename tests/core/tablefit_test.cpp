#include "network/netbrowser.h"
#include "network/tablefit.h"
#include "platform/fake/fakeprovider.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

const QByteArray kProvider = FakeProvider::DefaultProvider();

QByteArray Name(const char* prefix, int n, int width = 3) {
    return QByteArray(prefix) + QByteArray::number(n).rightJustified(width, '0');
}

ListedGroup Group(const QByteArray& name, const char* prefix, int count, int width = 3) {
    ListedGroup group{name, {}};
    for (int n = 1; n <= count; ++n)
        group.hosts.append(Name(prefix, n, width));
    return group;
}

// What the browser keeps of a listing: "GROUP/HOST" for each host entry, in table order.
QList<QByteArray> Browse(const QList<ListedGroup>& groups) {
    FakeProvider provider;
    for (const ListedGroup& group : groups) {
        provider.AddGroup(group.name);
        for (const QByteArray& host : group.hosts)
            provider.AddMachine(group.name, host);
    }
    NetBrowser browser(provider);
    browser.Enumerate();
    QList<QByteArray> kept;
    for (int i = 1; i <= browser.GetHostCount(); ++i) {
        QByteArray host;
        QByteArray group;
        browser.GetHostName(host, i);
        browser.GetHostGroupName(group, i);
        kept.append(group + "/" + host);
    }
    return kept;
}

qsizetype Hosts(const QList<ListedGroup>& groups) {
    qsizetype n = 0;
    for (const ListedGroup& group : groups)
        n += group.hosts.size();
    return n;
}

TEST(KeepWithinTables, ThisMachineAtTheLastPlaceOfTheTableStaysAndNothingIsCut) {
    QList<ListedGroup> groups{Group("WG", "pc", NetBrowser::kMaxHosts - 1)};
    groups[0].hosts.append("me");
    const QList<ListedGroup> before = groups;

    KeepWithinTables(groups, kProvider, 0, NetBrowser::kMaxHosts - 1);

    EXPECT_EQ(groups[0].hosts, before[0].hosts);
    EXPECT_EQ(Browse(groups).back(), "WG/me");
}

TEST(KeepWithinTables, OnePlaceLaterItTakesThePlaceOfTheLastMachineThatFitted) {
    QList<ListedGroup> groups{Group("WG", "pc", NetBrowser::kMaxHosts)};
    groups[0].hosts.append("me");
    ASSERT_FALSE(Browse(groups).contains("WG/me"));

    KeepWithinTables(groups, kProvider, 0, NetBrowser::kMaxHosts);

    const QList<QByteArray> kept = Browse(groups);
    ASSERT_EQ(kept.size(), NetBrowser::kMaxHosts);
    EXPECT_EQ(kept.back(), "WG/me");
    EXPECT_EQ(kept[kept.size() - 2], "WG/" + Name("pc", NetBrowser::kMaxHosts - 1));
}

TEST(KeepWithinTables, InALaterWorkgroupItStillGetsTheLastPlace) {
    QList<ListedGroup> groups{Group("A", "a", 200), Group("B", "b", 100), ListedGroup{"C", {"me"}},
                              Group("D", "d", 5)};

    KeepWithinTables(groups, kProvider, 2, 0);

    const QList<QByteArray> kept = Browse(groups);
    ASSERT_EQ(kept.size(), NetBrowser::kMaxHosts);
    EXPECT_EQ(kept.back(), "C/me");
    EXPECT_EQ(kept[kept.size() - 2], "B/" + Name("b", NetBrowser::kMaxHosts - 200 - 1));
    // Every workgroup is still shown, the ones past the limit without machines.
    ASSERT_EQ(groups.size(), 4);
    EXPECT_TRUE(groups[3].hosts.isEmpty());
}

TEST(KeepWithinTables, TheListingBufferOfItsWorkgroupLeavesRoomForIt) {
    // Names of the longest kind fill one workgroup's buffer long before the count limit.
    QList<ListedGroup> groups{Group("WG", "long-machine-name-", 240, NetBrowser::kMaxName - 18)};
    groups[0].hosts.append("me");
    const QList<ListedGroup> whole = groups;
    ASSERT_FALSE(Browse(groups).contains("WG/me"));

    KeepWithinTables(groups, kProvider, 0, 240);

    // The browser takes the cut listing whole, with this machine last...
    const QList<QByteArray> kept = Browse(groups);
    EXPECT_EQ(kept.size(), Hosts(groups));
    EXPECT_EQ(kept.back(), "WG/me");
    // ...and no more was cut than needed: one machine more before it would push it out again.
    QList<ListedGroup> more = groups;
    more[0].hosts.insert(more[0].hosts.size() - 1, whole[0].hosts[more[0].hosts.size() - 1]);
    EXPECT_FALSE(Browse(more).contains("WG/me"));
}

TEST(KeepWithinTables, ItsWorkgroupStaysAmongTheWorkgroupsThatFit) {
    QList<ListedGroup> groups;
    for (int n = 1; n <= 300; ++n)
        groups.append(ListedGroup{Name("G", n), {Name("h", n)}});
    groups.append(ListedGroup{"OWN", {"me"}});

    KeepWithinTables(groups, kProvider, 300, 0);

    const QList<QByteArray> kept = Browse(groups);
    EXPECT_EQ(kept.size(), Hosts(groups));
    EXPECT_EQ(kept.back(), "OWN/me");
    EXPECT_LE(groups.size(), NetBrowser::kMaxGroups);
}

TEST(KeepWithinTables, AMachineWhoseNameTheTablesCannotHoldChangesNothing) {
    const QByteArray tooLong(NetBrowser::kMaxName + 1, 'x');
    QList<ListedGroup> groups{Group("WG", "pc", 300)};
    groups[0].hosts.append(tooLong);
    const QList<ListedGroup> before = groups;

    KeepWithinTables(groups, kProvider, 0, 300);

    EXPECT_EQ(groups[0].hosts, before[0].hosts);
}

} // namespace
} // namespace varnel
