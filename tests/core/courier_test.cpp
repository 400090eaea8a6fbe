#include "platform/fake/fakeclock.h"
#include "platform/fake/fakenetwork.h"
#include "records.h"
#include "store/mailbox.h"
#include "store/mailrecord.h"
#include "transport/courier.h"
#include "transport/mailslot.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

// The bytes of a literal, zero bytes inside it included.
template <qsizetype N> QByteArray Bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

// Mail{letter, title, sender, recipient, sendTime, readTime}: the shared record builder.
using test::Mail;

const QByteArray kTime = "1998/02/23 9:05:07"; // the fake clock's first reading
const QByteArray kTitle = "\x89\xEF\x8B\x63";  // a CP932 title
const QByteArray kOldTime = "1998/01/05 17:00:00";

// One machine: its endpoint, mail slot, both mailboxes and courier.
struct Machine {
    Machine(FakeNetwork& network, const QByteArray& name, qsizetype sendCap = MailBox::kDefaultCap,
            qsizetype receiveCap = MailBox::kDefaultCap)
        : endpoint(network.AddHost(name)), slot(endpoint), sendBox(sendCap), receiveBox(receiveCap),
          courier(slot, sendBox, receiveBox, clock, [this] { return networkFound; }) {
        slot.Open();
    }

    FakeEndpoint& endpoint;
    MailSlot slot;
    MailBox sendBox;
    MailBox receiveBox;
    FakeClock clock;
    bool networkFound = true;
    Courier courier;
};

class CourierTest : public ::testing::Test {
protected:
    FakeNetwork network;
    Machine pc01{network, "PC01"};
    FakeEndpoint& pc02 = network.AddHost("PC02");
    FakeEndpoint& pc03 = network.AddHost("PC03");
    FakeEndpoint& pc04 = network.AddHost("PC04");

    QList<Recipient> Rows(const QList<QByteArray>& recipients, const QByteArray& title = kTitle) {
        QList<Recipient> rows;
        for (const QByteArray& recipient : recipients)
            rows.append({title, "PC01", recipient});
        return rows;
    }
};

// ---- SendComposed -------------------------------------------------------------------------------

using SendComposedTest = CourierTest;

TEST_F(SendComposedTest, ThreeRecipientsGetOneMailWithOneSendTime) {
    const QByteArray body = "line 1\r\nline 2\r\n";
    const auto result = pc01.courier.SendComposed(Rows({"PC02", "PC03", "PC04"}), body);

    EXPECT_TRUE(result.processed);
    EXPECT_EQ(result.sent, 3);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(result.notStored, 0);
    ASSERT_EQ(network.sent.size(), 3);
    const QByteArray recipients[] = {"PC02", "PC03", "PC04"};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(network.sent[r].to, recipients[r]);
        EXPECT_EQ(network.sent[r].bytes, (Mail{'S', kTitle, "PC01", recipients[r]}.Header() + body + '\0'));
    }
    // Each copy in front as it left: the last row's copy first.
    EXPECT_EQ(pc01.sendBox.Text(), (Mail{'S', kTitle, "PC01", "PC04"}.Header() + body +
                                    Mail{'S', kTitle, "PC01", "PC03"}.Header() + body +
                                    Mail{'S', kTitle, "PC01", "PC02"}.Header() + body));
}

TEST_F(SendComposedTest, EmptyTextGoesOutAsAHeaderOnly) {
    ASSERT_TRUE(pc01.courier.SendComposed(Rows({"PC02"}), "").processed);
    EXPECT_EQ(network.SentTo("PC02"), (QList<QByteArray>{Mail{'S', kTitle, "PC01", "PC02"}.Header() + '\0'}));
}

