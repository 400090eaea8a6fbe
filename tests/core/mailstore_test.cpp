#include "platform/fake/fakemailboxfiles.h"
#include "records.h"
#include "store/journal.h"
#include "store/mailbox.h"
#include "store/mailstore.h"

#include <gtest/gtest.h>
#include <memory>

namespace varnel {
namespace {

const QString kSend = QStringLiteral("vnsend.txt");
const QString kRead = QStringLiteral("vnread.txt");

QByteArray Mail(const QByteArray& title, const QByteArray& body = "hi\r\n") {
    return test::Mail{.title = title, .body = body}.Record();
}

// One run of the program over the same (fake) disk: its store and its two mailboxes. A new run
// after a run that was not closed is what the next start after a crash sees.
struct Session {
    explicit Session(FakeMailboxFiles& files, const QString& send = kSend, const QString& read = kRead,
                     qsizetype cap = MailBox::kDefaultCap)
        : sendBox(cap), receiveBox(cap), store(std::make_unique<MailStore>(files)) {
        notices = store->Open(send, read, sendBox, receiveBox);
    }
    MailBox sendBox;
    MailBox receiveBox;
    std::unique_ptr<MailStore> store;
    std::vector<StoreNotice> notices;
};

TEST(MailStore, CommittedChangesOfEveryKindAreThereAfterACrash) {
    FakeMailboxFiles files;
    files.files[kRead] = Mail("old");
    QByteArray expected;
    {
        Session run(files);
        run.receiveBox.Prepend(Mail("new"));
        run.receiveBox.SetStatusAt(1, 3);
        run.receiveBox.InsertReadTime(1, "1998/02/23 9:30:00");
        run.receiveBox.Prepend(Mail("gone"));
        run.receiveBox.DeleteRecord(0);
        run.sendBox.Prepend(Mail("sent"));
        ASSERT_TRUE(run.store->Commit());
        expected = run.receiveBox.Text();
        run.receiveBox.Prepend(Mail("never written")); // the crash comes before the next commit
    }
    EXPECT_EQ(files.files.value(kRead), Mail("old")); // the file itself is written at the close
    Session next(files);
    EXPECT_TRUE(next.notices.empty());
    EXPECT_EQ(next.receiveBox.Text(), expected);
    EXPECT_EQ(next.sendBox.Text(), Mail("sent"));
}

TEST(MailStore, AGrownJournalIsFoldedIntoTheFileAndAClosedStoreLeavesNone) {
    FakeMailboxFiles files;
    Session run(files);
    const QByteArray big = Mail("big", QByteArray(60000, 'x'));
    int commits = 0;
    while (files.files.value(kRead).isEmpty()) {
        ASSERT_LT(commits, 40) << "never folded";
        run.receiveBox.Prepend(big);
        ASSERT_TRUE(run.store->Commit());
        ++commits;
    }
    // Folded once the journal passed 1 MiB: about 18 mails of 60 kB.
    EXPECT_EQ(commits, 18);
    EXPECT_EQ(files.files.value(kRead), run.receiveBox.Text());
    EXPECT_FALSE(files.files.contains(kRead + QStringLiteral(".journal")));
    run.receiveBox.Prepend(Mail("after"));
    ASSERT_TRUE(run.store->Commit());
    EXPECT_TRUE(Session(files).receiveBox.Text().startsWith(Mail("after")));
    EXPECT_EQ(run.store->Close(run.receiveBox).outcome, MailStore::Closing::Written);
    EXPECT_EQ(files.files.value(kRead), run.receiveBox.Text());
    EXPECT_FALSE(files.files.contains(kRead + QStringLiteral(".journal")));
}

TEST(MailStore, AJournalLeftBesideTheFileItWasFoldedIntoAddsNothingTwice) {
    // The program stopped between writing the new file and removing the journal; one more edit
    // came after the checkpoint that the fold wrote.
    const QByteArray old = Mail("old");
    const QByteArray folded = Mail("new") + old;
    FakeMailboxFiles files;
    files.files[kRead] = folded;
    files.files[kRead + QStringLiteral(".journal")] =
        journal::Start(old.size(), journal::Digest(old)) + journal::EditFrame(0, 0, Mail("new")) +
        journal::CheckpointFrame(folded.size(), journal::Digest(folded)) +
        journal::EditFrame(0, 0, Mail("later"));
    Session run(files);
    EXPECT_TRUE(run.notices.empty());
    EXPECT_EQ(run.receiveBox.Text(), Mail("later") + folded);
}

TEST(MailStore, AFailingWriteIsToldOnceKeepsAllInMemoryAndLosesNothingOnceItWorks) {
    FakeMailboxFiles files;
    Session run(files);
    run.receiveBox.Prepend(Mail("first"));
    ASSERT_TRUE(run.store->Commit());
    files.Fail(kRead);
    run.receiveBox.Prepend(Mail("second"));
    EXPECT_FALSE(run.store->Commit());
    const std::vector<StoreNotice> notice = run.store->TakeNotices();
    ASSERT_EQ(notice.size(), 1u);
    EXPECT_EQ(notice[0].path, QStringLiteral("/fake/vnread.txt"));
    EXPECT_EQ(notice[0].reason, files.reason);
    run.receiveBox.Prepend(Mail("third"));
    EXPECT_FALSE(run.store->Commit());
    EXPECT_TRUE(run.store->TakeNotices().empty()); // told once
    // The failed writes left half of their bytes behind, as a full disk does.
    files.Heal(kRead);
    ASSERT_TRUE(run.store->Commit());
    EXPECT_EQ(Session(files).receiveBox.Text(), Mail("third") + Mail("second") + Mail("first"));
    // A new failure is a new story: told again.
    files.Fail(kRead);
    run.receiveBox.Prepend(Mail("fourth"));
    EXPECT_FALSE(run.store->Commit());
    EXPECT_FALSE(run.store->TakeNotices().empty());
}

TEST(MailStore, ATornTailLeftByACrashIsCutOffSoTheNextRunsCommitsStay) {
    FakeMailboxFiles files;
    {
        Session run(files);
        run.receiveBox.Prepend(Mail("first"));
        ASSERT_TRUE(run.store->Commit());
        files.Fail(kRead);
        run.receiveBox.Prepend(Mail("torn"));
        ASSERT_FALSE(run.store->Commit()); // half its frame is on disk; then the crash
    }
    files.Heal(kRead);
    {
        Session run(files);
        EXPECT_EQ(run.receiveBox.Text(), Mail("first"));
        run.receiveBox.Prepend(Mail("later"));
        ASSERT_TRUE(run.store->Commit()); // and the crash again
    }
    EXPECT_EQ(Session(files).receiveBox.Text(), Mail("later") + Mail("first"));
}

TEST(MailStore, ACommitIsTrueOnlyWhenBothMailboxesWereWritten) {
    for (const QString& failing : {kSend, kRead}) {
        FakeMailboxFiles files;
        Session run(files);
        files.Fail(failing);
        run.sendBox.Prepend(Mail("sent"));
        run.receiveBox.Prepend(Mail("arrived"));
        EXPECT_FALSE(run.store->Commit()) << failing.toStdString();
        files.Heal(failing);
        EXPECT_TRUE(run.store->Commit()) << failing.toStdString();
    }
}

TEST(MailStore, TheCloseSaysWhereTheChangesAreWhenTheFileCannotBeWritten) {
    FakeMailboxFiles files;
    Session run(files);
    EXPECT_EQ(run.store->Close(run.sendBox).outcome, MailStore::Closing::Written);
    run.receiveBox.Prepend(Mail("kept"));
    ASSERT_TRUE(run.store->Commit());
    files.refuse.insert(kRead); // the file, not its journal: a link that leads nowhere
    const MailStore::Closing inJournal = run.store->Close(run.receiveBox);
    EXPECT_EQ(inJournal.outcome, MailStore::Closing::KeptInJournal);
    EXPECT_EQ(inJournal.notice.journal, QStringLiteral("/fake/vnread.txt.journal"));
    EXPECT_EQ(Session(files).receiveBox.Text(), Mail("kept"));

    files.Fail(kRead);
    run.receiveBox.Prepend(Mail("memory only"));
    const MailStore::Closing lost = run.store->Close(run.receiveBox);
    EXPECT_EQ(lost.outcome, MailStore::Closing::NotOnDisk);
    EXPECT_EQ(lost.notice.reason, files.reason);
    EXPECT_EQ(run.store->Rescue(run.receiveBox).copy, QStringLiteral("/fake/rescued/vnread.txt"));
    EXPECT_EQ(files.files.value(QStringLiteral("rescued/vnread.txt")), Mail("memory only") + Mail("kept"));
}

TEST(MailStore, ADamagedFileIsCopiedAsideUnderANewNameAndTheKeptPartTakesItsPlace) {
    FakeMailboxFiles files;
    const QByteArray first = Mail("a") + QByteArray(1, '\0') + "lost?";
    files.files[kRead] = first;
    files.files[kRead + QStringLiteral(".bak")] = "an earlier copy";
    Session run(files);
    ASSERT_EQ(run.notices.size(), 1u);
    const StoreNotice notice = run.notices[0];
    EXPECT_EQ(notice.kind, StoreNotice::FileDamaged);
    EXPECT_EQ(notice.path, QStringLiteral("/fake/vnread.txt"));
    EXPECT_EQ(notice.mails, 1);
    EXPECT_EQ(notice.bytes, Mail("a").size());
    EXPECT_EQ(notice.copy, QStringLiteral("/fake/vnread.txt.bak2"));
    EXPECT_EQ(files.files.value(kRead + QStringLiteral(".bak")), QByteArray("an earlier copy"));
    EXPECT_EQ(files.files.value(kRead + QStringLiteral(".bak2")), first);
    EXPECT_EQ(files.files.value(kRead), Mail("a"));
    EXPECT_TRUE(Session(files).notices.empty()); // found and told once
}

TEST(MailStore, AFileThatCannotBeCopiedAsideIsNeverReplaced) {
    FakeMailboxFiles files;
    files.files[kRead] = "unreadable mail";
    files.unreadable.insert(kRead);
    {
        Session run(files);
        ASSERT_EQ(run.notices.size(), 1u);
        EXPECT_EQ(run.notices[0].reason, QStringLiteral("Permission denied"));
        run.receiveBox.Prepend(Mail("new"));
        ASSERT_TRUE(run.store->Commit());
        EXPECT_EQ(run.store->Close(run.receiveBox).outcome, MailStore::Closing::KeptInJournal);
    }
    EXPECT_EQ(files.files.value(kRead), QByteArray("unreadable mail"));
    EXPECT_EQ(Session(files).receiveBox.Text(), Mail("new")); // still unreadable: the journal goes on
}

TEST(MailStore, AJournalOfAnotherFileIsKeptAsideAndTold) {
    FakeMailboxFiles files;
    const QByteArray foreign = journal::Start(3, journal::Digest("abc")) + journal::EditFrame(0, 0, "x");
    files.files[kRead] = Mail("file");
    files.files[kRead + QStringLiteral(".journal")] = foreign;
    Session run(files);
    ASSERT_EQ(run.notices.size(), 1u);
    EXPECT_EQ(run.notices[0].copy, QStringLiteral("/fake/vnread.txt.journal.bak"));
    EXPECT_EQ(files.files.value(kRead + QStringLiteral(".journal.bak")), foreign);
    EXPECT_EQ(run.receiveBox.Text(), Mail("file"));
    run.receiveBox.Prepend(Mail("new"));
    ASSERT_TRUE(run.store->Commit());
    EXPECT_EQ(Session(files).receiveBox.Text(), Mail("new") + Mail("file"));
}

TEST(MailStore, NamesThatCannotServeAreRefusedForTheirDefault) {
    const struct {
        QString send;
        QString read;
        QString usedSend;
        QString usedRead;
        QString named; // the setting refused
        NameProblem::Code problem = NameProblem::None;
    } cases[] = {
        {kSend, QString(), kSend, kRead, QStringLiteral("ReadFina"), NameProblem::Empty},
        {QStringLiteral("sub/"), kRead, kSend, kRead, QStringLiteral("SendFina"), NameProblem::NamesFolder},
        {kSend, QString(240, u'x'), kSend, kRead, QStringLiteral("ReadFina"), NameProblem::PartTooLong},
        {kSend, QString(239, u'x'), kSend, QString(239, u'x'), {}},
        {QStringLiteral("same.txt"), QStringLiteral("same.txt"), QStringLiteral("same.txt"), kRead,
         QStringLiteral("ReadFina"), NameProblem::SameFile},
        {kRead, kRead, kSend, kRead, QStringLiteral("SendFina"), NameProblem::SameFile},
    };
    for (const auto& c : cases) {
        FakeMailboxFiles files;
        Session run(files, c.send, c.read);
        EXPECT_EQ(run.store->NameOf(run.sendBox), c.usedSend) << c.named.toStdString();
        EXPECT_EQ(run.store->NameOf(run.receiveBox), c.usedRead) << c.named.toStdString();
        if (c.named.isEmpty()) {
            EXPECT_TRUE(run.notices.empty());
        } else {
            ASSERT_EQ(run.notices.size(), 1u) << c.named.toStdString();
            EXPECT_EQ(run.notices[0].setting, c.named);
            EXPECT_EQ(run.notices[0].value, c.named == QStringLiteral("SendFina") ? c.send : c.read);
            EXPECT_EQ(run.notices[0].problem.code, c.problem) << c.named.toStdString();
        }
    }
}

TEST(MailStore, AFileOrJournalExactlyAtTheCapIsTakenInWholeAndOneByteMoreIsNot) {
    const QByteArray full = Mail("a") + Mail("b");
    for (const QByteArray& text : {full, full + "x"}) {
        for (const bool inJournal : {false, true}) {
            FakeMailboxFiles files;
            files.files[inJournal ? kRead + QStringLiteral(".journal") : kRead] =
                inJournal ? journal::Start(0, journal::Digest("")) + journal::EditFrame(0, 0, text) : text;
            const Session run(files, kSend, kRead, full.size());
            EXPECT_EQ(run.notices.empty(), text == full) << inJournal << text.size();
            EXPECT_EQ(run.receiveBox.Text() == text, text == full) << inJournal << text.size();
        }
    }
}

TEST(MailStore, EditsAfterADamagedFrameAreNotReplayedOnTheTextWithoutIt) {
    // On the text without "new", the deletion of "new" would cut away "old", as long as it.
    const QByteArray old = Mail("old");
    const QByteArray start = journal::Start(old.size(), journal::Digest(old));
    QByteArray bytes = start + journal::EditFrame(0, 0, Mail("new")) +
                       journal::EditFrame(0, 0, Mail("later")) +
                       journal::EditFrame(Mail("later").size(), Mail("new").size(), "");
    bytes[start.size() + 10] = char(bytes[start.size() + 10] ^ 0x01);
    FakeMailboxFiles files;
    files.files[kRead] = old;
    files.files[kRead + QStringLiteral(".journal")] = bytes;
    const Session run(files);
    ASSERT_EQ(run.notices.size(), 1u);
    EXPECT_EQ(run.notices[0].kind, StoreNotice::JournalDamaged);
    EXPECT_EQ(run.receiveBox.Text(), Mail("later") + old);
}

TEST(MailStore, WhatTheJournalGaveBackAtTheStartIsInTheNextRunOnce) {
    const QByteArray file = Mail("file");
    FakeMailboxFiles unwritable; // the file cannot be rewritten: its journal must stay as it was
    unwritable.files[kRead] = file;
    unwritable.files[kRead + QStringLiteral(".journal")] =
        journal::Start(file.size(), journal::Digest(file)) + journal::EditFrame(0, 0, Mail("new"));
    unwritable.refuse.insert(kRead);
    EXPECT_EQ(Session(unwritable).receiveBox.Text(), Mail("new") + file);
    EXPECT_EQ(Session(unwritable).receiveBox.Text(), Mail("new") + file);

    FakeMailboxFiles foreign; // a journal of another file: its mail is taken back, the file rewritten
    foreign.files[kRead] = file;
    foreign.files[kRead + QStringLiteral(".journal")] =
        journal::Start(3, journal::Digest("abc")) + journal::EditFrame(0, 0, Mail("lost"));
    Session run(foreign);
    run.receiveBox.Prepend(Mail("new"));
    ASSERT_TRUE(run.store->Commit());
    EXPECT_EQ(Session(foreign).receiveBox.Text(), Mail("new") + Mail("lost") + file);
}

} // namespace
} // namespace varnel
