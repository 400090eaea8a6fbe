#include "platform/fake/fakeclock.h"
#include "platform/fake/fakenetwork.h"
#include "records.h"
#include "seal/identity.h"
#include "seal/keyring.h"
#include "seal/sealedformat.h"
#include "seal/sealingendpoint.h"
#include "seal/sealmarks.h"
#include "store/mailbox.h"
#include "transport/courier.h"
#include "transport/mailslot.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace varnel {
namespace {

// A new mail's datagram from sender to recipient.
QByteArray MailFrom(const QByteArray& sender, const QByteArray& recipient) {
    test::Mail mail;
    mail.letter = 'S';
    mail.sender = sender;
    mail.recipient = recipient;
    return mail.Datagram();
}

// One machine with a lasting identity: its endpoint on the fake network under the sealing one, the
// mail slot, both boxes and the courier, with seal marks.
struct SealedMachine {
    SealedMachine(FakeNetwork& network, const QByteArray& name)
        : plain(network.AddHost(name)), sealing(plain, identity, keyring), slot(sealing),
          courier(slot, sendBox, receiveBox, clock, [] { return true; }) {
        sealing.SetLocalName(name);
        courier.SetSealMarks(&marks);
        sealing.SetSealMarks(&marks);
        slot.Open();
    }
    void Trust(const SealedMachine& other) { keyring.Learn(other.plain.Name(), other.identity.PublicKey()); }
    QByteArray Read() {
        QByteArray text;
        slot.ReadOne(text);
        return text;
    }

    FakeEndpoint& plain;
    Identity identity = Identity::Generate();
    Keyring keyring;
    SealingEndpoint sealing;
    MailSlot slot;
    MailBox sendBox;
    MailBox receiveBox;
    FakeClock clock;
    SealMarks marks;
    Courier courier;
};

class SealTest : public ::testing::Test {
protected:
    FakeNetwork network;
    SealedMachine pc01{network, "PC01"};
    SealedMachine pc02{network, "PC02"};
    SealedMachine pc03{network, "PC03"};
    const QByteArray mail = MailFrom("PC01", "PC02");

    void SetUp() override {
        pc01.Trust(pc02);
        pc02.Trust(pc01);
    }
};

TEST(Identity, KeyFileRoundTripsAndDamageIsRefused) {
    const Identity identity = Identity::Generate();
    const QByteArray file = identity.FileBytes();
    const std::optional<Identity> again = Identity::FromFile(file);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->PublicKey(), identity.PublicKey());
    EXPECT_TRUE(VerifySignature(identity.PublicKey(), "x", again->Sign("x")));
    EXPECT_FALSE(VerifySignature(identity.PublicKey(), "y", again->Sign("x")));

    QByteArray shortFile = file;
    shortFile.remove(shortFile.size() - 2, 1); // one digit gone
    QByteArray badDigit = file;
    badDigit[badDigit.size() - 2] = 'g';
    for (const QByteArray& damaged : {QByteArray(), shortFile, badDigit, file.sliced(1), file + "00"})
        EXPECT_FALSE(Identity::FromFile(damaged)) << damaged.constData();
}

TEST(Identity, FingerprintIsTwelveGroupsOfFiveDigits) {
    const QByteArray key = Identity::Generate().PublicKey();
    const QByteArray fingerprint = Fingerprint(key);
    EXPECT_TRUE(QString::fromLatin1(fingerprint)
                    .contains(QRegularExpression(QStringLiteral("^(\\d{5} ){11}\\d{5}$"))))
        << fingerprint.constData();
    EXPECT_EQ(Fingerprint(key), fingerprint);
    EXPECT_NE(Fingerprint(Identity::Generate().PublicKey()), fingerprint);
}

TEST_F(SealTest, SealedMailArrivesByteForByteAndShowsNoMarkOnTheWire) {
    ASSERT_TRUE(pc01.slot.Send("PC02", mail));
    EXPECT_TRUE(pc01.slot.LastSendSealed());
    const QByteArray wire = network.SentTo("PC02").last();
    EXPECT_TRUE(wire.startsWith(kSealedMagic));
    EXPECT_FALSE(wire.contains('\x07'));
    EXPECT_FALSE(wire.contains('\x08'));
    EXPECT_FALSE(wire.contains("body"));
    EXPECT_EQ(wire.indexOf('\0'), wire.size() - 1);

    EXPECT_EQ(pc02.Read() + '\0', mail);
    EXPECT_EQ(pc02.slot.LastSeal(), Seal::Pinned);
}

