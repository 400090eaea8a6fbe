#include "platform/fake/fakenetwork.h"
#include "transport/mailslot.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iterator>

namespace varnel {
namespace {

// The bytes of a literal, zero bytes inside it included.
template <qsizetype N> QByteArray Bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

// A mail datagram as a peer sends it: header, body, terminating zero.
QByteArray Mail(const QByteArray& title, const QByteArray& body = {}) {
    return "\x07S\\" + title + "\\PC01\\PC02\\1998/02/23 9:05:07\\\x08" + body + '\0';
}

class MailSlotTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(slot.Open()); }

    FakeNetwork network;
    FakeEndpoint& here = network.AddHost("PC02");
    FakeEndpoint& there = network.AddHost("PC01");
    MailSlot slot{here};
};

TEST_F(MailSlotTest, OpenFailsWhenAnotherCopyOwnsTheEndpoint) {
    FakeEndpoint& other = network.AddHost("PC03");
    other.failOpen = true;
    MailSlot second(other);
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.IsOpen());
}

TEST_F(MailSlotTest, CloseIsAlwaysTrueAndClosesOnce) {
    EXPECT_TRUE(slot.Close());
    EXPECT_TRUE(slot.Close());
    EXPECT_EQ(here.closes, 1);
    EXPECT_FALSE(slot.IsOpen());
}

TEST_F(MailSlotTest, OpeningAnOpenSlotKeepsItOpen) {
    EXPECT_TRUE(slot.Open());
    EXPECT_EQ(here.opens, 1);
}

TEST_F(MailSlotTest, SendCarriesTheTextUpToItsZeroAndOneZeroByte) {
    EXPECT_TRUE(slot.Send("PC01", "abcd"));
    EXPECT_TRUE(slot.Send("PC01", Bytes("ab\0cd")));
    ASSERT_EQ(network.SentTo("PC01").size(), 2);
    EXPECT_EQ(network.SentTo("PC01")[0], Bytes("abcd\0"));
    EXPECT_EQ(network.SentTo("PC01")[1], Bytes("ab\0"));
}

TEST_F(MailSlotTest, SendToAnUnknownMachineFails) {
    EXPECT_FALSE(slot.Send("NOWHERE", "abcd"));
}

TEST_F(MailSlotTest, SendDoesNotNeedTheLocalEndpoint) {
    slot.Close();
    EXPECT_TRUE(slot.Send("PC01", "abcd"));
}

TEST_F(MailSlotTest, ReadOneTakesTheTextBeforeTheFirstZero) {
    here.Inject(Bytes("one\0two"));
    QByteArray text;
    ASSERT_TRUE(slot.ReadOne(text));
    EXPECT_EQ(text, "one");
    EXPECT_FALSE(slot.ReadOne(text));
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(MailSlotTest, NothingWaitingGivesNoBatch) {
    EXPECT_FALSE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), -1);
    EXPECT_EQ(slot.StatusOf(0), -1);
}

TEST_F(MailSlotTest, ClosedSlotReadsNothing) {
    here.Inject(Mail("a"));
    slot.Close();
    QByteArray text;
    EXPECT_FALSE(slot.ReadOne(text));
    EXPECT_FALSE(slot.ReadAll());
}

TEST_F(MailSlotTest, TwelveWaitingGiveTenThenTwo) {
    for (int i = 0; i < 12; ++i)
        here.Inject(Mail("m" + QByteArray::number(i)));

    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), 9);
    EXPECT_EQ(here.Waiting(), 2);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(slot.Key(k), "m" + QByteArray::number(k) + "\\PC01\\PC02\\1998/02/23 9:05:07");

    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), 1);
    EXPECT_TRUE(slot.Key(0).startsWith("m10\\"));
    EXPECT_TRUE(slot.Key(1).startsWith("m11\\"));
    EXPECT_TRUE(slot.Header(2).isEmpty());
    EXPECT_EQ(slot.StatusOf(2), -1);

    EXPECT_FALSE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), -1);
}

TEST_F(MailSlotTest, RepeatInOneBatchIsDroppedWhateverItsBody) {
    here.Inject(Mail("same", "first\r\n"));
    here.Inject(Mail("other"));
    here.Inject(Mail("same", "second\r\n"));
    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), 1);
    EXPECT_EQ(slot.Body(0), "first\r\n");
    EXPECT_EQ(here.Waiting(), 0);
}

TEST_F(MailSlotTest, RepeatsDoNotCountTowardsTheTen) {
    for (int i = 0; i < 3; ++i)
        here.Inject(Mail("same"));
    for (int i = 0; i < 10; ++i)
        here.Inject(Mail("m" + QByteArray::number(i)));
    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), 9);
    EXPECT_EQ(here.Waiting(), 1);
}