TEST_F(SendComposedTest, StoredCopyIsExactlyTheTextSent) {
    ASSERT_TRUE(pc01.courier.SendComposed(Rows({"PC02"}), Bytes("before\0after")).processed);
    EXPECT_EQ(network.SentTo("PC02")[0], (Mail{'S', kTitle, "PC01", "PC02"}.Header() + "before" + '\0'));
    EXPECT_EQ(pc01.sendBox.Text(), (Mail{'S', kTitle, "PC01", "PC02"}.Header() + "before"));
}

TEST_F(SendComposedTest, CopyThatCannotLeaveNowWaitsOnItsWay) {
    const auto result = pc01.courier.SendComposed(Rows({"PC02", "NOWHERE", "PC04"}), "text\r\n");
    EXPECT_EQ(result.sent, 2);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(pc01.sendBox.Text(), (Mail{'S', kTitle, "PC01", "PC04"}.Header() + "text\r\n" +
                                    Mail{'S', kTitle, "PC01", "NOWHERE"}.Header() + "text\r\n" +
                                    Mail{'S', kTitle, "PC01", "PC02"}.Header() + "text\r\n"));
}

TEST_F(SendComposedTest, FullSendBoxIsCounted) {
    Machine small(network, "PC09", 100);
    const auto result =
        small.courier.SendComposed({{"t", "PC09", "PC02"}, {"t", "PC09", "PC03"}}, QByteArray(40, 'x'));
    EXPECT_EQ(result.sent, 2);
    EXPECT_EQ(result.notStored, 1);
    EXPECT_EQ(small.sendBox.MarkCount(), 1);
}

TEST_F(SendComposedTest, NothingHappensWithoutNetworkOrRowsOrWhenACopyIsTooLarge) {
    const struct {
        const char* name;
        bool networkFound;
        QList<Recipient> rows;
        QByteArray body;
    } cases[] = {
        {"no network", false, Rows({"PC02"}), "x"},
        {"no rows", true, {}, "x"},
        {"header too long in one row",
         true,
         {{"t", "PC01", "PC02"}, {QByteArray(230, 't'), "PC01", "PC03"}},
         "x"},
        {"mail too long", true, Rows({"PC02"}), QByteArray(16000, 'x')},
    };
    for (const auto& c : cases) {
        pc01.networkFound = c.networkFound;
        const auto result = pc01.courier.SendComposed(c.rows, c.body);
        EXPECT_FALSE(result.processed) << c.name;
        EXPECT_EQ(result.sent + result.failed, 0) << c.name;
        EXPECT_TRUE(network.sent.isEmpty()) << c.name;
        EXPECT_TRUE(pc01.sendBox.Text().isEmpty()) << c.name;
    }
}

// A header is 8 bytes of marks and separators plus its fields; CheckSize counts the send time at
// its longest, 19 bytes. With sender and recipient "PC01", "PC02" the header is 35 + title bytes.
TEST(CourierCheckSize, RefusesHeadersAndMailsBeyondTheirLimits) {
    const struct {
        qsizetype title;
        qsizetype body;
        Courier::Refusal expected;
    } cases[] = {
        {220, 0, Courier::Refusal::Ok},
        {221, 0, Courier::Refusal::HeaderTooLong},
        {221, 20000, Courier::Refusal::HeaderTooLong},
        {1, 15963, Courier::Refusal::Ok},
        {1, 15964, Courier::Refusal::MailTooLong},
    };
    for (const auto& c : cases) {
        const Recipient row{QByteArray(c.title, 't'), "PC01", "PC02"};
        EXPECT_EQ(Courier::CheckSize(row, QByteArray(c.body, 'b')), c.expected)
            << "title " << c.title << " body " << c.body;
    }
}

TEST_F(SendComposedTest, WhatCheckSizeAcceptsGoesOut) {
    const Recipient row{QByteArray(220, 't'), "PC01", "PC02"};
    const QByteArray body(16000 - 256, 'b');
    ASSERT_EQ(Courier::CheckSize(row, body), Courier::Refusal::Ok);
    EXPECT_EQ(pc01.courier.SendComposed({row}, body).sent, 1);
}

