// The mailboxes on a real file system that fills up or turns read-only: the person is told at the
// first change, with the system's reason; no receipt goes out for mail that is not on disk; once
// the disk takes writes again, nothing acknowledged is missing at the next start.
//
// As root the test runs in a mount namespace of its own, on a small tmpfs; as another user it can
// only make the folder read-only, and the full disk is skipped.
#include "platform/fake/fakeclock.h"
#include "platform/fake/fakenetwork.h"
#include "platform/filemailboxes.h"
#include "records.h"
#include "store/mailbox.h"
#include "store/mailstore.h"
#include "transport/courier.h"
#include "transport/mailslot.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {
namespace {

// A tmpfs of its own at a temporary folder, seen by this process only, gone with the object.
struct Tmpfs {
    explicit Tmpfs(const char* options) {
        static const bool privateMounts = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                                          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        mounted = privateMounts && ::mount("tmpfs", Path().constData(), "tmpfs", 0, options) == 0;
    }
    ~Tmpfs() {
        if (mounted)
            ::umount2(Path().constData(), MNT_DETACH);
    }
    QByteArray Path() const { return QFile::encodeName(dir.path()); }

    QTemporaryDir dir;
    bool mounted = false;
};

QByteArray Mail(const QByteArray& title) {
    return test::Mail{'S', title, "PC02", "PC01"}.Header() + QByteArray(3000, 'm') + "\r\n";
}

// This machine (PC01) as the program runs it: files on disk, store, mailboxes and courier; PC02
// sends it mail and counts the receipts.
struct Machine {
    explicit Machine(const QString& dataDir)
        : files(dataDir), endpoint(network.AddHost("PC01")), sender(network.AddHost("PC02")), slot(endpoint) {
        slot.Open();
        sender.Open();
        notices = store.Open(QStringLiteral("vnsend.txt"), QStringLiteral("vnread.txt"), sendBox, receiveBox);
    }
    // One mail check with these mails arriving; the receipts that reached PC02.
    int Tick(const QList<QByteArray>& titles = {}) {
        for (const QByteArray& title : titles)
            endpoint.Inject(Mail(title) + '\0');
        courier.CheckMail();
        int receipts = 0;
        QByteArray datagram;
        while (sender.ReadNext(datagram))
            ++receipts;
        return receipts;
    }

    FileMailboxes files;
    FakeNetwork network;
    FakeEndpoint& endpoint;
    FakeEndpoint& sender;
    MailSlot slot;
    FakeClock clock;
    MailBox sendBox;
    MailBox receiveBox;
    MailStore store{files};
    QStringList notices;
    Courier courier{slot, sendBox, receiveBox, clock, [] { return true; }, [this] { return store.Commit(); }};
};

// Everything the next start finds in the receive box.
QByteArray NextStart(const QString& dataDir) {
    Machine next(dataDir);
    EXPECT_TRUE(next.notices.isEmpty()) << next.notices.join(u'\n').toStdString();
    return next.receiveBox.Text();
}

TEST(FullDisk, IsToldAtTheFirstChangeAndLosesNothingOnceSpaceComesBack) {
    const Tmpfs disk("size=256k,mode=0700");
    if (!disk.mounted)
        GTEST_SKIP() << "needs root and a mount namespace of its own for a small tmpfs";
    const QString data = disk.dir.path() + QStringLiteral("/data");
    {
        Machine pc(data);
        EXPECT_EQ(pc.Tick({"before"}), 1);
        // Fill the disk to its last byte.
        QFile filler(disk.dir.path() + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();

        EXPECT_EQ(pc.Tick({"while full 1", "while full 2"}), 0);
        EXPECT_EQ(pc.store.TakeNotice().count(QStringLiteral("No space left on device")), 1);
        EXPECT_EQ(pc.Tick({"while full 3"}), 0);
        EXPECT_TRUE(pc.store.TakeNotice().isEmpty()); // once
        EXPECT_EQ(pc.receiveBox.MarkCount(), 4);

        ASSERT_TRUE(QFile::remove(filler.fileName()));
        EXPECT_EQ(pc.Tick(), 3); // the waiting receipts leave with the first write that works
        EXPECT_EQ(pc.Tick({"after"}), 1);
        // The program is killed here: no close.
    }
    const QByteArray text = NextStart(data);
    for (const char* title : {"before", "while full 1", "while full 2", "while full 3", "after"})
        EXPECT_EQ(text.count(Mail(title).sliced(3)), 1) << title;
}

TEST(ReadOnlyFolder, IsToldAtTheFirstChangeAndLosesNothingOnceWritable) {
    const bool root = ::geteuid() == 0;
    const Tmpfs disk(root ? "size=1m,mode=0700" : nullptr);
    if (root && !disk.mounted)
        GTEST_SKIP() << "as root only a read-only mount refuses writes, and none could be made";
    const QString data = disk.dir.path() + QStringLiteral("/data");
    const auto setWritable = [&](bool writable) {
        if (root) {
            const unsigned long flags = MS_REMOUNT | (writable ? 0 : MS_RDONLY);
            return ::mount(nullptr, disk.Path().constData(), nullptr, flags, nullptr) == 0;
        }
        return ::chmod(QFile::encodeName(data).constData(), writable ? 0700 : 0500) == 0;
    };
    {
        Machine pc(data);
        EXPECT_EQ(pc.Tick({"first"}), 1);
        ASSERT_TRUE(pc.store.Close(pc.receiveBox).outcome == MailStore::Closing::Written);
    }
    {
        Machine pc(data);
        ASSERT_TRUE(setWritable(false));
        EXPECT_EQ(pc.Tick(), 0);
        EXPECT_TRUE(pc.store.TakeNotice().isEmpty()); // nothing changed yet, nothing to tell
        EXPECT_EQ(pc.Tick({"second"}), 0);
        const QString notice = pc.store.TakeNotice();
        EXPECT_TRUE(notice.contains(root ? QStringLiteral("Read-only file system")
                                         : QStringLiteral("Permission denied")))
            << notice.toStdString();
        EXPECT_TRUE(notice.contains(data + QStringLiteral("/vnread.txt")));
        ASSERT_TRUE(setWritable(true));
        EXPECT_EQ(pc.Tick(), 1);
    }
    EXPECT_EQ(NextStart(data), Mail("second").replace(1, 1, "G") + Mail("first").replace(1, 1, "G"));
}

} // namespace
} // namespace varnel
