#include "platform/hostaddresses.h"
#include "platform/udpendpoint.h"
#include "records.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <future>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnel {
namespace {

const QHostAddress kAddressA(QStringLiteral("127.0.0.2"));
const QHostAddress kAddressB(QStringLiteral("127.0.0.3"));

// A port free on both test addresses, so the tests never meet a running program on the mail port.
quint16 FreePort() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        HostAddresses none;
        UdpEndpoint probe(none, kAddressA, 0);
        if (!probe.Open())
            continue;
        const quint16 port = probe.BoundPort();
        probe.Close();
        UdpEndpoint a(none, kAddressA, port);
        UdpEndpoint b(none, kAddressB, port);
        if (a.Open() && b.Open())
            return port;
    }
    return 0;
}

// Loopback delivery is immediate in practice; this only guards against a slow machine.
qint64 WaitForDatagram(UdpEndpoint& endpoint) {
    for (int i = 0; i < 200; ++i) {
        const qint64 size = endpoint.PendingSize();
        if (size >= 0)
            return size;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

class UdpEndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = FreePort();
        ASSERT_NE(port, 0);
        addresses.Learn("PCB", kAddressB);
        addresses.Learn("PCA", kAddressA);
        a = std::make_unique<UdpEndpoint>(addresses, kAddressA, port, port);
        b = std::make_unique<UdpEndpoint>(addresses, kAddressB, port, port);
        ASSERT_TRUE(a->Open());
        ASSERT_TRUE(b->Open());
    }

    quint16 port = 0;
    HostAddresses addresses;
    std::unique_ptr<UdpEndpoint> a;
    std::unique_ptr<UdpEndpoint> b;
};

TEST_F(UdpEndpointTest, SecondEndpointOnTheSameAddressAndPortFailsToOpen) {
    UdpEndpoint second(addresses, kAddressA, port, port);
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.IsOpen());
    a->Close();
    EXPECT_TRUE(second.Open());
}

TEST_F(UdpEndpointTest, OpenTwiceAndCloseTwiceAreHarmless) {
    EXPECT_TRUE(a->Open());
    a->Close();
    a->Close();
    EXPECT_FALSE(a->IsOpen());
    EXPECT_EQ(a->PendingSize(), -1);
    QByteArray datagram;
    EXPECT_FALSE(a->ReadNext(datagram));
}

TEST_F(UdpEndpointTest, TwoEndpointsExchangeDatagramsByHostName) {
    const QByteArray mail = test::Mail{.letter = 'S', .sender = "PCA", .recipient = "PCB"}.Datagram();
    ASSERT_TRUE(a->SendTo("pcb", mail));
    ASSERT_EQ(WaitForDatagram(*b), mail.size());
    QByteArray datagram;
    ASSERT_TRUE(b->ReadNext(datagram));
    EXPECT_EQ(datagram, mail);
    EXPECT_EQ(b->PendingSize(), -1);

    const QByteArray receipt = test::Mail{.sender = "PCA", .recipient = "PCB"}.Header() + '\0';
    ASSERT_TRUE(b->SendTo("PCA", receipt));
    ASSERT_EQ(WaitForDatagram(*a), receipt.size());
    ASSERT_TRUE(a->ReadNext(datagram));
    EXPECT_EQ(datagram, receipt);
}

TEST_F(UdpEndpointTest, EmptyDatagramIsToldFromNoDatagram) {
    EXPECT_EQ(b->PendingSize(), -1);
    ASSERT_TRUE(a->SendTo("PCB", QByteArray()));
    ASSERT_EQ(WaitForDatagram(*b), 0);
    QByteArray datagram("stale");
    ASSERT_TRUE(b->ReadNext(datagram));
    EXPECT_TRUE(datagram.isEmpty());
    EXPECT_EQ(b->PendingSize(), -1);
    EXPECT_FALSE(b->ReadNext(datagram));
}