// The datagram of a new mail, its terminating zero included, is at most kMaxOutgoingMail bytes.
TEST_F(SendComposedTest, AMailOfExactlyTheLimitGoesOutAndOneByteMoreDoesNot) {
    const qsizetype room = kMaxOutgoingMail - Mail{'S', kTitle, "PC01", "PC02"}.Header().size() - 1;
    EXPECT_FALSE(pc01.courier.SendComposed(Rows({"PC02"}), QByteArray(room + 1, 'b')).processed);
    EXPECT_TRUE(network.sent.isEmpty());
    ASSERT_EQ(pc01.courier.SendComposed(Rows({"PC02"}), QByteArray(room, 'b')).sent, 1);
    EXPECT_EQ(network.SentTo("PC02").value(0).size(), kMaxOutgoingMail);
}

TEST_F(SendComposedTest, AHeaderOfExactlyTheLimitGoesOutAndOneByteMoreDoesNot) {
    pc01.clock.advance = false; // every copy is sent at kTime
    const QByteArray title(kMaxHeader - Mail{'S', "", "PC01", "PC02"}.Header().size(), 't');
    EXPECT_FALSE(pc01.courier.SendComposed(Rows({"PC02"}, title + 't'), "x").processed);
    ASSERT_EQ(pc01.courier.SendComposed(Rows({"PC02"}, title), "x").sent, 1);
    EXPECT_EQ(network.SentTo("PC02").value(0), (Mail{'S', title, "PC01", "PC02"}.Header() + "x" + '\0'));
}

// ---- SendSelected -------------------------------------------------------------------------------

using SendSelectedTest = CourierTest;

TEST_F(SendSelectedTest, SavedOrOpenedRecordGoesOutAsNewMailAndBecomesSent) {
    const QByteArray other = Mail{'G', "other", "PC01", "PC03", kOldTime}.Header() + "x\r\n";
    const struct {
        const char* name;
        QByteArray stored;
    } cases[] = {
        {"saved", Mail{'K', kTitle, "PC01", "PC02", kOldTime}.Header()},
        {"opened", Mail{'R', kTitle, "PC01", "PC02", kOldTime, "1998/01/06 8:00:00"}.Header()},
    };
    // The body goes out as stored: lone LF bytes and a missing final CR LF stay as they are.
    const QByteArray body = "line 1\nline 2\r\nend";
    for (const auto& c : cases) {
        network.sent.clear();
        ASSERT_TRUE(pc01.sendBox.SetText(other + c.stored + body));
        ASSERT_TRUE(pc01.courier.SendSelected(1)) << c.name;
        const QByteArray header = Mail{'S', kTitle, "PC01", "PC02", kOldTime}.Header();
        EXPECT_EQ(network.SentTo("PC02"), QList<QByteArray>{header + body + '\0'}) << c.name;
        EXPECT_EQ(pc01.sendBox.Text(), other + header + body) << c.name;
    }
}

TEST_F(SendSelectedTest, CopyThatCannotLeaveNowWaitsOnItsWay) {
    ASSERT_TRUE(pc01.sendBox.SetText(Mail{'K', kTitle, "PC01", "NOWHERE", kOldTime}.Header() + "x\r\n"));
    EXPECT_FALSE(pc01.courier.SendSelected(0));
    EXPECT_EQ(pc01.sendBox.Text(), (Mail{'S', kTitle, "PC01", "NOWHERE", kOldTime}.Header() + "x\r\n"));
}