TEST_F(SealTest, AnyChangedByteOrForeignNameDropsTheSeal) {
    pc01.slot.Send("PC02", mail);
    const QByteArray wire = network.SentTo("PC02").last();
    ASSERT_FALSE(pc02.Read().isEmpty());
    // A byte changed in the base64 text, past the magic and before the unused bits of its end: the
    // box or its envelope breaks.
    for (qsizetype at : {kSealedMagic.size() + 2, wire.size() / 2, wire.size() - 8}) {
        QByteArray forged = wire;
        forged[at] = forged[at] == 'A' ? 'B' : 'A';
        pc02.plain.Inject(forged);
        EXPECT_TRUE(pc02.Read().isEmpty()) << at;
    }
    EXPECT_EQ(pc02.sealing.TakeRefusals().broken, 3);

    // PC03 seals a mail that names PC01 as its sender: signed by PC03, not PC01's.
    pc03.Trust(pc02);
    pc03.slot.Send("PC02", mail);
    EXPECT_TRUE(pc02.Read().isEmpty());
    // A copy of PC01's own mail to PC02 sent back to PC01 is not mail from PC02.
    pc01.plain.Inject(wire);
    EXPECT_TRUE(pc01.Read().isEmpty());
}

TEST_F(SealTest, AnotherKeyUnderAKnownNameIsKeptMarkedAndToldOnce) {
    SealedMachine impostor(network, "PC01X"); // a second key claiming PC01's name
    impostor.sealing.SetLocalName("PC01");
    impostor.Trust(pc02);
    impostor.slot.Send("PC02", mail);
    EXPECT_EQ(pc02.Read() + '\0', mail);
    EXPECT_EQ(pc02.slot.LastSeal(), Seal::Unpinned);
    EXPECT_EQ(pc02.keyring.Pinned("pc01"), pc01.identity.PublicKey());

    const QList<Keyring::Change> changes = pc02.keyring.TakeUntold();
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0].pinned, pc01.identity.PublicKey());
    EXPECT_EQ(changes[0].candidate, impostor.identity.PublicKey());
    impostor.slot.Send("PC02", mail);
    pc02.Read();
    EXPECT_TRUE(pc02.keyring.TakeUntold().isEmpty());

    ASSERT_TRUE(pc02.keyring.Accept("PC01"));
    impostor.slot.Send("PC02", mail);
    pc02.Read();
    EXPECT_EQ(pc02.slot.LastSeal(), Seal::Pinned);
}

TEST_F(SealTest, WithoutAKeyMailGoesPlainAndTheKeyIsAskedFor) {
    const QByteArray toPc03 = MailFrom("PC01", "PC03");
    ASSERT_TRUE(pc01.slot.Send("PC03", toPc03));
    EXPECT_FALSE(pc01.slot.LastSendSealed());
    EXPECT_EQ(network.SentTo("PC03").size(), 2); // the key request, then the mail in clear
    EXPECT_TRUE(pc03.Read().isEmpty());          // the request: PC03 learns PC01's key, answers
    EXPECT_EQ(pc03.Read() + '\0', toPc03);
    EXPECT_EQ(pc03.slot.LastSeal(), Seal::Plain);
    EXPECT_TRUE(pc01.Read().isEmpty()); // the answer
    EXPECT_EQ(pc01.keyring.Pinned("PC03"), pc03.identity.PublicKey());
    EXPECT_EQ(pc03.keyring.Pinned("PC01"), pc01.identity.PublicKey());

    pc01.slot.Send("PC03", toPc03);
    EXPECT_TRUE(pc01.slot.LastSendSealed());
    // An answer nobody asked for, or a request naming a pinned machine, pins nothing new.
    const QByteArray other = Identity::Generate().PublicKey();
    pc02.plain.Inject(BuildKeyMessage({'A', "PC09", other}));
    pc02.plain.Inject(BuildKeyMessage({'Q', "PC01", other}));
    pc02.Read();
    pc02.Read();
    EXPECT_TRUE(pc02.keyring.Pinned("PC09").isEmpty());
    EXPECT_EQ(pc02.keyring.Pinned("PC01"), pc01.identity.PublicKey());
}

TEST_F(SealTest, SealedOnlyRefusesPlainBothWays) {
    pc03.sealing.SetSealedOnly(true);
    EXPECT_FALSE(pc03.slot.Send("PC01", MailFrom("PC03", "PC01")));
    pc03.plain.Inject(mail);
    EXPECT_TRUE(pc03.Read().isEmpty());
    // The host name probe is no mail: it still passes.
    pc03.plain.Inject(QByteArray("\x07"
                                 "check\x08",
                                 8));
    EXPECT_FALSE(pc03.Read().isEmpty());
    const SealingEndpoint::Refusals refused = pc03.sealing.TakeRefusals();
    EXPECT_EQ(refused.plainIn, 1);
    EXPECT_EQ(refused.plainOut, 1);
}

