#include "files.h"
#include "platform/filemailboxes.h"
#include "records.h"
#include "store/mailbox.h"
#include "store/mailstore.h"
#include "store/recovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace varnel;

namespace {

using test::Read;
using test::Write;

QByteArray Numbered(int n) {
    test::Mail mail;
    mail.title = "mail " + QByteArray::number(n);
    return mail.Record();
}

// One run of the program on a real data folder; ending the object without Close is a kill.
struct Session {
    explicit Session(const QString& dir) : files(dir), store(std::make_unique<MailStore>(files)) {
        notices =
            store->Open(QStringLiteral("vnsend.txt"), QStringLiteral("vnread.txt"), sendBox, receiveBox);
    }
    // Mails first..last arrive, one mail check each.
    void Receive(int first, int last) {
        for (int n = first; n <= last; ++n) {
            receiveBox.Prepend(Numbered(n));
            ASSERT_TRUE(store->Commit());
        }
    }
    int Has(int first, int last) const {
        int found = 0;
        for (int n = first; n <= last; ++n)
            found += receiveBox.Text().count(Numbered(n)) == 1;
        return found;
    }
    FileMailboxes files;
    MailBox sendBox;
    MailBox receiveBox;
    std::unique_ptr<MailStore> store;
    std::vector<StoreNotice> notices;
};

TEST(Recovery, AFlippedBitInTheJournalLosesOneMailAtMostAndATornTailStaysSilent) {
    for (const bool torn : {false, true}) {
        QTemporaryDir dir;
        const QString journal = dir.filePath(QStringLiteral("vnread.txt.journal"));
        Session(dir.path()).Receive(1, 50);
        QByteArray bytes = Read(journal);
        if (torn)
            bytes.chop(3);
        else
            bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x04);
        Write(journal, bytes);

        Session next(dir.path());
        EXPECT_GE(next.Has(1, 50), 49) << torn;
        EXPECT_EQ(next.receiveBox.MarkCount(), next.Has(1, 50));
        if (torn) {
            EXPECT_TRUE(next.notices.empty());
            continue;
        }
        ASSERT_EQ(next.notices.size(), 1u);
        EXPECT_EQ(next.notices[0].kind, StoreNotice::JournalDamaged);
        EXPECT_EQ(next.notices[0].damagedSpans, 1);
        EXPECT_EQ(next.notices[0].copy, journal + QStringLiteral(".bak"));
        EXPECT_EQ(Read(journal + QStringLiteral(".bak")), bytes);
        // Taken in for good: the next start finds the same mails and nothing to tell.
        const Session after(dir.path());
        EXPECT_TRUE(after.notices.empty());
        EXPECT_EQ(after.receiveBox.Text(), next.receiveBox.Text());
    }
}

TEST(Recovery, OnlyWholeNewMailIsTakenBackOnceAndNothingPastTheCap) {
    const QByteArray there = Numbered(1), back = Numbered(2), replaced = Numbered(3);
    const QByteArray strayEnd = Numbered(4) + "\b";
    // Already there, new, put in over other bytes, a header without a key, a body with an end mark.
    const std::vector<journal::Edit> edits{
        {0, 0, there}, {0, 0, back}, {0, 1, replaced}, {0, 0, "\aS\b"}, {0, 0, strayEnd}};
    const recovery::TakenBack taken = recovery::TakeBack(there, edits, 0, MailBox::kDefaultCap);
    EXPECT_EQ(taken.text, back + there);
    EXPECT_EQ(taken.mails, 1);
    EXPECT_EQ(taken.unapplied, 3);
    const qsizetype fits = there.size() + back.size();
    EXPECT_EQ(recovery::TakeBack(there, {edits[1]}, 0, fits).text, back + there);
    EXPECT_EQ(recovery::TakeBack(there, {edits[1]}, 0, fits - 1).text, there);
}

TEST(Recovery, AMailboxFileCutWhileStoppedGetsTheJournalsMailsBack) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("vnread.txt"));
    {
        Session first(dir.path());
        first.Receive(1, 10);
        ASSERT_EQ(first.store->Close(first.receiveBox).outcome, MailStore::Closing::Written);
    }
    Session(dir.path()).Receive(11, 15);
    Write(file, Read(file).first(Read(file).size() / 2));

    const Session next(dir.path());
    EXPECT_EQ(next.Has(11, 15), 5);
    ASSERT_EQ(next.notices.size(), 1u);
    EXPECT_EQ(next.notices[0].kind, StoreNotice::JournalForeign);
    EXPECT_EQ(next.notices[0].recovered, 5);
    EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral(".journal.bak")));
}

TEST(Recovery, AJournalThatIsALinkIsRefusedAndNothingIsWrittenThroughIt) {
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("victim"));
    Write(victim, "not a journal");
    ASSERT_TRUE(QFile::link(victim, dir.filePath(QStringLiteral("vnread.txt.journal"))));
    {
        Session run(dir.path());
        ASSERT_EQ(run.notices.size(), 1u);
        EXPECT_EQ(run.notices[0].kind, StoreNotice::JournalIsLink);
        run.Receive(1, 2); // each check writes the file whole instead
    }
    EXPECT_EQ(Read(victim), QByteArray("not a journal"));
    EXPECT_EQ(Session(dir.path()).Has(1, 2), 2);
}

TEST(Recovery, AFolderWhereTheDefaultFileBelongsIsToldOnceWithTheSystemsReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("vnread.txt")));
    Session run(dir.path());
    ASSERT_EQ(run.notices.size(), 1u);
    EXPECT_EQ(run.notices[0].kind, StoreNotice::FileDamaged);
    EXPECT_EQ(run.notices[0].reason, QStringLiteral("Is a directory"));
    run.Receive(1, 1);
    EXPECT_EQ(Session(dir.path()).Has(1, 1), 1); // the journal beside it keeps the mail
}

TEST(Recovery, ASecondCopyIsRefusedWhileTheFirstRunsAndNotAfterItIsKilled) {
    QTemporaryDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        FileMailboxes files(dir.path());
        const char taken = files.Lock().outcome == FolderLock::Taken ? 'y' : 'n';
        if (::write(ready[1], &taken, 1) == 1)
            ::pause();
        ::_exit(1);
    }
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    ASSERT_EQ(taken, 'y');
    FileMailboxes second(dir.path());
    const QByteArray lockFile = Read(dir.filePath(QStringLiteral("varnel.lock")));
    const FolderLock held = second.Lock();
    EXPECT_EQ(held.outcome, FolderLock::Held);
    EXPECT_EQ(held.pid, first);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_EQ(held.host, QString::fromUtf8(host));
    EXPECT_EQ(held.folder, dir.path());
    EXPECT_EQ(Read(dir.filePath(QStringLiteral("varnel.lock"))), lockFile); // left as it was

    ::kill(first, SIGKILL);
    ASSERT_EQ(::waitpid(first, nullptr, 0), first);
    EXPECT_EQ(second.Lock().outcome, FolderLock::Taken);
    EXPECT_EQ(second.Lock().outcome, FolderLock::Taken); // held already: asked again, still ours
}

} // namespace
