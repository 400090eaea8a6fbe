// The order of the mailbox files' calls on a real disk, logged by the crash point library, which is
// linked into this test: a commit is reported only once its journal bytes are flushed, and a file
// written whole is flushed before it is renamed over the old one.
#include "platform/filemailboxes.h"
#include "records.h"
#include "store/mailbox.h"
#include "store/mailstore.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace varnel {
namespace {

// The calls logged so far, each "call path" (the log's counter dropped); the log starts again.
QStringList TakeCalls(const QString& log) {
    QFile file(log);
    QStringList calls;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                calls.append(QString::fromLocal8Bit(line.mid(line.indexOf(' ') + 1)));
        }
    }
    file.remove();
    return calls;
}

TEST(FileOrder, ACommitIsTrueOnlyAfterItsJournalIsFlushedAndAFileIsFlushedBeforeItsRename) {
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString log = dir.filePath(QStringLiteral("calls.log"));
    qputenv("VARNEL_CRASH_MATCH", QFile::encodeName(data));
    qputenv("VARNEL_CRASH_LOG", QFile::encodeName(log));
    const std::unique_ptr<void, void (*)(void*)> logging(&dir, [](void*) { qunsetenv("VARNEL_CRASH_LOG"); });
    FileMailboxes files(data);
    MailBox sendBox;
    MailBox receiveBox;
    MailStore store(files);
    ASSERT_TRUE(store.Open(QStringLiteral("vnsend.txt"), QStringLiteral("vnread.txt"), sendBox, receiveBox)
                    .isEmpty());
    TakeCalls(log);

    const QString journal = data + QStringLiteral("/vnread.txt.journal");
    receiveBox.Prepend(test::Mail{}.Record());
    ASSERT_TRUE(store.Commit());
    const QStringList commit = TakeCalls(log);
    const qsizetype written = commit.lastIndexOf(QStringLiteral("pwrite ") + journal);
    ASSERT_GE(written, 0) << commit.join(u'\n').toStdString();
    EXPECT_GT(commit.lastIndexOf(QStringLiteral("fdatasync ") + journal), written)
        << commit.join(u'\n').toStdString();

    ASSERT_EQ(store.Close(receiveBox).outcome, MailStore::Closing::Written);
    const QStringList close = TakeCalls(log);
    const qsizetype renamed =
        close.lastIndexOf(QStringLiteral("rename ") + data + QStringLiteral("/vnread.txt"));
    ASSERT_GE(renamed, 0) << close.join(u'\n').toStdString();
    // The new file is written under a temporary name in the same folder, then renamed.
    const QString temp = data + QStringLiteral("/.vnread.txt.");
    qsizetype lastWrite = -1;
    qsizetype lastFlush = -1;
    for (qsizetype i = 0; i < renamed; ++i) {
        if (close[i].startsWith(QStringLiteral("pwrite ") + temp))
            lastWrite = i;
        if (close[i].startsWith(QStringLiteral("fsync ") + temp))
            lastFlush = i;
    }
    ASSERT_GE(lastWrite, 0) << close.join(u'\n').toStdString();
    EXPECT_GT(lastFlush, lastWrite) << close.join(u'\n').toStdString();
}

} // namespace
} // namespace varnel