TEST_F(SendSelectedTest, RefusesWhatCannotOrMustNotGoOut) {
    const struct {
        const char* name;
        bool networkFound;
        QByteArray text;
        int index;
    } cases[] = {
        {"no network", false, Mail{'K', "t", "PC01", "PC02", kOldTime}.Header(), 0},
        {"no such record", true, Mail{'K', "t", "PC01", "PC02", kOldTime}.Header(), 1},
        {"negative index", true, Mail{'K', "t", "PC01", "PC02", kOldTime}.Header(), -1},
        {"record without header end", true, "\x07K\\t\\PC01\\PC02", 0},
        {"empty recipient", true, Mail{'K', "t", "PC01", "", kOldTime}.Header(), 0},
        {"recipient of 80 bytes", true, Mail{'K', "t", "PC01", QByteArray(80, 'h'), kOldTime}.Header(), 0},
        {"header of 256 bytes", true, Mail{'K', QByteArray(256 - 35, 't'), "PC01", "PC02", kOldTime}.Header(),
         0},
        {"mail of 16001 bytes", true,
         Mail{'K', "t", "PC01", "PC02", kOldTime}.Header() + QByteArray(16000 - 36, 'b'), 0},
    };
    for (const auto& c : cases) {
        pc01.networkFound = c.networkFound;
        ASSERT_TRUE(pc01.sendBox.SetText(c.text));
        EXPECT_FALSE(pc01.courier.SendSelected(c.index)) << c.name;
        EXPECT_TRUE(network.sent.isEmpty()) << c.name;
        EXPECT_EQ(pc01.sendBox.Text(), c.text) << c.name;
    }
}

TEST_F(SendSelectedTest, LargestMailGoesOut) {
    const QByteArray header = Mail{'K', "t", "PC01", "PC02", kOldTime}.Header();
    ASSERT_TRUE(pc01.sendBox.SetText(header + QByteArray(16000 - 37, 'b')));
    EXPECT_TRUE(pc01.courier.SendSelected(0));
}

// The longest name a peer's 80-byte host buffer holds with its zero: mail and receipts go to it.
TEST_F(SendSelectedTest, AHostNameOf79BytesIsUsed) {
    const QByteArray host(79, 'h');
    network.AddHost(host);
    ASSERT_TRUE(pc01.sendBox.SetText(Mail{'K', "t", "PC01", host, kOldTime}.Header()));
    EXPECT_TRUE(pc01.courier.SendSelected(0));
    QByteArray header = Mail{'S', "t", host, "PC01"}.Header();
    EXPECT_TRUE(pc01.courier.SendDeliveryReceipt(header));
    EXPECT_EQ(network.SentTo(host).size(), 2);
}

// ---- Receipts -----------------------------------------------------------------------------------

using ReceiptTest = CourierTest;

TEST_F(ReceiptTest, DeliveryReceiptIsTheHeaderWithGGoingToTheSender) {
    QByteArray header = Mail{'S', kTitle, "PC02", "PC01"}.Header();
    ASSERT_TRUE(pc01.courier.SendDeliveryReceipt(header));
    EXPECT_EQ(header, (Mail{'G', kTitle, "PC02", "PC01"}.Header()));
    EXPECT_EQ(network.SentTo("PC02"), QList<QByteArray>{header + '\0'});
}

TEST_F(ReceiptTest, ReadReceiptCarriesTheReadTime) {
    QByteArray header = Mail{'R', kTitle, "PC03", "PC01", kTime, "1998/02/23 10:00:00"}.Header();
    header[1] = 'G';
    ASSERT_TRUE(pc01.courier.SendReadReceipt(header));
    EXPECT_EQ(
        network.SentTo("PC03"),
        (QList<QByteArray>{Mail{'R', kTitle, "PC03", "PC01", kTime, "1998/02/23 10:00:00"}.Header() + '\0'}));
}

TEST_F(ReceiptTest, GoesToTheThirdPartWhenTheTitleHoldsASeparator) {
    // "\x95\x5C" is one double-byte character whose second byte is a backslash.
    QByteArray header = Mail{'S', "\x95\\PC04", "PC02", "PC01"}.Header();
    ASSERT_TRUE(pc01.courier.SendDeliveryReceipt(header));
    EXPECT_EQ(network.sent.size(), 1);
    EXPECT_EQ(network.sent[0].to, "PC04");
}