TEST_F(UdpEndpointTest, ReadTakesExactlyOneDatagramWhateverItsSize) {
    const QByteArray big(64000, 'm');
    ASSERT_TRUE(a->SendTo("PCB", big));
    ASSERT_TRUE(a->SendTo("PCB", "small"));
    ASSERT_EQ(WaitForDatagram(*b), 64000);
    QByteArray datagram;
    ASSERT_TRUE(b->ReadNext(datagram));
    EXPECT_EQ(datagram, big);
    ASSERT_EQ(WaitForDatagram(*b), 5);
    ASSERT_TRUE(b->ReadNext(datagram));
    EXPECT_EQ(datagram, "small");
}

TEST_F(UdpEndpointTest, LiteralAddressNeedsNoLookup) {
    ASSERT_TRUE(a->SendTo("127.0.0.3", "x"));
    EXPECT_EQ(WaitForDatagram(*b), 1);
}

TEST_F(UdpEndpointTest, ClosedEndpointStillSends) {
    a->Close();
    ASSERT_TRUE(a->SendTo("PCB", "x"));
    EXPECT_EQ(WaitForDatagram(*b), 1);
}

TEST_F(UdpEndpointTest, NamesThatReachNoSingleMachineFail) {
    const char* names[] = {
        "", "no-such-machine.invalid", "255.255.255.255", "224.0.0.1", "ff02::1", "0.0.0.0", "::"};
    for (const char* name : names)
        EXPECT_FALSE(a->SendTo(name, "x")) << name;
    EXPECT_FALSE(a->SendTo(QByteArray("PC\0B", 4), "x"));
    EXPECT_FALSE(a->SendTo(QByteArray(300, 'h'), "x"));
    EXPECT_EQ(b->PendingSize(), -1);
}

TEST_F(UdpEndpointTest, KnowsWhetherADatagramCameFromThisMachine) {
    QByteArray datagram;
    ASSERT_TRUE(a->SendTo("PCB", "from a"));
    ASSERT_EQ(WaitForDatagram(*b), 6);
    ASSERT_TRUE(b->ReadNext(datagram));
    EXPECT_FALSE(b->LastFromThisMachine());
    ASSERT_TRUE(b->SendTo("PCB", "from b"));
    ASSERT_EQ(WaitForDatagram(*b), 6);
    ASSERT_TRUE(b->ReadNext(datagram));
    EXPECT_TRUE(b->LastFromThisMachine());
}

TEST_F(UdpEndpointTest, AnAnswerGoesNowhereTheSenderChoosesOutsideTheAttachedNetworks) {
    // A receipt for a mail whose sender field is a literal address: sent only within this
    // machine's networks (loopback here), never to one elsewhere.
    EXPECT_FALSE(a->SendWhenResolved("192.0.2.7", "receipt"));
    EXPECT_FALSE(a->SendWhenResolved("2001:db8::7", "receipt"));
    ASSERT_TRUE(a->SendWhenResolved("127.0.0.3", "receipt"));
    EXPECT_EQ(WaitForDatagram(*b), 7);
}

// A lookup of "slowpcb" that answers once the gate opens; other names do not resolve.
NameResolver::Lookup SlowLookup(std::shared_future<void> gate) {
    return [gate](const QByteArray& name) -> QList<QHostAddress> {
        if (name != "slowpcb")
            return {};
        gate.wait_for(std::chrono::seconds(10));
        return {kAddressB};
    };
}

