#include "platform/directoryprovider.h"

#include "network/netbrowser.h"
#include "platform/discovery.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <tuple>

namespace varnel {
namespace {

class DirectoryProviderTest : public testing::Test {
protected:
    void Write(const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    // "GROUP: \\HOST \\HOST ..." for each workgroup of a first-level listing.
    QList<QByteArray> Listing(DirectoryProvider& provider) {
        QList<QByteArray> lines;
        QList<NetResource> groups;
        EXPECT_TRUE(provider.ListGroups(groups));
        for (const NetResource& group : groups) {
            EXPECT_EQ(group.provider, "Varnel Network");
            EXPECT_EQ(group.usage, NetResource::Container);
            QByteArray line = group.remoteName + ":";
            QList<NetResource> hosts;
            EXPECT_TRUE(provider.ListHosts(group, hosts));
            for (const NetResource& host : hosts) {
                EXPECT_EQ(host.provider, "Varnel Network");
                EXPECT_EQ(host.usage, NetResource::Connectable);
                line += " " + host.remoteName;
            }
            lines.append(line);
        }
        return lines;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("network.txt"));
    HostAddresses addresses;
};

// ---- the directory file ------------------------------------------------------------------------

TEST_F(DirectoryProviderTest, TheFileKeepsItsOrderAndSkipsCommentsAndMalformedLines) {
    Write("# the office\n"
          "OFFICE PC01 192.168.1.10\n"
          "\n"
          "OFFICE\tPC02   # no address\r\n"
          "OFFICE\n"                     // line 5: one field
          "OFFICE PC03 10.0.0.1 extra\n" // line 6: four fields
          "OFFICE PC04 300.1.2.3\n"      // line 7: not an address
          "  LAB   PC05   fe80::1  \n"
          "LAB PC06 ::ffff:10.0.0.6");

    QList<UnusableLine> skipped;
    const QList<DirectoryProvider::Machine> machines = DirectoryProvider::ReadDirectoryFile(path, &skipped);

    ASSERT_EQ(machines.size(), 4);
    EXPECT_EQ(machines[0].workgroup, "OFFICE");
    EXPECT_EQ(machines[0].host, "PC01");
    EXPECT_EQ(machines[0].address, QHostAddress(QStringLiteral("192.168.1.10")));
    EXPECT_EQ(machines[1].host, "PC02");
    EXPECT_TRUE(machines[1].address.isNull());
    EXPECT_EQ(machines[2].workgroup, "LAB");
    EXPECT_EQ(machines[2].host, "PC05");
    EXPECT_EQ(machines[2].address, QHostAddress(QStringLiteral("fe80::1")));
    EXPECT_EQ(machines[3].host, "PC06");
    QList<qsizetype> numbers;
    for (const UnusableLine& line : skipped)
        numbers.append(line.number);
    EXPECT_EQ(numbers, (QList<qsizetype>{5, 6, 7})); // line 4 is a comment
    EXPECT_EQ(skipped[1].text, "OFFICE PC03 10.0.0.1 extra");
    EXPECT_EQ(skipped[2].reason, UnusableLine::Address);
}

TEST_F(DirectoryProviderTest, UTF8NamesBecomeShiftJISAndShiftJISLinesStandAsTheyAre) {
    Write("営業部 PC01\n"                   // UTF-8
          "\x89\x63\x8B\xC6\x95\x94 PC02\n" // the same workgroup in Shift-JIS
          "한국 PC03\n");                   // no Shift-JIS form: skipped, line 3
    QList<UnusableLine> skipped;
    const QList<DirectoryProvider::Machine> machines = DirectoryProvider::ReadDirectoryFile(path, &skipped);
    ASSERT_EQ(machines.size(), 2);
    EXPECT_EQ(machines[0].workgroup, QByteArray("\x89\x63\x8B\xC6\x95\x94"));
    EXPECT_EQ(machines[1].workgroup, machines[0].workgroup);
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_EQ(skipped[0].number, 3);
    EXPECT_EQ(skipped[0].reason, UnusableLine::Unencodable);
}

TEST_F(DirectoryProviderTest, AMissingFileListsOnlyThisMachineWithoutComplaint) {
    DirectoryProvider provider(addresses, "WORKGROUP", path, "me");

    testing::internal::CaptureStderr();
    const QList<QByteArray> listing = Listing(provider);
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(listing, (QList<QByteArray>{"WORKGROUP: \\\\me"}));
    EXPECT_TRUE(err.empty()) << err;
}

TEST_F(DirectoryProviderTest, TheFileIsReadAgainAtEveryListing) {
    DirectoryProvider provider(addresses, "WG", path, "me");
    Write("WG PC01\n");
    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"WG: \\\\PC01 \\\\me"}));

