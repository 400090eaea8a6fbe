#include "network/hostdetect.h"

#include "network/netbrowser.h"
#include "platform/fake/fakenetwork.h"
#include "platform/fake/fakeprovider.h"
#include "transport/mailslot.h"

#include <functional>
#include <gtest/gtest.h>

namespace varnel {
namespace {

// This machine's endpoint on the fake network, with a hook that runs after every send, so that
// datagrams can be made to arrive while detection runs.
class HookedEndpoint final : public Endpoint {
public:
    explicit HookedEndpoint(FakeEndpoint& inner) : m_inner(inner) {}
    bool Open() override { return m_inner.Open(); }
    void Close() override { m_inner.Close(); }
    bool IsOpen() const override { return m_inner.IsOpen(); }
    qint64 PendingSize() override { return m_inner.PendingSize(); }
    bool ReadNext(QByteArray& datagram) override { return m_inner.ReadNext(datagram); }
    bool LastFromThisMachine() const override { return m_inner.LastFromThisMachine(); }
    bool SendTo(QByteArrayView host, QByteArrayView datagram) override {
        const bool sent = m_inner.SendTo(host, datagram);
        if (afterSend)
            afterSend(host.toByteArray());
        return sent;
    }
    bool SendWhenResolved(QByteArrayView host, QByteArrayView datagram) override {
        const bool sent = m_inner.SendWhenResolved(host, datagram);
        if (afterSend)
            afterSend(host.toByteArray());
        return sent;
    }
    void Resolve(const QList<QByteArray>& hosts, std::chrono::milliseconds limit) override {
        m_inner.Resolve(hosts, limit);
    }
    std::function<void(const QByteArray&)> afterSend;

private:
    FakeEndpoint& m_inner;
};

QByteArray Mail(const QByteArray& title) {
    return "\x07S\\" + title + "\\PC01\\PC03\\2024/01/02 3:04:05\\\x08hello\r\n";
}

QByteArray ProbeDatagram() {
    return ProbeText() + QByteArray(1, '\0');
}

class HostDetect : public testing::Test {
protected:
    HostDetect() : local(network.AddHost("PC03")), endpoint(local), slot(endpoint), browser(provider) {
        for (const char* name : {"PC01", "PC02", "PC04"})
            network.AddHost(name).Open();
        slot.Open();
    }

    // The workgroup's machines, in this order.
    void List(std::initializer_list<const char*> names) {
        provider.AddGroup("WG");
        for (const char* name : names)
            provider.AddMachine("WG", name);
        browser.Enumerate();
    }

    QList<QByteArray> SentTo() const {
        QList<QByteArray> hosts;
        for (const FakeNetwork::Datagram& d : network.sent)
            hosts.append(d.to);
        return hosts;
    }

    FakeNetwork network;
    FakeEndpoint& local;
    HookedEndpoint endpoint;
    MailSlot slot;
    FakeProvider provider;
    NetBrowser browser;
    QByteArray name;
};

TEST_F(HostDetect, TheProbeIsRecordMarkCheckHeaderEndSentWithItsZeroByte) {
    List({"PC03"});

    ASSERT_TRUE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(ProbeText(), QByteArray("\x07"
                                      "check\x08"));
    ASSERT_EQ(network.sent.size(), 1);
    EXPECT_EQ(network.sent[0].bytes, ProbeDatagram());
}

TEST_F(HostDetect, FindsTheThirdHostAfterExactlyTwoProbesToOthers) {
    List({"PC01", "PC02", "PC03", "PC04"});

    EXPECT_TRUE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(name, "PC03");
    EXPECT_EQ(SentTo(), (QList<QByteArray>{"PC01", "PC02", "PC03"}));
    EXPECT_FALSE(slot.ReadAll()); // the probe that came back is not left for the mail check
}

TEST_F(HostDetect, AMachineListedTwiceIsFoundAtItsFirstEntry) {
    provider.AddGroup("A").AddGroup("B");
    provider.AddMachine("A", "PC01").AddMachine("A", "PC03").AddMachine("B", "PC03");
    browser.Enumerate();

    EXPECT_TRUE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(name, "PC03");
    EXPECT_EQ(SentTo(), (QList<QByteArray>{"PC01", "PC03"}));
}

TEST_F(HostDetect, AStaleProbeWaitingBeforehandIsNotCreditedToAnyHost) {
    List({"PC01", "PC02", "PC03"});
    local.Inject(ProbeDatagram(), "PC03");

    EXPECT_TRUE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(name, "PC03");
    EXPECT_EQ(network.sent.size(), 3);
}

TEST_F(HostDetect, AProbeReadAfterALaterSendIsCreditedToThatLaterHost) {
    List({"PC01", "PC02", "PC03"});
    // The probe to PC01 (another name of this machine, on a slow path) arrives after the next send.
    endpoint.afterSend = [this](const QByteArray& host) {
        if (host == "PC02")
            local.Inject(ProbeDatagram(), "PC03");
    };

    EXPECT_TRUE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(name, "PC02");
    EXPECT_EQ(SentTo(), (QList<QByteArray>{"PC01", "PC02"}));
}

TEST_F(HostDetect, AProbeFromAnotherMachineIsNeverCredited) {
    List({"PC01", "PC02", "PC03"});
    // Another copy probing the network meanwhile: one of its probes reaches us after every send.
    endpoint.afterSend = [this](const QByteArray&) { local.Inject(ProbeDatagram(), "PC04"); };

    EXPECT_TRUE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(name, "PC03");
    EXPECT_EQ(SentTo(), (QList<QByteArray>{"PC01", "PC02", "PC03"}));
}

TEST_F(HostDetect, AllNamesAreLookedUpTogetherBeforeTheFirstProbe) {
    List({"PC01", "PC02", "PC03", "PC04"});
    local.lookingUp = {"PC01"};
    endpoint.afterSend = [this](const QByteArray&) { EXPECT_EQ(local.resolved.size(), 4); };

    EXPECT_TRUE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(local.resolved, (QList<QByteArray>{"PC01", "PC02", "PC03", "PC04"}));
    EXPECT_LE(local.resolveLimit, std::chrono::milliseconds(1000));
    EXPECT_EQ(name, "PC03");
    // The probe to a name still being looked up goes out once it is resolved.
    EXPECT_TRUE(network.SentTo("PC01").isEmpty());
    local.AnswerLookups();
    EXPECT_EQ(network.SentTo("PC01"), QList<QByteArray>{ProbeDatagram()});
}

TEST_F(HostDetect, MailWaitingBeforeOrArrivingDuringDetectionIsLeftForTheNextMailCheck) {
    List({"PC01", "PC02", "PC03"});
    local.Inject(Mail("before"));
    endpoint.afterSend = [this](const QByteArray& host) {
        if (host == "PC02")
            local.Inject(Mail("during"));
    };

    EXPECT_TRUE(DetectLocalHostName(slot, browser, name));
    EXPECT_EQ(name, "PC03");

    ASSERT_TRUE(slot.ReadAll());
    ASSERT_EQ(slot.LastIndex(), 1);
    EXPECT_TRUE(slot.Header(0).contains("before"));
    EXPECT_TRUE(slot.Header(1).contains("during"));
    EXPECT_EQ(slot.Body(1), "hello\r\n");
}

TEST_F(HostDetect, MailIsKeptAlsoWhenDetectionFails) {
    List({"PC01"});
    local.Inject(Mail("kept"));

    EXPECT_FALSE(DetectLocalHostName(slot, browser, name));

    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), 0);
    EXPECT_TRUE(slot.Header(0).contains("kept"));
}