TEST_F(ReceiptTest, WaitsForTheSendersNameWhereMailWouldFail) {
    pc01.endpoint.lookingUp = {"PC02"};
    QByteArray header = Mail{'S', "t", "PC02", "PC01"}.Header();
    EXPECT_TRUE(pc01.courier.SendDeliveryReceipt(header));
    EXPECT_TRUE(network.SentTo("PC02").isEmpty());
    // Mail to a name not known yet cannot leave at once: it waits on its way, for the retries.
    const auto result = pc01.courier.SendComposed(Rows({"PC02"}), "x\r\n");
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(pc01.sendBox.StatusOf(0), Sent);
    pc01.endpoint.AnswerLookups();
    EXPECT_EQ(network.SentTo("PC02").size(), 1);
    EXPECT_EQ(network.SentTo("PC02").value(0), (Mail{'G', "t", "PC02", "PC01"}.Header() + '\0'));
}

TEST_F(ReceiptTest, IsNotSentWithoutAUsableSender) {
    const struct {
        const char* name;
        bool networkFound;
        QByteArray header;
    } cases[] = {
        {"no network", false, Mail{'S', "t", "PC02", "PC01"}.Header()},
        {"empty sender", true, Mail{'S', "t", "", "PC01"}.Header()},
        {"no sender field", true, "\x07S\\t\x08"},
        {"sender of 80 bytes", true, Mail{'S', "t", QByteArray(80, 'h'), "PC01"}.Header()},
    };
    for (const auto& c : cases) {
        pc01.networkFound = c.networkFound;
        QByteArray header = c.header;
        EXPECT_FALSE(pc01.courier.SendDeliveryReceipt(header)) << c.name;
        EXPECT_FALSE(pc01.courier.SendReadReceipt(header)) << c.name;
        EXPECT_EQ(header, c.header) << c.name;
    }
    EXPECT_TRUE(network.sent.isEmpty());
}

// ---- CheckMail ----------------------------------------------------------------------------------

using CheckMailTest = CourierTest;

QByteArray MailFrom(const QByteArray& sender, const QByteArray& title, const QByteArray& body = "hi\r\n") {
    return Mail{'S', title, sender, "PC01"}.Header() + body + '\0';
}

TEST_F(CheckMailTest, NothingWaitingTakesNothingIn) {
    const auto result = pc01.courier.CheckMail();
    EXPECT_FALSE(result.takenIn);
    EXPECT_EQ(result.newCount, 0);
}

TEST_F(CheckMailTest, NewMailIsStoredDeliveredAndAnswered) {
    pc01.endpoint.Inject(MailFrom("PC02", "one"));
    pc01.endpoint.Inject(MailFrom("PC03", "two"));
    pc01.endpoint.Inject(MailFrom("PC02", "three"));

    const auto result = pc01.courier.CheckMail();
    EXPECT_TRUE(result.takenIn);
    EXPECT_EQ(result.newCount, 3);
    EXPECT_FALSE(result.receiveBoxFull);
    EXPECT_EQ(pc01.receiveBox.Text(), (Mail{'G', "three", "PC02", "PC01"}.Header() + "hi\r\n" +
                                       Mail{'G', "two", "PC03", "PC01"}.Header() + "hi\r\n" +
                                       Mail{'G', "one", "PC02", "PC01"}.Header() + "hi\r\n"));
    EXPECT_EQ(network.SentTo("PC02"),
              (QList<QByteArray>{Mail{'G', "one", "PC02", "PC01"}.Header() + '\0',
                                 Mail{'G', "three", "PC02", "PC01"}.Header() + '\0'}));
    EXPECT_EQ(network.SentTo("PC03"), (QList<QByteArray>{Mail{'G', "two", "PC03", "PC01"}.Header() + '\0'}));
    EXPECT_GT(pc01.courier.UnreadCount(), 0);
}

