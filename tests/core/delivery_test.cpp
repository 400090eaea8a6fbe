#include "platform/fake/fakeclock.h"
#include "platform/fake/fakenetwork.h"
#include "records.h"
#include "store/mailbox.h"
#include "transport/courier.h"
#include "transport/mailslot.h"
#include "transport/retryschedule.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using test::Mail;

// A record by its letter and title (and, where named, its read time).
Mail M(char letter, const QByteArray& title = "title", const QByteArray& readTime = {}) {
    Mail mail;
    mail.letter = letter;
    mail.title = title;
    mail.readTime = readTime;
    return mail;
}

const QDateTime kStart(QDate(1998, 2, 23), QTime(9, 5, 7)); // the send time of test::Mail

// A copy on its way from PC01, sent at kStart unless told otherwise.
QByteArray Copy(const QByteArray& title, const QByteArray& to = "PC02",
                const QByteArray& sent = "1998/02/23 9:05:07") {
    Mail mail = M('S', title);
    mail.recipient = to;
    mail.sendTime = sent;
    return mail.Record();
}

class RetryScheduleTest : public ::testing::Test {
protected:
    RetryScheduleTest() { clock.advance = false; }
    void At(qint64 ms) { clock.Set(kStart.addMSecs(ms)); }
    // The titles of what goes out now.
    QList<QByteArray> Tick(RetrySchedule& schedule) {
        QList<QByteArray> titles;
        for (const RetrySchedule::Due& due : schedule.TakeDue())
            titles.append(due.datagram.split('\\').value(1));
        return titles;
    }

    FakeClock clock{kStart};
    MailBox box;
};

TEST_F(RetryScheduleTest, CopiesOnTheirWayGoAtTheStartThenAfterGrowingPauses) {
    box.SetText(Copy("b") + M('G', "g").Record() + Copy("a") + M('K', "k").Record());
    RetrySchedule schedule(box, clock);
    EXPECT_EQ(schedule.WaitingCount(), 2);
    schedule.Answered("PC02");
    const auto due = schedule.TakeDue();
    schedule.Answered("PC02");
    ASSERT_EQ(due.size(), 2u);
    // Byte for byte the mail as it first went out.
    EXPECT_EQ(due[0].datagram, Copy("a"));
    EXPECT_EQ(due[0].host, "PC02");
    qint64 at = 0;
    for (const qint64 pause : {5'000, 10'000, 20'000, 40'000, 60'000, 60'000}) {
        At(at + pause - 1);
        EXPECT_TRUE(Tick(schedule).isEmpty()) << pause;
        At(at += pause);
        EXPECT_EQ(Tick(schedule), (QList<QByteArray>{"a", "b"})) << pause;
        schedule.Answered("PC02"); // answers, but loses the receipts
    }
    EXPECT_EQ(schedule.StateOf(KeyOfHeader(Copy("a"))).tries, 7);
}

TEST_F(RetryScheduleTest, TriesForSevenDaysAfterTheSendTimeAndTellsTheGivingUpOnce) {
    const qint64 week = RetrySchedule::kGiveUpMs;
    At(week + 1);
    box.SetText(Copy("old", "PC02", "1998/02/23 9:05:07") + Copy("junk", "PC02", "23.2.98 9:05"));
    EXPECT_EQ(RetrySchedule(box, clock).WaitingCount(), 0); // older, or not this program's time
    At(week);
    box.SetText(Copy("old"));
    RetrySchedule schedule(box, clock);
    EXPECT_EQ(Tick(schedule), QList<QByteArray>{"old"});
    EXPECT_TRUE(schedule.TakeNotices().gaveUp.isEmpty());
    At(week + 1);
    EXPECT_TRUE(Tick(schedule).isEmpty());
    EXPECT_EQ(schedule.WaitingCount(), 0);
    EXPECT_EQ(schedule.TakeNotices().gaveUp.size(), 1);
    EXPECT_TRUE(schedule.TakeNotices().gaveUp.isEmpty());
}

