#include "network/netbrowser.h"
#include "platform/fake/fakeprovider.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

QByteArray Name(const char* prefix, int n) {
    return QByteArray(prefix) + QByteArray::number(n);
}

struct Host {
    QByteArray name;
    QByteArray group;
};

std::vector<Host> Hosts(const NetBrowser& browser) {
    std::vector<Host> hosts;
    for (int i = 1; i <= browser.GetHostCount(); ++i) {
        Host h;
        EXPECT_TRUE(browser.GetHostName(h.name, i));
        EXPECT_TRUE(browser.GetHostGroupName(h.group, i));
        hosts.push_back(h);
    }
    return hosts;
}

std::vector<QByteArray> Groups(const NetBrowser& browser) {
    std::vector<QByteArray> groups;
    for (int i = 1; i <= browser.GetGroupCount(); ++i) {
        QByteArray name;
        EXPECT_TRUE(browser.GetGroupName(name, i));
        groups.push_back(name);
    }
    return groups;
}

bool operator==(const Host& a, const Host& b) {
    return a.name == b.name && a.group == b.group;
}

void PrintTo(const Host& h, std::ostream* os) {
    *os << h.name.constData() << "@" << h.group.constData();
}

using Groupings = std::vector<QByteArray>;
using HostList = std::vector<Host>;

// ---- workgroups and machines -------------------------------------------------------------------

TEST(NetBrowserCollect, OnlyAPureContainerBecomesAWorkgroup) {
    FakeProvider provider;
    provider.AddGroup("PLAIN", 2).AddGroup("CONNECTABLE", 3).AddGroup("SHARE", 1).AddGroup("NONE", 0);
    provider.AddGroup("OTHER", 2, "Other Net");
    NetBrowser browser(provider);

    browser.Enumerate();

    EXPECT_EQ(Groups(browser), (Groupings{"PLAIN", "OTHER"}));
    QByteArray provided;
    EXPECT_TRUE(browser.GetGroupProvider(provided, 2));
    EXPECT_EQ(provided, "Other Net");
}

TEST(NetBrowserCollect, MachinesKeepTheProviderOrderAndTheirWorkgroupIndex) {
    FakeProvider provider;
    provider.AddGroup("OFFICE").AddGroup("LAB", 2, "Lab Net");
    provider.AddMachine("OFFICE", "PC01").AddMachine("OFFICE", "PC02").AddMachine("LAB", "PC03");
    NetBrowser browser(provider);

    EXPECT_EQ(browser.Enumerate(), 3);

    EXPECT_TRUE(browser.NetworkFound());
    EXPECT_EQ(Hosts(browser), (HostList{{"PC01", "OFFICE"}, {"PC02", "OFFICE"}, {"PC03", "LAB"}}));
    EXPECT_EQ(browser.GroupOfHost(1), 1);
    EXPECT_EQ(browser.GroupOfHost(2), 1);
    EXPECT_EQ(browser.GroupOfHost(3), 2);
    QByteArray provided;
    EXPECT_TRUE(browser.GetHostGroupProvider(provided, 3));
    EXPECT_EQ(provided, "Lab Net");
    // The second level is opened with the workgroup's own texts, as a container.
    ASSERT_EQ(provider.opened.size(), 2);
    EXPECT_EQ(provider.opened[1].remoteName, "LAB");
    EXPECT_EQ(provider.opened[1].provider, "Lab Net");
    EXPECT_EQ(provider.opened[1].usage, NetResource::Container);
}

TEST(NetBrowserCollect, ARemoteNameOfTwoBytesOrLessGivesAnEmptyHostThatCounts) {
    FakeProvider provider;
    provider.AddGroup("WG");
    provider.AddRecord("WG", "\\\\").AddRecord("WG", "\\").AddRecord("WG", "").AddRecord("WG", "\\\\X");
    NetBrowser browser(provider);

    EXPECT_EQ(browser.Enumerate(), 4);

    EXPECT_EQ(Hosts(browser), (HostList{{"", "WG"}, {"", "WG"}, {"", "WG"}, {"X", "WG"}}));
    EXPECT_TRUE(browser.NetworkFound());
}

TEST(NetBrowserCollect, AHostUnderTwoWorkgroupsTakesTwoEntries) {
    FakeProvider provider;
    provider.AddGroup("A").AddGroup("B");
    provider.AddMachine("A", "PC01").AddMachine("B", "PC01");
    NetBrowser browser(provider);

    browser.Enumerate();

    EXPECT_EQ(Hosts(browser), (HostList{{"PC01", "A"}, {"PC01", "B"}}));
}

// ---- workgroups that give no machines ------------------------------------------------------------