TEST_F(MailSlotTest, SameMailInTheNextBatchIsTakenAgain) {
    here.Inject(Mail("same"));
    ASSERT_TRUE(slot.ReadAll());
    here.Inject(Mail("same"));
    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), 0);
}

TEST_F(MailSlotTest, OneBatchReadsSoManyDatagramsAndNoMore) {
    for (int i = 0; i < MailSlot::kMaxReadsPerBatch - 1; ++i)
        here.Inject("flood\0");
    here.Inject(Mail("in reach"));
    here.Inject(Mail("next time"));
    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), 0);
    EXPECT_TRUE(slot.Header(0).contains("in reach"));
    EXPECT_EQ(here.Waiting(), 1);
    ASSERT_TRUE(slot.ReadAll());
    EXPECT_TRUE(slot.Header(0).contains("next time"));

    for (int i = 0; i < MailSlot::kMaxReadsPerBatch; ++i)
        here.Inject("flood\0");
    here.Inject(Mail("after the flood"));
    EXPECT_FALSE(slot.ReadAll()); // the first batch reads only the flood...
    ASSERT_TRUE(slot.ReadAll());  // ...and the next one takes in what waited behind it
    EXPECT_EQ(slot.LastIndex(), 0);
    EXPECT_TRUE(slot.Header(0).contains("after the flood"));
}

TEST_F(MailSlotTest, TellsWhetherTheTextLastReadCameFromThisMachine) {
    here.Inject(Mail("from elsewhere"), "PC01");
    here.Inject(Mail("from here"), "pc02");
    slot.HoldBack(Mail("held back"));
    QByteArray text;
    ASSERT_TRUE(slot.ReadOne(text));
    EXPECT_FALSE(slot.LastFromThisMachine()); // held back texts are mail, not probes
    ASSERT_TRUE(slot.ReadOne(text));
    EXPECT_FALSE(slot.LastFromThisMachine());
    ASSERT_TRUE(slot.ReadOne(text));
    EXPECT_TRUE(slot.LastFromThisMachine());
    EXPECT_FALSE(slot.ReadOne(text));
    EXPECT_FALSE(slot.LastFromThisMachine());
}

TEST_F(MailSlotTest, FailedReadEndsTheBatchKeepingWhatWasStored) {
    for (int i = 0; i < 4; ++i)
        here.Inject(Mail("m" + QByteArray::number(i)));
    here.readsBeforeFailure = 2;
    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.LastIndex(), 1);
    EXPECT_EQ(here.Waiting(), 2);
}

// How one datagram is cut; each is followed by a good mail that must still be taken in.
struct SplitCase {
    const char* name;
    QByteArray datagram;
    bool stored;
    QByteArray header;
    QByteArray key;
    QByteArray body;
};

QByteArray HeaderOfSize(qsizetype size) {
    return "\x07S\\" + QByteArray(size - 5, 'h') + "\\\x08";
}

const SplitCase kSplitCases[] = {
    {"mail", Mail("t", "line 1\r\nline 2\r\n"), true, "\x07S\\t\\PC01\\PC02\\1998/02/23 9:05:07\\\x08",
     "t\\PC01\\PC02\\1998/02/23 9:05:07", "line 1\r\nline 2\r\n"},
    {"read receipt is only a header", Bytes("\x07R\\t\\a\\b\\c\\d\x08\0"), true, "\x07R\\t\\a\\b\\c\\d\x08",
     "t\\a\\b\\c", ""},
    {"probe has an empty key",
     Bytes("\x07"
           "check\x08\0"),
     true,
     "\x07"
     "check\x08",
     "", ""},
    {"header without fields has an empty key", Bytes("\x07S\\\x08x\0"), true, "\x07S\\\x08", "", "x"},
    {"bytes before the first record mark are ignored",
     Bytes("junk\x07S\\t\\a\\b\\c\\\x08"
           "body\0"),
     true, "\x07S\\t\\a\\b\\c\\\x08", "t\\a\\b\\c", "body"},
    {"header end mark in the body moves the split",
     Bytes("\x07S\\t\\a\\b\\c\\\x08"
           "ab\x08"
           "cd\0"),
     true,
     "\x07S\\t\\a\\b\\c\\\x08"
     "ab\x08",
     "t\\a\\b\\c", "cd"},
    {"bytes after the zero do not count",
     Bytes("\x07S\\t\\\x08"
           "body\0\x08tail"),
     true, "\x07S\\t\\\x08", "t", "body"},
    {"header of 255 bytes", HeaderOfSize(255) + "b", true, HeaderOfSize(255),
     HeaderOfSize(255).sliced(3, 250), "b"},
    {"datagram of 62999 bytes", Mail("big", QByteArray(62999 - Mail("big").size(), 'b')), true,
     "\x07S\\big\\PC01\\PC02\\1998/02/23 9:05:07\\\x08", "big\\PC01\\PC02\\1998/02/23 9:05:07",
     QByteArray(62999 - Mail("big").size(), 'b')},
    {"empty datagram", QByteArray(), false, {}, {}, {}},
    {"only a zero byte", Bytes("\0"), false, {}, {}, {}},
    {"no marks", Bytes("hello\0"), false, {}, {}, {}},
    {"no record mark", Bytes("S\\t\\a\\b\\c\\\x08\0"), false, {}, {}, {}},
    {"no header end mark", Bytes("\x07S\\t\\a\\b\\c\\\0"), false, {}, {}, {}},
    {"header end mark only before the record mark",
     Bytes("\x08"
           "abc\x07"
           "def\0"),
     false,
     {},
     {},
     {}},
    {"marks behind the zero", Bytes("text\0\x07S\\\x08"), false, {}, {}, {}},
    {"header of 256 bytes", HeaderOfSize(256) + "b", false, {}, {}, {}},
    {"datagram of 63000 bytes", Mail("big", QByteArray(63000 - Mail("big").size(), 'b')), false, {}, {}, {}},
    {"datagram of 65000 bytes", Mail("big", QByteArray(65000 - Mail("big").size(), 'b')), false, {}, {}, {}},
};