TEST_F(RetryScheduleTest, ASilentMachineGetsItsOldestCopyAloneThenTheRestTenATick) {
    QByteArray text;
    const auto copy = [](int i) {
        return Copy("c" + QByteArray::number(i).rightJustified(2, '0'), "PC02",
                    kStart.addSecs(i).toString(QStringLiteral("yyyy/MM/dd H:mm:ss")).toLatin1());
    };
    for (int i = 0; i < 25; ++i) // newest first: c00 is the oldest
        text.prepend(copy(i));
    box.SetText(Copy("other", "PC03") + text);
    At(60'000);
    RetrySchedule schedule(box, clock);
    EXPECT_EQ(Tick(schedule), (QList<QByteArray>{"c00", "other"}));
    for (int n = 1; n < 4; ++n) {
        At(60'000 + n * 120'000);
        EXPECT_EQ(Tick(schedule), (QList<QByteArray>{"c00", "other"})) << n;
    }
    EXPECT_TRUE(schedule.StateOf(KeyOfHeader(copy(1))).behindOlder);
    schedule.Answered("PC02");
    EXPECT_EQ(Tick(schedule).size(), RetrySchedule::kMaxPerTick);
    EXPECT_EQ(Tick(schedule).size(), RetrySchedule::kMaxPerTick);
    EXPECT_EQ(Tick(schedule).size(), 4u); // 24 in all: c00 waits for its pause
}

TEST_F(RetryScheduleTest, AnswerDeletionOrSavingStopsTheTriesOfThatCopyOnly) {
    box.SetText(Copy("c") + Copy("b") + Copy("a"));
    RetrySchedule schedule(box, clock);
    schedule.Answered("PC02");
    box.ReplaceHeaderByKey(M('G', "a").Header());
    box.DeleteRecord(0);
    box.SetStatusAt(0, Saved);
    EXPECT_EQ(schedule.WaitingCount(), 0);
    box.SetStatusAt(0, Sent); // sent again from the send box: on its way, first retry after a pause
    EXPECT_TRUE(Tick(schedule).isEmpty());
    At(RetrySchedule::kFirstPauseMs);
    EXPECT_EQ(Tick(schedule), QList<QByteArray>{"b"});
}

TEST_F(RetryScheduleTest, NamesADayLongWaitOnceAndAListedMachineThatNeverAnswersOnce) {
    Presence presence = Presence::NotRunning;
    box.SetText(Copy("a"));
    RetrySchedule schedule(box, clock, [&presence](QByteArrayView) { return presence; });
    for (qint64 at = 0; at <= RetrySchedule::kBlockedSpanMs + 30'000; at += 30'000) { // five tries
        At(at);
        Tick(schedule);
    }
    EXPECT_TRUE(schedule.TakeNotices().blocked.isEmpty()); // five tries, but not listed
    presence = Presence::Running;
    Tick(schedule);
    EXPECT_EQ(schedule.TakeNotices().blocked, QList<QByteArray>{"PC02"});
    At(RetrySchedule::kLongWaitMs - 1);
    Tick(schedule);
    EXPECT_TRUE(schedule.TakeNotices().longWaiting.isEmpty());
    At(RetrySchedule::kLongWaitMs);
    Tick(schedule);
    const RetrySchedule::Notices notices = schedule.TakeNotices();
    EXPECT_EQ(notices.longWaiting, QList<QByteArray>{KeyOfHeader(Copy("a"))});
    EXPECT_TRUE(notices.blocked.isEmpty());
    Tick(schedule);
    EXPECT_TRUE(schedule.TakeNotices().longWaiting.isEmpty());
}

TEST_F(RetryScheduleTest, ACopyAsLargeAsCanTravelGoesAndOneByteMoreDoesNot) {
    // Headers of kMaxHeader bytes; mails of kMaxOutgoingMail bytes with their zero, and one more.
    const auto copy = [](char title, qsizetype over) {
        Mail mail = M('S', "");
        mail.title = QByteArray(kMaxHeader - mail.Header().size(), title);
        mail.body = QByteArray(kMaxOutgoingMail - 1 - kMaxHeader + over, 'b');
        return mail.Record();
    };
    box.SetText(copy('y', 1) + copy('x', 0));
    RetrySchedule schedule(box, clock);
    schedule.Answered("PC02"); // not silent: every copy due goes, not the oldest alone
    const auto due = schedule.TakeDue();
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].datagram, copy('x', 0));
    EXPECT_EQ(schedule.WaitingCount(), 1);
    box.SetText("\aS\\t\\PC01\\PC02\\\bbody"); // a key without its send time
    EXPECT_EQ(RetrySchedule(box, clock).WaitingCount(), 0);
}