TEST(NetBrowserCollect, AWorkgroupThatCannotBeOpenedStillShowsAndTheNextIsRead) {
    FakeProvider provider;
    provider.AddGroup("CLOSED").AddGroup("OPEN");
    provider.AddMachine("CLOSED", "HIDDEN").AddMachine("OPEN", "PC01");
    provider.failingGroups.insert("CLOSED");
    NetBrowser browser(provider);

    EXPECT_EQ(browser.Enumerate(), 1);

    EXPECT_EQ(Groups(browser), (Groupings{"CLOSED", "OPEN"}));
    EXPECT_EQ(Hosts(browser), (HostList{{"PC01", "OPEN"}}));
    EXPECT_EQ(browser.GroupOfHost(1), 2);
}

TEST(NetBrowserCollect, AnEmptyWorkgroupDoesNotStopTheLaterOnes) {
    FakeProvider provider;
    provider.AddGroup("FIRST").AddGroup("EMPTY").AddGroup("LAST");
    provider.AddMachine("FIRST", "PC01").AddMachine("LAST", "PC02");
    NetBrowser browser(provider);

    EXPECT_EQ(browser.Enumerate(), 2);

    EXPECT_EQ(Hosts(browser), (HostList{{"PC01", "FIRST"}, {"PC02", "LAST"}}));
}

TEST(NetBrowserCollect, NoWorkgroupOrNoHostMeansNoNetwork) {
    FakeProvider failing;
    failing.failGroups = true;
    FakeProvider noContainer;
    noContainer.AddGroup("SHARE", 1);
    noContainer.AddMachine("SHARE", "PC01");
    FakeProvider noHosts;
    noHosts.AddGroup("WG");

    for (FakeProvider* provider : {&failing, &noContainer, &noHosts}) {
        NetBrowser browser(*provider);
        EXPECT_EQ(browser.Enumerate(), 0);
        EXPECT_FALSE(browser.NetworkFound());
    }
}

TEST(NetBrowserCollect, AFailedCollectionClearsTheTablesOfTheLastOne) {
    FakeProvider provider;
    provider.AddGroup("WG");
    provider.AddMachine("WG", "PC01");
    NetBrowser browser(provider);
    ASSERT_EQ(browser.Enumerate(), 1);

    provider.failGroups = true;
    EXPECT_EQ(browser.Enumerate(), 0);

    EXPECT_FALSE(browser.NetworkFound());
    EXPECT_EQ(browser.GetGroupCount(), 0);
    EXPECT_TRUE(browser.HostName(1).isEmpty());
    EXPECT_TRUE(browser.GroupName(1).isEmpty());
    EXPECT_EQ(browser.GroupOfHost(1), 0);
}

// ---- limits ------------------------------------------------------------------------------------

TEST(NetBrowserLimits, ThreeHundredHostsStoreTheFirst254) {
    FakeProvider provider;
    provider.AddGroup("A").AddGroup("B").AddGroup("C");
    for (int n = 1; n <= 150; ++n)
        provider.AddMachine("A", Name("A", n)).AddMachine("B", Name("B", n));
    provider.AddMachine("C", "C1");
    NetBrowser browser(provider);

    EXPECT_EQ(browser.Enumerate(), 254);

    QByteArray name;
    EXPECT_TRUE(browser.GetHostName(name, 254));
    EXPECT_EQ(name, "B104");
    EXPECT_EQ(browser.GroupOfHost(254), 2);
    EXPECT_TRUE(browser.HostName(255).isEmpty());
    EXPECT_FALSE(browser.GetHostName(name, 255));
    EXPECT_EQ(browser.GetGroupCount(), 3); // the workgroups are all still there
}

TEST(NetBrowserLimits, MoreThan255WorkgroupsKeepTheFirst255) {
    FakeProvider provider;
    for (int n = 1; n <= 260; ++n)
        provider.AddGroup(Name("G", n));
    provider.AddMachine("G255", "PC255").AddMachine("G256", "PC256");
    NetBrowser browser(provider);

    EXPECT_EQ(browser.Enumerate(), 1);

    EXPECT_EQ(browser.GetGroupCount(), 255);
    QByteArray name;
    EXPECT_TRUE(browser.GetGroupName(name, 255));
    EXPECT_EQ(name, "G255");
    EXPECT_EQ(Hosts(browser), (HostList{{"PC255", "G255"}}));
}