    Write("WG PC02\nLAB PC03\n");
    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"WG: \\\\PC02 \\\\me", "LAB: \\\\PC03"}));
}

// ---- merging -----------------------------------------------------------------------------------

TEST_F(DirectoryProviderTest, WorkgroupsAndMachinesKeepTheOrderFirstSeenAndThisMachineComesLast) {
    Write("SALES PC01\n"
          "OFFICE PC02\n"
          "SALES PC03\n"
          "OFFICE PC04\n");
    DirectoryProvider provider(addresses, "OFFICE", path, "me");

    EXPECT_EQ(Listing(provider),
              (QList<QByteArray>{"SALES: \\\\PC01 \\\\PC03", "OFFICE: \\\\PC02 \\\\PC04 \\\\me"}));
}

TEST_F(DirectoryProviderTest, ThisMachineInAWorkgroupOfItsOwnGetsANewLastWorkgroup) {
    Write("SALES PC01\n");
    DirectoryProvider provider(addresses, "HOME", path, "me");

    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"SALES: \\\\PC01", "HOME: \\\\me"}));
}

TEST_F(DirectoryProviderTest, NoMachineTwiceInOneWorkgroupWhateverItsCase) {
    Write("office pc01\n"
          "OFFICE PC01\n"
          "Office Me\n"
          "LAB PC01\n");
    DirectoryProvider provider(addresses, "OFFICE", path, "ME");

    // The spelling seen first stays; a machine may still stand in two workgroups.
    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"office: \\\\pc01 \\\\Me", "LAB: \\\\PC01"}));
}

TEST_F(DirectoryProviderTest, AnEmptyWorkgroupSettingMeansWORKGROUP) {
    DirectoryProvider provider(addresses, "", path, "me");

    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"WORKGROUP: \\\\me"}));
}

TEST_F(DirectoryProviderTest, AWorkgroupItDidNotListCannotBeOpened) {
    DirectoryProvider provider(addresses, "WG", path, "me");
    QList<NetResource> out;
    ASSERT_TRUE(provider.ListGroups(out));

    out.append(NetResource{"stale", "stale"});
    EXPECT_FALSE(provider.ListHosts({"OTHER", "Varnel Network", NetResource::Container}, out));
    EXPECT_TRUE(out.isEmpty());
}

class FakeDiscovery final : public Discovery {
public:
    QList<ListedMachine> Found(bool settle) override {
        settles.append(settle);
        return machines;
    }
    QList<QHostAddress> AddressesOf(const QByteArray& host) const override {
        QList<QHostAddress> found;
        for (const ListedMachine& m : machines) {
            if (m.host == host)
                found.append(m.address);
        }
        return found;
    }
    void SetAnnounced(bool) override {}
    void SetWorkgroup(const QByteArray& workgroup) override { workgroups.append(workgroup); }

    QList<ListedMachine> machines;
    QList<bool> settles;          // the settle flag of every Found
    QList<QByteArray> workgroups; // every workgroup it was told
};

TEST_F(DirectoryProviderTest, LiveMachinesComeBeforeTheFileAndOnlyTheFirstListingWaitsForThem) {
    Write("OFFICE PC02\n"
          "OFFICE PC01 10.0.0.99\n");
    FakeDiscovery discovery;
    DirectoryProvider provider(addresses, "OFFICE", path, "PC01", &discovery);
    discovery.machines = {{"LAB", "PC09", QHostAddress(QStringLiteral("10.0.0.9"))}, {"OFFICE", "PC01", {}}};

    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"LAB: \\\\PC09", "OFFICE: \\\\PC01 \\\\PC02"}));
    EXPECT_EQ(addresses.Lookup("PC09"), (QList<QHostAddress>{QHostAddress(QStringLiteral("10.0.0.9"))}));
    EXPECT_EQ(addresses.Lookup("PC01"), (QList<QHostAddress>{QHostAddress(QStringLiteral("10.0.0.99"))}));

    // A machine that left is gone from the next listing, which takes what is known without waiting.
    discovery.machines.removeFirst();
    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"OFFICE: \\\\PC01 \\\\PC02"}));
    EXPECT_EQ(discovery.settles, (QList<bool>{true, false}));
}

TEST_F(DirectoryProviderTest, DiscoveryIsListedByNameWhateverOrderItsAnswersCameIn) {
    Write("OFFICE ZED\n"
          "ALPHA AX\n");
    const QList<ListedMachine> found = {{"OFFICE", "PC03", {}},
                                        {"lab", "pc2", {}},
                                        {"OFFICE", "pc01", {}},
                                        {"LAB", "PC1", {}},
                                        {"OFFICE", "PC02", {}}};
    // Discovery's own first, by name (a workgroup's spelling is the one first in that order); the
    // file's after them, in its order; this machine where its source puts it.
    const QList<QByteArray> expected = {"LAB: \\\\PC1 \\\\pc2", "OFFICE: \\\\pc01 \\\\PC02 \\\\PC03 \\\\ZED",
                                        "ALPHA: \\\\AX"};
    for (const QList<int>& order :
         {QList<int>{0, 1, 2, 3, 4}, QList<int>{4, 3, 2, 1, 0}, QList<int>{2, 0, 4, 1, 3}}) {
        FakeDiscovery discovery;
        for (int i : order)
            discovery.machines.append(found[i]);
        DirectoryProvider provider(addresses, "OFFICE", path, "PC02", &discovery);
        EXPECT_EQ(Listing(provider), expected) << order[0];
    }
}