TEST_F(UdpEndpointTest, AReceiptWaitsForItsNameAndGoesOutWhenTheLookupAnswers) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv); // answers arrive through the event loop
    std::promise<void> gate;
    UdpEndpoint c(addresses, kAddressA, 0, port, SlowLookup(gate.get_future().share()));
    ASSERT_TRUE(c.Open());

    EXPECT_FALSE(c.SendTo("slowpcb", "mail")); // now or never: the name is not known yet
    EXPECT_TRUE(c.SendWhenResolved("slowpcb", "receipt"));
    EXPECT_TRUE(c.SendWhenResolved("ghost", "lost"));
    EXPECT_EQ(c.HeldCount(), 2);
    gate.set_value();
    for (int i = 0; i < 10000 && c.HeldCount() > 0; ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(c.HeldCount(), 0);

    QByteArray datagram;
    ASSERT_EQ(WaitForDatagram(*b), 7);
    ASSERT_TRUE(b->ReadNext(datagram));
    EXPECT_EQ(datagram, "receipt");
    EXPECT_EQ(b->PendingSize(), -1); // the one for a name that does not resolve was dropped
    EXPECT_FALSE(c.SendWhenResolved("ghost", "known not to resolve"));
    EXPECT_TRUE(c.SendTo("slowpcb", "mail"));
}

TEST_F(UdpEndpointTest, WhatWaitsForANameIsBounded) {
    std::promise<void> gate;
    UdpEndpoint c(addresses, kAddressA, 0, port, SlowLookup(gate.get_future().share()));
    for (int i = 0; i < UdpEndpoint::kMaxHeldPerName; ++i)
        EXPECT_TRUE(c.SendWhenResolved("slowpcb", "r")) << i;
    EXPECT_FALSE(c.SendWhenResolved("SlowPCB", "r"));
    const QByteArray rest(UdpEndpoint::kMaxHeldBytes - UdpEndpoint::kMaxHeldPerName, 'x');
    EXPECT_TRUE(c.SendWhenResolved("slowpcb.office", rest));
    EXPECT_FALSE(c.SendWhenResolved("slowpcb.branch", "x"));
    EXPECT_EQ(c.HeldCount(), UdpEndpoint::kMaxHeldPerName + 1);
    gate.set_value();
}

// The default endpoint binds every address, IPv4 and IPv6 alike.
TEST(UdpEndpointDualStack, AllAddressesEndpointTakesAndSendsIpv4Mail) {
    HostAddresses addresses;
    UdpEndpoint receiver(addresses, kAddressB, 0);
    ASSERT_TRUE(receiver.Open());

    quint16 port = 0;
    std::unique_ptr<UdpEndpoint> all;
    for (int attempt = 0; attempt < 20 && !all; ++attempt) {
        UdpEndpoint probe(addresses, QHostAddress::Any, 0);
        ASSERT_TRUE(probe.Open());
        port = probe.BoundPort();
        probe.Close();
        all = std::make_unique<UdpEndpoint>(addresses, QHostAddress::Any, port, receiver.BoundPort());
        if (!all->Open())
            all.reset();
    }
    ASSERT_TRUE(all);

    // Nobody else may take the port on any address while it is held.
    UdpEndpoint other(addresses, kAddressA, port, port);
    EXPECT_FALSE(other.Open());

    UdpEndpoint sender(addresses, kAddressA, 0, port);
    ASSERT_TRUE(sender.Open());
    ASSERT_TRUE(sender.SendTo("127.0.0.1", "v4"));
    ASSERT_EQ(WaitForDatagram(*all), 2);
    QByteArray datagram;
    ASSERT_TRUE(all->ReadNext(datagram));
    EXPECT_EQ(datagram, "v4");

    // Loopback is this machine.
    EXPECT_TRUE(all->LastFromThisMachine());

    // A name the listing does not know goes to the system resolver (/etc/hosts here), in the
    // background: once it has answered, the name is known.
    sender.Resolve({"localhost"}, std::chrono::seconds(10));
    ASSERT_TRUE(sender.SendTo("localhost", "by name"));
    ASSERT_EQ(WaitForDatagram(*all), 7);
    ASSERT_TRUE(all->ReadNext(datagram));

    ASSERT_TRUE(all->SendTo("127.0.0.3", "reply"));
    ASSERT_EQ(WaitForDatagram(receiver), 5);
}

} // namespace
} // namespace varnel