TEST(NetBrowserLimits, AHostNameLongerThan29BytesIsSkippedNotCut) {
    const QByteArray longest(29, 'L');
    const QByteArray tooLong = QByteArray(29, 'L') + "X";
    FakeProvider provider;
    provider.AddGroup("WG");
    provider.AddMachine("WG", tooLong).AddMachine("WG", longest).AddMachine("WG", "PC01");
    NetBrowser browser(provider);

    testing::internal::CaptureStderr();
    const int count = browser.Enumerate();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(count, 2);
    EXPECT_EQ(Hosts(browser), (HostList{{longest, "WG"}, {"PC01", "WG"}}));
    EXPECT_NE(err.find(tooLong.toStdString()), std::string::npos) << err;
}

TEST(NetBrowserLimits, AWorkgroupWithANameOrProviderLongerThan29BytesIsSkipped) {
    const QByteArray tooLong(30, 'W');
    FakeProvider provider;
    provider.AddGroup(tooLong).AddGroup("LONGPROV", 2, QByteArray(30, 'P')).AddGroup("WG");
    provider.AddMachine(tooLong, "PC01").AddMachine("LONGPROV", "PC02").AddMachine("WG", "PC03");
    NetBrowser browser(provider);

    testing::internal::CaptureStderr();
    browser.Enumerate();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(Groups(browser), (Groupings{"WG"}));
    EXPECT_EQ(Hosts(browser), (HostList{{"PC03", "WG"}}));
    EXPECT_NE(err.find(tooLong.toStdString()), std::string::npos) << err;
    EXPECT_NE(err.find("LONGPROV"), std::string::npos) << err;
}

// One listing is one read of 16384 bytes: each record takes 32 bytes plus its remote name and
// provider with their zero bytes, and the records from the first one that does not fit are not
// read at all.
struct BufferCase {
    const char* what;
    QByteArray lastRemote; // the record that ends at byte 16384 or one byte beyond
    int hosts;
};

class NetBrowserListingBuffer : public testing::TestWithParam<BufferCase> {};

TEST_P(NetBrowserListingBuffer, TakesOnlyTheRecordsThatFit) {
    FakeProvider provider;
    provider.AddGroup("WG");
    // 218 records of 32 + 29 + 1 + 12 + 1 = 75 bytes make 16350 bytes; 34 bytes are left.
    for (int n = 0; n < 218; ++n)
        provider.AddMachine("WG", Name("M", 100000 + n) + QByteArray(20, 'x'));
    ASSERT_EQ(provider.hosts[0].second.remoteName.size(), 29);
    provider.hosts.append({"WG", NetResource{GetParam().lastRemote, "", NetResource::Connectable}});
    provider.AddRecord("WG", ""); // never read once one record did not fit
    NetBrowser browser(provider);

    EXPECT_EQ(browser.Enumerate(), GetParam().hosts);
}

INSTANTIATE_TEST_SUITE_P(LastRecord, NetBrowserListingBuffer,
                         testing::Values(BufferCase{"fitsExactly", "", 219},
                                         BufferCase{"oneByteOver", "x", 218}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(NetBrowserLimits, TheWorkgroupListingIsOneBufferToo) {
    FakeProvider provider;
    // 32 + 29 + 1 + 12 + 1 = 75 bytes a record: 218 fit, the 219th does not.
    for (int n = 0; n < 230; ++n)
        provider.AddGroup(Name("G", 100000 + n) + QByteArray(22, 'x'));
    ASSERT_EQ(provider.groups[0].remoteName.size(), 29);
    NetBrowser browser(provider);

    browser.Enumerate();

    EXPECT_EQ(browser.GetGroupCount(), 218);
}

// ---- accessors ---------------------------------------------------------------------------------

TEST(NetBrowserAccessors, AnIndexOutsideTheTableGivesFalseAndAnEmptyText) {
    FakeProvider provider;
    provider.AddGroup("WG");
    provider.AddMachine("WG", "PC01");
    NetBrowser browser(provider);
    browser.Enumerate();

    // One host and one workgroup: only index 1 holds anything.
    using Accessor = bool (NetBrowser::*)(QByteArray&, int) const;
    const Accessor accessors[] = {&NetBrowser::GetHostName, &NetBrowser::GetHostGroupName,
                                  &NetBrowser::GetHostGroupProvider, &NetBrowser::GetGroupName,
                                  &NetBrowser::GetGroupProvider};
    for (Accessor accessor : accessors) {
        for (int i : {-1, 0, 2, NetBrowser::kTableSize}) {
            QByteArray dst = "stale";
            EXPECT_FALSE((browser.*accessor)(dst, i)) << i;
            EXPECT_TRUE(dst.isEmpty()) << i;
        }
        QByteArray dst = "stale";
        EXPECT_TRUE((browser.*accessor)(dst, 1));
        EXPECT_FALSE(dst.isEmpty());
    }
}

} // namespace
} // namespace varnel