TEST_F(CheckMailTest, ReceiptsWaitUntilWhatTheyAcknowledgeIsOnDisk) {
    bool onDisk = false;
    int tries = 0;
    Courier courier(
        pc01.slot, pc01.sendBox, pc01.receiveBox, pc01.clock, [] { return true; },
        [&] {
            ++tries;
            return onDisk;
        });
    pc01.endpoint.Inject(MailFrom("PC02", "one"));
    pc01.endpoint.Inject(MailFrom("PC02", "two"));
    auto result = courier.CheckMail();
    EXPECT_EQ(result.newCount, 2);
    EXPECT_FALSE(result.kept);
    EXPECT_EQ(pc01.receiveBox.MarkCount(), 2); // kept in memory all the same
    // Opened while the disk still fails: its read receipt waits as well.
    QByteArray opened = Mail{'R', "two", "PC02", "PC01", kTime, "1998/02/23 9:30:00"}.Header();
    EXPECT_FALSE(courier.SendReadReceipt(opened));
    EXPECT_TRUE(courier.CheckMail().takenIn == false);
    EXPECT_TRUE(network.SentTo("PC02").isEmpty());

    onDisk = true;
    result = courier.CheckMail(); // nothing new: the tick finds everything on disk and answers
    EXPECT_TRUE(result.kept);
    EXPECT_EQ(network.SentTo("PC02"),
              (QList<QByteArray>{Mail{'G', "one", "PC02", "PC01"}.Header() + '\0',
                                 Mail{'G', "two", "PC02", "PC01"}.Header() + '\0', opened + '\0'}));
    EXPECT_EQ(tries, 4);
    courier.CheckMail();
    EXPECT_EQ(network.SentTo("PC02").size(), 3); // each once
}

TEST_F(CheckMailTest, BatchesOfTenUntilTheQueueIsEmptyOrTheBudgetIsSpent) {
    for (int i = 0; i < 25; ++i)
        pc01.endpoint.Inject(MailFrom("PC02", "m" + QByteArray::number(i)));
    // Each reading of the intake clock is 25 ms later: the budget is spent after two batches.
    qint64 elapsed = 0;
    pc01.courier.SetIntakeClock([&elapsed] { return elapsed += Courier::kIntakeBudgetMs / 2; });
    auto result = pc01.courier.CheckMail();
    EXPECT_EQ(result.batches, 2);
    EXPECT_EQ(result.newCount, 20);
    pc01.courier.SetIntakeClock([] { return 0; });
    result = pc01.courier.CheckMail(); // a short batch: nothing more waits
    EXPECT_EQ(result.batches, 1);
    EXPECT_EQ(result.newCount, 5);
    EXPECT_EQ(pc01.receiveBox.MarkCount(), 25);
}

TEST_F(CheckMailTest, MailIsStoredEvenWhenItsReceiptCannotGo) {
    const struct {
        const char* name;
        bool networkFound;
        QByteArray sender;
    } cases[] = {{"no network", false, "PC02"}, {"empty sender", true, ""}, {"unknown sender", true, "PC99"}};
    for (const auto& c : cases) {
        pc01.networkFound = c.networkFound;
        pc01.receiveBox.Clear();
        network.sent.clear();
        pc01.endpoint.Inject(MailFrom(c.sender, "t"));
        EXPECT_EQ(pc01.courier.CheckMail().newCount, 1) << c.name;
        EXPECT_EQ(pc01.receiveBox.StatusOf(0), Delivered) << c.name;
        EXPECT_EQ(network.sent.size(), c.sender == "PC99" ? 1 : 0) << c.name;
    }
}