TEST_F(SealTest, APlainReceiptNeverChangesACopyThatWentSealed) {
    const auto sent = pc01.courier.SendComposed({{"title", "PC01", "PC02"}}, "body");
    ASSERT_EQ(sent.sent, 1);
    const QByteArray copy = pc01.sendBox.Text();
    // The forged receipt comes first, in clear; the true one sealed after it.
    test::Mail receipt{.letter = 'R',
                       .sender = "PC01",
                       .recipient = "PC02",
                       .sendTime = "1998/02/23 9:05:07",
                       .readTime = "2000/01/01 0:00:00",
                       .body = ""};
    pc01.plain.Inject(receipt.Datagram());
    pc01.courier.CheckMail();
    EXPECT_EQ(pc01.sendBox.Text(), copy);

    ASSERT_EQ(pc02.courier.CheckMail().newCount, 1);
    EXPECT_EQ(pc02.marks.ArrivedAs(KeyOfHeader(pc02.receiveBox.Text())), Seal::Pinned);
    pc01.courier.CheckMail();
    EXPECT_EQ(pc01.sendBox.StatusOf(0), Delivered);
}

TEST_F(SealTest, ASealedRecordIsItsSignersOwnWhateverTheCaseOfTheName) {
    pc01.slot.Send("PC02", MailFrom("pc01", "PC02"));
    EXPECT_FALSE(pc02.Read().isEmpty());
    ASSERT_TRUE(pc01.slot.Send("PC01", MailFrom("PC01", "PC01"))); // sealed with its own key
    EXPECT_TRUE(pc01.slot.LastSendSealed());
    EXPECT_FALSE(pc01.Read().isEmpty());
    // A receipt is the answer of the mail's recipient: sealed by its sender, it is dropped.
    pc01.slot.Send("PC02", test::Mail{.letter = 'G', .sender = "PC01", .recipient = "PC02"}.Header());
    EXPECT_TRUE(pc02.Read().isEmpty());
    // A machine with a copy of PC02's key file is not PC02, whatever name it seals under.
    SealedMachine copy(network, "PC04");
    copy.identity = pc02.identity;
    copy.Trust(pc02);
    copy.slot.Send("PC02", MailFrom("PC04", "PC02"));
    EXPECT_TRUE(pc02.Read().isEmpty());
    EXPECT_EQ(pc02.sealing.TakeRefusals().broken, 2);
}

TEST(SealedFormat, NamesArePinnedAtTheirLimit) {
    const QByteArray key = Identity::Generate().PublicKey();
    const SealedEnvelope envelope{QByteArray(kMaxSealedName, 'N'), key, QByteArray(kNonceSize, 'n'),
                                  QByteArray(kMinBoxSize, 'b')};
    EXPECT_TRUE(ParseSealed(BuildSealed(envelope)));
    SealedEnvelope longName = envelope;
    longName.sender.append('N');
    EXPECT_FALSE(ParseSealed(BuildSealed(longName)));
    SealedEnvelope zeroName = envelope; // once cut at its zero byte, the name would be another
    zeroName.sender = QByteArray("PC") + '\0' + "01";
    EXPECT_FALSE(ParseSealed(BuildSealed(zeroName)));
    EXPECT_FALSE(ParseKeyMessage(BuildKeyMessage({'Q', zeroName.sender, key})));
    SealedEnvelope shortBox = envelope;
    shortBox.box.chop(1);
    EXPECT_FALSE(ParseSealed(BuildSealed(shortBox)));

    const KeyMessage request{'Q', "PC01", key};
    EXPECT_TRUE(ParseKeyMessage(BuildKeyMessage(request)));
    EXPECT_FALSE(ParseKeyMessage(BuildKeyMessage({'Q', "PC01", key.first(31)})));
    EXPECT_FALSE(ParseKeyMessage(BuildKeyMessage({'X', "PC01", key})));
}

TEST(SealFiles, KeyringAndMarksComeBackAsTheyWere) {
    Keyring keyring;
    const QByteArray a = Identity::Generate().PublicKey();
    const QByteArray b = Identity::Generate().PublicKey();
    keyring.Learn("PC01", a);
    keyring.Learn("PC02", b);
    keyring.Offer("PC02", a);
    Keyring again;
    EXPECT_EQ(again.Load(keyring.Text() + "junk line\n"), 1);
    EXPECT_EQ(again.Pinned("pc01"), a);
    EXPECT_EQ(again.Candidate("PC02"), a);
    EXPECT_EQ(again.TakeUntold().size(), 1);

    SealMarks marks;
    marks.Arrived("k1", Seal::Pinned);
    marks.Arrived("k2", Seal::Unpinned);
    marks.Sent("k3", true);
    SealMarks loaded;
    EXPECT_EQ(loaded.Load(marks.Text()), 0);
    EXPECT_EQ(loaded.ArrivedAs("k1"), Seal::Pinned);
    EXPECT_EQ(loaded.ArrivedAs("k2"), Seal::Unpinned);
    EXPECT_EQ(loaded.ArrivedAs("k3"), Seal::Plain);
    EXPECT_TRUE(loaded.WentSealed("k3"));
    loaded.Keep([](const QByteArray& key) { return key == "k1"; }, [](const QByteArray&) { return false; });
    EXPECT_EQ(loaded.ArrivedAs("k2"), Seal::Plain);
    EXPECT_FALSE(loaded.WentSealed("k3"));
}

} // namespace
} // namespace varnel