// The index against a scan of the whole text after each of many edits anywhere in the box.
TEST(RecordPlacesTest, FollowsEveryKindOfEditLikeAFreshScan) {
    MailBox box;
    RecordPlaces places(box, [](char letter) { return letter == 'S'; });
    const auto scan = [&box] {
        QList<std::pair<int, QByteArray>> found;
        for (int i = 0; i < box.MarkCount(); ++i) {
            QByteArray key;
            if (box.StatusOf(i) == Sent && box.KeyOf(i, key))
                found.append({box.RecordStart(i), key});
        }
        return found;
    };
    const auto indexed = [&] {
        QList<std::pair<int, QByteArray>> found;
        QList<QByteArray> keys;
        for (const auto& entry : scan()) {
            if (keys.contains(entry.second))
                continue;
            keys.append(entry.second);
            for (const RecordPlaces::Id id : places.WithKey(entry.second))
                found.append({places.PositionOf(id), entry.second});
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    quint32 seed = 17;
    const auto next = [&seed](int n) { return int((seed = seed * 1103515245u + 12345u) >> 16) % n; };
    for (int step = 0; step < 400; ++step) {
        const int n = std::max(1, box.MarkCount());
        const char letters[] = "KSGR";
        switch (next(6)) {
        case 0:
            box.Prepend(M(letters[next(4)], "t" + QByteArray::number(next(30))).Record());
            break;
        case 1:
            box.DeleteRecord(next(n));
            break;
        case 2:
            box.SetStatusAt(next(n), next(4));
            break;
        case 3:
            box.ReplaceHeaderByKey(M(letters[next(4)], "t" + QByteArray::number(next(30)), "9:30").Header());
            break;
        case 4:
            box.InsertReadTime(next(n), "9:31");
            break;
        default:
            box.Prepend(M('S', "t" + QByteArray::number(next(30))).Record() + M('G', "g").Record());
            break;
        }
        ASSERT_EQ(indexed(), scan()) << step;
        ASSERT_EQ(places.Count(), scan().size()) << step;
    }
}

TEST(RecordPlacesTest, FollowsOnlyRecordsWithAWholeHeaderThatFitsAndAKey) {
    const auto sent = [](char letter) { return letter == 'S'; };
    for (const qsizetype size : {kMaxHeader, kMaxHeader + 1}) {
        Mail mail = M('S', "");
        mail.title = QByteArray(size - mail.Header().size(), 't');
        MailBox box;
        box.SetText(mail.Record());
        EXPECT_EQ(RecordPlaces(box, sent).Count(), size <= kMaxHeader ? 1 : 0) << size;
    }
    // A record mark inside the first header, a header without a key, a body with a stray end mark.
    MailBox box;
    box.SetText("\aS\\x" + M('S', "a").Record() + "\aS\b" + M('S', "b").Header() + "one\btwo");
    const RecordPlaces places(box, sent);
    EXPECT_EQ(places.Count(), 2);
    EXPECT_EQ(places.BodyOf(places.WithKey(KeyOfHeader(M('S', "b").Header())).value(0)), QByteArray("one"));
}

TEST(RecordPlacesTest, ADeletionTellsOfThatRecordGoneAndNoneCome) {
    MailBox box;
    box.SetText(M('S', "a").Record() + M('S', "b").Record() + M('S', "c").Record());
    RecordPlaces places(box, [](char letter) { return letter == 'S'; });
    const RecordPlaces::Id b = places.WithKey(KeyOfHeader(M('S', "b").Header())).value(0);
    std::vector<RecordPlaces::Id> told;
    places.SetListener([&](const auto& gone, const auto& added) {
        told.insert(told.end(), gone.begin(), gone.end());
        told.insert(told.end(), added.begin(), added.end());
    });
    box.DeleteRecord(1);
    EXPECT_EQ(told, std::vector<RecordPlaces::Id>{b});
}

// Two machines on the in-memory network.
class StoredOnceTest : public ::testing::Test {
protected:
    StoredOnceTest() { slot.Open(); }
    FakeNetwork network;
    FakeEndpoint& pc02 = network.AddHost("PC02");
    FakeEndpoint& pc01 = network.AddHost("PC01");
    MailSlot slot{pc02};
    MailBox sendBox, receiveBox;
    FakeClock clock;
    Courier courier{slot, sendBox, receiveBox, clock, [] { return true; }};
};

TEST_F(StoredOnceTest, ARepeatIsAnsweredWithItsStateAndAnotherBodyIsStored) {
    const Mail mail = M('S');
    pc02.Inject(mail.Datagram());
    pc02.Inject(mail.Datagram()); // the same batch: dropped
    EXPECT_EQ(courier.CheckMail().newCount, 1);
    pc02.Inject(mail.Datagram());
    EXPECT_EQ(courier.CheckMail().newCount, 0);
    receiveBox.SetStatusAt(0, Opened);
    receiveBox.InsertReadTime(0, "1998/02/23 9:30:00");
    pc02.Inject(mail.Datagram());
    courier.CheckMail();
    const QByteArray g = Mail{}.Header() + '\0';
    const QByteArray r = M('R', "title", "1998/02/23 9:30:00").Header() + '\0';
    EXPECT_EQ(network.SentTo("PC01"), (QList<QByteArray>{g, g, r}));
    Mail other = mail;
    other.body = "body\r\n";
    pc02.Inject(other.Datagram());
    EXPECT_EQ(courier.CheckMail().newCount, 1);
    EXPECT_EQ(receiveBox.MarkCount(), 2);
}

TEST_F(StoredOnceTest, AReadReceiptGoesAgainUntilAcknowledgedOrAFewTimesToACopyThatNeverDoes) {
    clock.advance = false;
    for (const bool acknowledges : {false, true}) {
        network.sent.clear();
        if (acknowledges) // PC01 has acknowledged a read receipt before
            pc02.Inject(M('A', "earlier", "9:00").Header() + '\0');
        QByteArray header = M('R', acknowledges ? "ack" : "old", "9:30").Header();
        courier.SendReadReceipt(header);
        for (int t = 1; t <= 12; ++t) {
            clock.Set(clock.Now().addSecs(60));
            courier.CheckMail();
            if (acknowledges && t == 6) {
                header[1] = 'A';
                pc02.Inject(header + '\0');
            }
        }
        EXPECT_EQ(network.SentTo("PC01").size(), acknowledges ? 7 : Courier::kReceiptRepeats);
    }
}

} // namespace
} // namespace varnel