TEST_F(HostDetect, FailureKeepsTheEarlierName) {
    List({"PC01", "PC02"});
    name = "PC03";

    EXPECT_FALSE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(name, "PC03");
    EXPECT_EQ(SentTo(), (QList<QByteArray>{"PC01", "PC02"}));
}

TEST_F(HostDetect, AnEmptyHostTableSendsNothing) {
    provider.failGroups = true;
    browser.Enumerate();
    name = "OLD";

    EXPECT_FALSE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(name, "OLD");
    EXPECT_TRUE(network.sent.isEmpty());
}

// What comes back after the probe to PC01 (this machine is not in the table): only a text whose
// header, from the first record mark to the last header end mark, is the probe counts as one.
struct ArrivalCase {
    const char* what;
    QByteArray text;
    bool probe;
};

class HostDetectArrival : public HostDetect, public testing::WithParamInterface<ArrivalCase> {};

TEST_P(HostDetectArrival, OnlyAProbeHeaderCountsAndAnythingElseIsKept) {
    List({"PC01"});
    endpoint.afterSend = [this](const QByteArray&) { local.Inject(GetParam().text + '\0', "PC03"); };

    EXPECT_EQ(DetectLocalHostName(slot, browser, name), GetParam().probe);

    EXPECT_EQ(name, GetParam().probe ? QByteArray("PC01") : QByteArray());
    QByteArray left;
    EXPECT_EQ(slot.ReadOne(left), !GetParam().probe);
    EXPECT_EQ(left, GetParam().probe ? QByteArray() : GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Texts, HostDetectArrival,
                         testing::Values(ArrivalCase{"probe",
                                                     "\x07"
                                                     "check\x08",
                                                     true},
                                         ArrivalCase{"probeWithBytesAround",
                                                     "xx\x07"
                                                     "check\x08tail",
                                                     true},
                                         ArrivalCase{"secondEndMark",
                                                     "\x07"
                                                     "check\x08\x08",
                                                     false},
                                         ArrivalCase{"otherWord",
                                                     "\x07"
                                                     "chess\x08",
                                                     false},
                                         ArrivalCase{"mail", Mail("m"), false}),
                         [](const auto& info) { return std::string(info.param.what); });

// An endpoint under an endless flood of mail: there is always one more datagram waiting.
class FloodedEndpoint final : public Endpoint {
public:
    bool Open() override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    qint64 PendingSize() override { return 1; }
    bool ReadNext(QByteArray& datagram) override {
        datagram = Mail("flood " + QByteArray::number(reads++)) + '\0';
        return true;
    }
    bool LastFromThisMachine() const override { return false; }
    bool SendTo(QByteArrayView, QByteArrayView) override { return true; }
    int reads = 0;
};

TEST(HostDetectUnderFlood, AnEndlessFloodHoldsDetectionOnlySoLongAndKeepsOnlySoMuch) {
    FloodedEndpoint flooded;
    MailSlot slot(flooded);
    slot.Open();
    FakeProvider provider;
    provider.AddGroup("WG").AddMachine("WG", "PC01");
    NetBrowser browser(provider);
    browser.Enumerate();
    QByteArray name;

    EXPECT_FALSE(DetectLocalHostName(slot, browser, name));

    EXPECT_EQ(flooded.reads, 2 * kMaxReadsPerLook); // the drain, and the look after the one probe
    QByteArray text;
    for (qsizetype i = 0; i < kMaxKeptMail; ++i) {
        ASSERT_TRUE(slot.ReadOne(text));
        EXPECT_TRUE(text.contains("flood " + QByteArray::number(i) + "\\")) << i;
    }
    ASSERT_TRUE(slot.ReadOne(text));
    EXPECT_EQ(flooded.reads, 2 * kMaxReadsPerLook + 1); // nothing more was held back
}

} // namespace
} // namespace varnel