class MailSlotSplitTest : public MailSlotTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(MailSlotSplitTest, CutsOrDropsWithoutEndingTheBatch) {
    const SplitCase& c = GetParam();
    const QByteArray good = Mail("good", "text\r\n");
    here.Inject(c.datagram);
    here.Inject(good);

    ASSERT_TRUE(slot.ReadAll());
    const int goodIndex = c.stored ? 1 : 0;
    ASSERT_EQ(slot.LastIndex(), goodIndex);
    EXPECT_EQ(slot.Body(goodIndex), "text\r\n");
    if (c.stored) {
        EXPECT_EQ(slot.Header(0), c.header);
        EXPECT_EQ(slot.Key(0), c.key);
        EXPECT_EQ(slot.Body(0), c.body);
    }
}

INSTANTIATE_TEST_SUITE_P(Datagrams, MailSlotSplitTest, ::testing::ValuesIn(kSplitCases),
                         [](const ::testing::TestParamInfo<SplitCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(MailSlotTest, StatusOfEntryFollowsItsLetter) {
    const struct {
        char letter;
        int status;
    } cases[] = {{'K', 0}, {'S', 1}, {'G', 2}, {'R', 3}, {'X', -1}, {'s', -1}, {'\\', -1}};
    for (const auto& c : cases)
        here.Inject(QByteArray("\x07") + c.letter + "\\t\\a\\b\\c\\\x08");
    ASSERT_TRUE(slot.ReadAll());
    ASSERT_EQ(slot.LastIndex(), int(std::size(cases)) - 1);
    for (int k = 0; k <= slot.LastIndex(); ++k)
        EXPECT_EQ(slot.StatusOf(k), cases[k].status) << "letter " << cases[k].letter;
    EXPECT_EQ(slot.StatusOf(slot.LastIndex() + 1), -1);
    EXPECT_EQ(slot.StatusOf(-1), -1);
}

TEST_F(MailSlotTest, ProbeHasNoStatus) {
    here.Inject(Bytes("\x07"
                      "check\x08\0"));
    ASSERT_TRUE(slot.ReadAll());
    EXPECT_EQ(slot.StatusOf(0), -1);
}

TEST_F(MailSlotTest, HeldBackTextsAreServedFirstOldestFirst) {
    here.Inject(Mail("waiting"));
    slot.HoldBack(Mail("held 1").chopped(1));
    slot.HoldBack(Mail("held 2").chopped(1));

    ASSERT_TRUE(slot.ReadAll());
    ASSERT_EQ(slot.LastIndex(), 2);
    EXPECT_TRUE(slot.Key(0).startsWith("held 1\\"));
    EXPECT_TRUE(slot.Key(1).startsWith("held 2\\"));
    EXPECT_TRUE(slot.Key(2).startsWith("waiting\\"));
}

TEST_F(MailSlotTest, HeldBackTextIsReadOnceUpToItsZero) {
    slot.HoldBack(Bytes("text\0rest"));
    QByteArray text;
    ASSERT_TRUE(slot.ReadOne(text));
    EXPECT_EQ(text, "text");
    EXPECT_FALSE(slot.ReadOne(text));
}

} // namespace
} // namespace varnel