TEST_F(CheckMailTest, FullReceiveBoxStoresNothingAndSendsNoReceipt) {
    Machine small(network, "PC09", MailBox::kDefaultCap, 60);
    small.endpoint.Inject(Mail{'S', "t", "PC02", "PC09"}.Header() + QByteArray(40, 'x') + '\0');
    small.endpoint.Inject(Mail{'S', "u", "PC02", "PC09"}.Header() + '\0');

    const auto result = small.courier.CheckMail();
    EXPECT_TRUE(result.takenIn);
    EXPECT_TRUE(result.receiveBoxFull);
    EXPECT_EQ(result.newCount, 1);
    EXPECT_EQ(small.receiveBox.Text(), (Mail{'G', "u", "PC02", "PC09"}.Header()));
    EXPECT_EQ(network.SentTo("PC02"), (QList<QByteArray>{Mail{'G', "u", "PC02", "PC09"}.Header() + '\0'}));
}

TEST_F(CheckMailTest, DatagramsThatAreNoMailChangeNothing) {
    const QByteArray sendBox = Mail{'S', "t", "PC01", "PC02"}.Header() + "x\r\n";
    ASSERT_TRUE(pc01.sendBox.SetText(sendBox));
    const QByteArray datagrams[] = {
        Bytes("\x07"
              "check\x08\0"),                                            // host name probe
        Mail{'K', "t", "PC01", "PC02"}.Header() + '\0',                  // a saved record
        Mail{'X', "t", "PC01", "PC02"}.Header() + '\0',                  // an unknown letter
        Mail{'S', "a", "PC02", "PC01"}.Header() + "x\x07y" + '\0',       // a record mark in the body
        "\x07S\\b\\PC02\x07\\PC01\\" + kTime + "\\\x08" + '\0',          // two record marks in the header
        "\x07S\\c\\PC02\\PC01\x08\\" + kTime + "\\\x08" + "body" + '\0', // two header end marks
    };
    for (const QByteArray& datagram : datagrams)
        pc01.endpoint.Inject(datagram);

    const auto result = pc01.courier.CheckMail();
    EXPECT_TRUE(result.takenIn);
    EXPECT_EQ(result.newCount, 0);
    EXPECT_TRUE(pc01.receiveBox.Text().isEmpty());
    EXPECT_EQ(pc01.sendBox.Text(), sendBox);
    EXPECT_TRUE(network.sent.isEmpty());
}

TEST_F(CheckMailTest, ReceiptsInOneTickApplyInTheOrderTheyArrived) {
    const QByteArray readTime = "1998/02/23 9:30:00";
    const QByteArray delivered = Mail{'G', kTitle, "PC01", "PC02"}.Header() + '\0';
    const QByteArray opened = Mail{'R', kTitle, "PC01", "PC02", kTime, readTime}.Header() + '\0';
    const struct {
        const char* name;
        QByteArray first;
        QByteArray second;
        QByteArray header;
    } cases[] = {
        {"delivered then opened", delivered, opened,
         Mail{'R', kTitle, "PC01", "PC02", kTime, readTime}.Header()},
        {"opened then delivered", opened, delivered, Mail{'G', kTitle, "PC01", "PC02"}.Header()},
    };
    const QByteArray older = Mail{'S', "older", "PC01", "PC02", kOldTime}.Header() + "y\r\n";
    for (const auto& c : cases) {
        ASSERT_TRUE(pc01.sendBox.SetText(Mail{'S', kTitle, "PC01", "PC02"}.Header() + "x\r\n" + older));
        pc01.endpoint.Inject(c.first);
        pc01.endpoint.Inject(c.second);
        const auto result = pc01.courier.CheckMail();
        EXPECT_TRUE(result.takenIn) << c.name;
        EXPECT_EQ(result.newCount, 0) << c.name;
        EXPECT_EQ(pc01.sendBox.Text(), c.header + "x\r\n" + older) << c.name;
    }
}

