#include "platform/qsettingsstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace varnel;

namespace {

mode_t ModeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

// The process's umask for the life of one scope.
struct Umask {
    explicit Umask(mode_t mask) : old(::umask(mask)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};

} // namespace

// The settings file holds the mail being written: with the loosest umask, whether Varnel makes the
// file and its folder or finds them open to all, both end up the owner's alone, and stay so across
// writes.
TEST(SettingsFile, IsTheOwnersAloneWhateverTheUmask) {
    const Umask loose(0);
    for (const bool existed : {false, true}) {
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        const QString folder = home.filePath(QStringLiteral("kobu"));
        const QString path = folder + QStringLiteral("/varnel.conf");
        if (existed) {
            ASSERT_TRUE(QDir().mkpath(folder));
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("[General]\nTray=1\n");
            file.close();
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        }
        QSettingsStore store(path);
        ASSERT_TRUE(store.OpenKey());
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(store.SetValue(QStringLiteral("Draft"), QStringLiteral("下書き %1").arg(i)));
            EXPECT_EQ(ModeOf(path), mode_t(0600)) << existed << " write " << i;
            EXPECT_EQ(ModeOf(folder), mode_t(0700)) << existed;
        }
        store.CloseKey();
        EXPECT_EQ(ModeOf(path), mode_t(0600)) << existed;
        const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left, QStringList{QStringLiteral("varnel.conf")}) << existed;
    }
}