TEST_F(DirectoryProviderTest, OnlyAMachineDiscoverySawAndLostIsNotRunning) {
    Write("OFFICE PC02\n");
    FakeDiscovery discovery;
    DirectoryProvider provider(addresses, "OFFICE", path, "PC01", &discovery);
    discovery.machines = {{"LAB", "PC09", {}}};
    Listing(provider);
    EXPECT_EQ(provider.PresenceOf("pc09"), Presence::Running);
    EXPECT_EQ(provider.PresenceOf("PC02"), Presence::Unknown); // the file says nothing of the program
    discovery.machines.clear();
    EXPECT_EQ(provider.PresenceOf("PC09"), Presence::NotRunning);
    EXPECT_EQ(provider.PresenceOf("PC02"), Presence::Unknown);
}

TEST_F(DirectoryProviderTest, TheEndpointAsksLiveDiscoveryFirst) {
    FakeDiscovery discovery;
    HostAddresses live(&discovery);
    Write("WG PC01 10.0.0.1\n");
    DirectoryProvider provider(live, "WG", path, "me", &discovery);
    QList<NetResource> out;
    ASSERT_TRUE(provider.ListGroups(out));

    // Found after the listing, at another address: that one first, the listed one after it.
    discovery.machines = {{"WG", "PC01", QHostAddress(QStringLiteral("10.0.0.2"))}};
    EXPECT_EQ(live.Lookup("PC01"), (QList<QHostAddress>{QHostAddress(QStringLiteral("10.0.0.2")),
                                                        QHostAddress(QStringLiteral("10.0.0.1"))}));
}

// ---- this machine's workgroup ------------------------------------------------------------------

TEST_F(DirectoryProviderTest, WithoutASettingThisMachineTakesTheWorkgroupTheFileGivesIt) {
    Write("SALES PC01\n"
          "OFFICE ME\n" // the first line naming this machine counts
          "LAB me\n");
    FakeDiscovery discovery;
    DirectoryProvider provider(addresses, "", path, "me", &discovery);

    // Listed once, under OFFICE, and never a second time under WORKGROUP.
    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"SALES: \\\\PC01", "OFFICE: \\\\ME", "LAB: \\\\me"}));
    EXPECT_EQ(provider.OwnWorkgroup(), "OFFICE");
    // Discovery announces it so from the start, and hears of a change at the next listing.
    EXPECT_EQ(discovery.workgroups, (QList<QByteArray>{"OFFICE"}));
    Write("SALES PC01\n");
    Listing(provider);
    EXPECT_EQ(discovery.workgroups, (QList<QByteArray>{"OFFICE", "WORKGROUP"}));
}

TEST_F(DirectoryProviderTest, TheWorkgroupSettingComesBeforeTheFile) {
    Write("OFFICE me\n");
    DirectoryProvider provider(addresses, "HOME", path, "me");

    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"OFFICE: \\\\me", "HOME: \\\\me"}));
    EXPECT_EQ(provider.OwnWorkgroup(), "HOME");
}

// ---- limits and unusable lines -----------------------------------------------------------------

TEST_F(DirectoryProviderTest, ThisMachineStaysWithinTheTablesHoweverLongTheFile) {
    QByteArray text;
    for (int n = 1; n <= 400; ++n)
        text += "WG pc" + QByteArray::number(n) + "\n";
    Write(text);
    DirectoryProvider provider(addresses, "WG", path, "me");
    NetBrowser browser(provider);

    ASSERT_EQ(browser.Enumerate(), NetBrowser::kMaxHosts);
    QByteArray name;
    browser.GetHostName(name, NetBrowser::kMaxHosts);
    EXPECT_EQ(name, "me");
}