TEST_F(CheckMailTest, ReceiptForADeletedMailChangesNothing) {
    const QByteArray text = Mail{'S', "kept", "PC01", "PC02"}.Header() + "x\r\n";
    ASSERT_TRUE(pc01.sendBox.SetText(text));
    pc01.endpoint.Inject(Mail{'G', "deleted", "PC01", "PC02"}.Header() + '\0');
    pc01.endpoint.Inject(Mail{'R', "deleted", "PC01", "PC02", kTime, "t"}.Header() + '\0');
    EXPECT_TRUE(pc01.courier.CheckMail().takenIn);
    EXPECT_EQ(pc01.sendBox.Text(), text);
}

TEST(CourierUnread, LooksAtEveryRecordOfTheReceiveBox) {
    const struct {
        const char* name;
        QByteArray text;
        bool unread;
    } cases[] = {
        {"empty", "", false},
        {"all opened", Mail{'R', "a"}.Header() + Mail{'R', "b"}.Header(), false},
        {"delivered first", Mail{'G', "a"}.Header() + Mail{'R', "b"}.Header(), true},
        {"delivered behind a strange letter", Mail{'X', "a"}.Header() + Mail{'G', "b"}.Header(), true},
    };
    FakeNetwork network;
    Machine pc(network, "PC01");
    for (const auto& c : cases) {
        ASSERT_TRUE(pc.receiveBox.SetText(c.text));
        EXPECT_EQ(pc.courier.UnreadCount() > 0, c.unread) << c.name;
    }
}

// ---- The road of one mail -----------------------------------------------------------------------

TEST(CourierRoundTrip, MailIsDeliveredThenOpenedOnTheSendersCopy) {
    FakeNetwork network;
    Machine pc01(network, "PC01");
    Machine pc02(network, "PC02");

    ASSERT_EQ(pc01.courier.SendComposed({{kTitle, "PC01", "PC02"}}, "hello\r\n").sent, 1);
    EXPECT_EQ(pc01.sendBox.StatusOf(0), Sent);

    EXPECT_EQ(pc02.courier.CheckMail().newCount, 1);
    EXPECT_GT(pc02.courier.UnreadCount(), 0);
    pc01.courier.CheckMail();
    EXPECT_EQ(pc01.sendBox.StatusOf(0), Delivered);

    // The recipient opens it: read time in, Opened, the header goes back with R.
    ASSERT_TRUE(pc02.receiveBox.InsertReadTime(0, "1998/02/23 9:10:00"));
    QByteArray key;
    ASSERT_TRUE(pc02.receiveBox.KeyOf(0, key));
    ASSERT_TRUE(pc02.receiveBox.SetStatusByKey(key, Opened));
    QByteArray header;
    ASSERT_TRUE(pc02.receiveBox.HeaderOf(0, header));
    ASSERT_TRUE(pc02.courier.SendReadReceipt(header));
    EXPECT_EQ(pc02.courier.UnreadCount(), 0);

    pc01.courier.CheckMail();
    EXPECT_EQ(pc01.sendBox.Text(),
              (Mail{'R', kTitle, "PC01", "PC02", kTime, "1998/02/23 9:10:00"}.Header() + "hello\r\n"));
}

TEST(CourierRoundTrip, MailToOwnMachineComesBackDeliveredOneTickLater) {
    FakeNetwork network;
    Machine pc01(network, "PC01");
    ASSERT_EQ(pc01.courier.SendComposed({{"self", "PC01", "PC01"}}, "x\r\n").sent, 1);
    EXPECT_EQ(pc01.courier.CheckMail().newCount, 1);
    EXPECT_EQ(pc01.sendBox.StatusOf(0), Sent);
    EXPECT_EQ(pc01.courier.CheckMail().newCount, 0);
    EXPECT_EQ(pc01.sendBox.StatusOf(0), Delivered);
    EXPECT_EQ(pc01.receiveBox.StatusOf(0), Delivered);
}

} // namespace
} // namespace varnel
