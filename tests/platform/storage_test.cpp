#include "files.h"
#include "platform/filemailboxes.h"
#include "platform/qsettingsstore.h"
#include "records.h"
#include "settings/settingslogic.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace varnel;

namespace {

using test::Read;
using test::Write;

TEST(MailboxFiles, AFileWrittenAndReadBackIsTheSameTextByteForByte) {
    QTemporaryDir dir;
    FileMailboxes files(dir.path() + QStringLiteral("/data"));
    QByteArray text;
    for (int b = 1; b < 256; ++b)
        text.append(char(b)); // every byte but zero, marks and CR LF included
    text += test::Mail{.title = "\x8a\x4a\x8b\x63", .body = "line\r\n"}.Record();
    QString error;
    ASSERT_TRUE(files.Save(QStringLiteral("vnread.txt"), text, error)) << error.toStdString();
    const MailboxFiles::Loaded loaded = files.Load(QStringLiteral("vnread.txt"));
    EXPECT_TRUE(loaded.exists);
    EXPECT_FALSE(loaded.cutAtZero);
    EXPECT_EQ(loaded.bytes, text);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(files.PathOf(QStringLiteral("vnread.txt"))).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(MailboxFiles, RelativeNamesLiveInTheDataFolderAbsoluteOnesStand) {
    QTemporaryDir dir;
    FileMailboxes files(dir.path());
    EXPECT_EQ(files.PathOf(QStringLiteral("vnsend.txt")), dir.path() + QStringLiteral("/vnsend.txt"));
    EXPECT_EQ(files.PathOf(QStringLiteral("/tmp/x.txt")), QStringLiteral("/tmp/x.txt"));
    EXPECT_FALSE(files.Load(QStringLiteral("none.txt")).exists);
}

TEST(MailboxFiles, AFileCutAtAZeroByteIsReportedAndCanBeKeptAside) {
    QTemporaryDir dir;
    FileMailboxes files(dir.path());
    const QByteArray original = test::Mail{.letter = 'K'}.Record() + '\0' + "tail";
    Write(files.PathOf(QStringLiteral("box.txt")), original);
    const MailboxFiles::Loaded loaded = files.Load(QStringLiteral("box.txt"));
    EXPECT_TRUE(loaded.cutAtZero);
    EXPECT_EQ(loaded.bytes, original.left(original.indexOf('\0')));
    QString error;
    QString copy;
    ASSERT_TRUE(files.KeepAside(QStringLiteral("box.txt"), false, copy, error));
    EXPECT_EQ(copy, files.PathOf(QStringLiteral("box.txt.bak")));
    EXPECT_EQ(Read(copy), original);
}

TEST(MailboxFiles, AFileLargerThanAMailboxIsNotTakenIn) {
    QTemporaryDir dir;
    FileMailboxes files(dir.path(), 16);
    Write(files.PathOf(QStringLiteral("big.txt")), QByteArray(17, 'a'));
    const MailboxFiles::Loaded loaded = files.Load(QStringLiteral("big.txt"));
    EXPECT_TRUE(loaded.tooLarge);
    EXPECT_TRUE(loaded.bytes.isEmpty());
}

TEST(MailboxFiles, ARefusedWriteReportsWhyAndKeepsTheOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    QTemporaryDir dir;
    FileMailboxes files(dir.path());
    QString error;
    ASSERT_TRUE(files.Save(QStringLiteral("box.txt"), "old", error));
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(files.Save(QStringLiteral("box.txt"), "new", error));
    EXPECT_FALSE(error.isEmpty());
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(Read(files.PathOf(QStringLiteral("box.txt"))), QByteArray("old"));
}

TEST(MailboxFiles, AWriteIntoAPlaceThatIsAFileFails) {
    // Works as root too: a folder cannot be made where a file stands.
    QTemporaryDir dir;
    Write(dir.path() + QStringLiteral("/blocker"), "x");
    FileMailboxes files(dir.path() + QStringLiteral("/blocker/sub"));
    QString error;
    EXPECT_FALSE(files.Save(QStringLiteral("box.txt"), "new", error));
    EXPECT_FALSE(error.isEmpty());
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

TEST(MailboxFiles, CopiesAsideNeverReplaceAnEarlierOneAndAreTheOwnersOnly) {
    QTemporaryDir dir;
    FileMailboxes files(dir.path());
    QString copies[3];
    QString error;
    for (int n = 0; n < 3; ++n) {
        Write(files.PathOf(QStringLiteral("box.txt")), "version " + QByteArray::number(n));
        ASSERT_TRUE(files.KeepAside(QStringLiteral("box.txt"), false, copies[n], error))
            << error.toStdString();
    }
    EXPECT_EQ(copies[0], files.PathOf(QStringLiteral("box.txt.bak")));
    EXPECT_EQ(copies[2], files.PathOf(QStringLiteral("box.txt.bak3")));
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(Read(copies[n]), "version " + QByteArray::number(n));
        EXPECT_EQ(ModeOf(copies[n]), 0600u);
    }
}

TEST(MailboxFiles, AJournalWriteCutsWhateverStoodAfterItsOffset) {
    QTemporaryDir dir;
    FileMailboxes files(dir.path() + QStringLiteral("/data"));
    QString error;
    ASSERT_TRUE(files.WriteJournal(QStringLiteral("box.txt"), 0, "abcdef", error)) << error.toStdString();
    ASSERT_TRUE(files.WriteJournal(QStringLiteral("box.txt"), 3, "XY", error));
    const MailboxFiles::Journal journal = files.ReadJournal(QStringLiteral("box.txt"));
    ASSERT_EQ(journal.state, MailboxFiles::Journal::Read);
    EXPECT_EQ(journal.bytes, QByteArray("abcXY"));
    EXPECT_EQ(ModeOf(files.JournalPathOf(QStringLiteral("box.txt"))), 0600u);
    // Never beyond its end: what stood there is gone.
    EXPECT_FALSE(files.WriteJournal(QStringLiteral("box.txt"), 6, "!", error));
    ASSERT_TRUE(files.RemoveJournal(QStringLiteral("box.txt"), error));
    EXPECT_EQ(files.ReadJournal(QStringLiteral("box.txt")).state, MailboxFiles::Journal::Missing);
}

TEST(MailboxFiles, ALinkIsWrittenThroughAndOneThatLeadsNowhereSaysWhere) {
    QTemporaryDir dir;
    FileMailboxes files(dir.path());
    const QString target = dir.path() + QStringLiteral("/elsewhere.txt");
    ASSERT_TRUE(QFile::link(target, files.PathOf(QStringLiteral("box.txt"))));
    QString error;
    ASSERT_TRUE(files.Save(QStringLiteral("box.txt"), "mail", error)) << error.toStdString();
    EXPECT_EQ(Read(target), QByteArray("mail"));
    EXPECT_TRUE(QFileInfo(files.PathOf(QStringLiteral("box.txt"))).isSymLink());

    const QString nowhere = dir.path() + QStringLiteral("/missing/box.txt");
    ASSERT_TRUE(QFile::link(nowhere, files.PathOf(QStringLiteral("dangling.txt"))));
    EXPECT_FALSE(files.Load(QStringLiteral("dangling.txt")).exists);
    EXPECT_TRUE(files.Load(QStringLiteral("dangling.txt")).error.isEmpty());
    EXPECT_FALSE(files.Save(QStringLiteral("dangling.txt"), "mail", error));
    EXPECT_EQ(error, QStringLiteral("No such file or directory"));
    EXPECT_EQ(files.LinkTargetOf(QStringLiteral("dangling.txt")), nowhere);
    // The journal lies beside the link, so the changes still reach the disk.
    EXPECT_TRUE(files.WriteJournal(QStringLiteral("dangling.txt"), 0, "changes", error));
}

TEST(MailboxFiles, AFolderIsNoMailboxName) {
    QTemporaryDir dir;
    FileMailboxes files(dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("box")));
    EXPECT_EQ(files.ProblemOf(QStringLiteral("box")).code, NameProblem::IsFolder);
    EXPECT_EQ(files.ProblemOf(QStringLiteral("box/inner.txt")).code, NameProblem::None);
    EXPECT_EQ(files.ProblemOf(QStringLiteral("")).code, NameProblem::Empty);
}

TEST(SettingsFile, FlagsAreStoredAsNumbersAndReadBack) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kobu/varnel.conf");
    {
        QSettingsStore store(path);
        SETTING settings;
        ASSERT_TRUE(ReadSettings(store, settings).ok());
        settings.Tray = true;
        settings.SendFina = QStringLiteral("/abs/送信,box.txt");
        ASSERT_TRUE(WriteSettings(store, settings).ok());
    }
    const QByteArray text = Read(path);
    EXPECT_TRUE(text.contains("Tray=1")) << text.constData();
    EXPECT_TRUE(text.contains("Popup=0")) << text.constData();
    QSettingsStore again(path);
    SETTING settings;
    ASSERT_TRUE(ReadSettings(again, settings).ok());
    EXPECT_TRUE(settings.Tray);
    EXPECT_FALSE(settings.Popup);
    EXPECT_EQ(settings.SendFina, QStringLiteral("/abs/送信,box.txt"));
    EXPECT_EQ(settings.ReadFina, QStringLiteral("vnread.txt"));
}

TEST(SettingsFile, AHandEditedFlagOfFiveReadsTrue) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/varnel.conf");
    Write(path, "[General]\nTray=5\nFront=abc\n");
    QSettingsStore store(path);
    SETTING settings;
    const SettingsReport report = ReadSettings(store, settings);
    EXPECT_TRUE(settings.Tray);
    EXPECT_EQ(report.outcome, SettingsReport::ValueError);
    EXPECT_EQ(report.problem, SettingsReport::WrongType);
    EXPECT_EQ(report.name, QStringLiteral("Front"));
}

TEST(SettingsFile, AStoreInAPlaceThatCannotBeMadeCannotBeOpened) {
    QTemporaryDir dir;
    Write(dir.path() + QStringLiteral("/blocker"), "x");
    QSettingsStore store(dir.path() + QStringLiteral("/blocker/kobu/varnel.conf"));
    SETTING settings;
    EXPECT_EQ(ReadSettings(store, settings).outcome, SettingsReport::StoreUnavailable);
}

} // namespace