TEST_F(DirectoryProviderTest, UnusableLinesAreToldOnceNamingTheFileAndTheirLines) {
    const QByteArray longName(NetBrowser::kMaxName + 1, 'x');
    Write("WG PC01 224.0.0.251\n" // a group address reaches no one machine
          "WG " +
          longName +
          "\n"                 // would be cut to another name
          "WG PC03\x01\n"      // a control byte
          "WG PC04 \xff\xff\n" // neither UTF-8 nor Shift-JIS
          "WG PC05 10.0.0.5\n");
    DirectoryProvider provider(addresses, "WG", path, "me");

    EXPECT_EQ(Listing(provider), (QList<QByteArray>{"WG: \\\\PC05 \\\\me"}));
    const SourceNotice notice = provider.TakeNotice();

    EXPECT_EQ(notice.path, path);
    using L = UnusableLine;
    const QList<std::tuple<qsizetype, L::Reason, QByteArray>> expected = {
        {1, L::Address, "WG PC01 224.0.0.251"},
        {2, L::TooLong, "WG " + longName},
        {3, L::Binary, "WG PC03\x01"},
        {4, L::Binary, "WG PC04 \xff\xff"}};
    QList<std::tuple<qsizetype, L::Reason, QByteArray>> told;
    for (const L& line : notice.lines)
        told.append({line.number, line.reason, line.text});
    EXPECT_EQ(told, expected);
    EXPECT_TRUE(provider.TakeNotice().lines.isEmpty());
    Listing(provider);
    EXPECT_TRUE(provider.TakeNotice().lines.isEmpty());
}

// ---- addresses ---------------------------------------------------------------------------------

TEST_F(DirectoryProviderTest, AddressesAreLearntAnewAtEveryListing) {
    Write("WG PC01 127.0.0.2\n"
          "WG PC02 127.0.0.3\n"
          "WG PC02 ::1\n"); // a second address of a machine already listed still counts
    DirectoryProvider provider(addresses, "WG", path, "me");
    QList<NetResource> out;
    ASSERT_TRUE(provider.ListGroups(out));

    EXPECT_EQ(addresses.Lookup("pc01"), (QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.2"))}));
    EXPECT_EQ(addresses.Lookup("PC02"), (QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.3")),
                                                             QHostAddress(QStringLiteral("::1"))}));
    // This machine, with no address of its own, is reached over loopback.
    EXPECT_EQ(addresses.Lookup("me"), (QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost)}));

    Write("WG PC02 127.0.0.4\nWG me 127.0.0.9\n");
    ASSERT_TRUE(provider.ListGroups(out));

    EXPECT_TRUE(addresses.Lookup("PC01").isEmpty());
    EXPECT_EQ(addresses.Lookup("PC02"), (QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.4"))}));
    // Listed with an address, this machine keeps that one.
    EXPECT_EQ(addresses.Lookup("me"), (QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.9"))}));
}

// ---- names -------------------------------------------------------------------------------------

struct NameCase {
    const char* what;
    QByteArray a;
    QByteArray b;
    bool same;
};

class DirectoryProviderNames : public testing::TestWithParam<NameCase> {};

TEST_P(DirectoryProviderNames, MatchIgnoringAsciiCaseOnly) {
    EXPECT_EQ(DirectoryProvider::SameName(GetParam().a, GetParam().b), GetParam().same);
    EXPECT_EQ(DirectoryProvider::SameName(GetParam().b, GetParam().a), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DirectoryProviderNames,
    testing::Values(NameCase{"equal", "PC01", "PC01", true}, NameCase{"asciiCase", "pc-01", "PC-01", true},
                    NameCase{"differentLength", "PC01", "PC010", false},
                    NameCase{"different", "PC01", "PC02", false},
                    // Two katakana whose second bytes are 'A' and 'a' (0x83 0x41, 0x83 0x61).
                    NameCase{"doubleByteSecondByteNotFolded", "\x83\x41", "\x83\x61", false},
                    NameCase{"doubleByteEqual", "PC\x83\x41", "pc\x83\x41", true},
                    NameCase{"latin1NotFolded", "\xC0", "\xE0", false}),
    [](const auto& info) { return std::string(info.param.what); });

// ---- with the browser --------------------------------------------------------------------------

TEST_F(DirectoryProviderTest, TheBrowserFindsTheMachinesOfTheFileAndThisMachine) {
    Write("OFFICE PC01 127.0.0.2\n");
    DirectoryProvider provider(addresses, "OFFICE", path, "me");
    NetBrowser browser(provider);

    EXPECT_EQ(browser.Enumerate(), 2);

    QByteArray name;
    EXPECT_TRUE(browser.GetHostName(name, 2));
    EXPECT_EQ(name, "me");
    EXPECT_TRUE(browser.GetHostGroupProvider(name, 2));
    EXPECT_EQ(name, "Varnel Network");
}

TEST(DirectoryProviderDefaults, TheFileLivesInTheUsersKobuConfigFolder) {
    EXPECT_TRUE(DirectoryProvider::DefaultPath().endsWith(QStringLiteral("/kobu/network.txt")));
    EXPECT_FALSE(DirectoryProvider::SystemHostName().isEmpty());
}

} // namespace
} // namespace varnel
