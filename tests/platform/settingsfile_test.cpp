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

} // namespace

// The settings file holds the mail being written: with the loosest umask, made anew or found open
// to all, it and its folder end up the owner's alone, across writes.
TEST(SettingsFile, IsTheOwnersAloneWhateverTheUmask) {
    const mode_t old = ::umask(0);
    for (const bool existed : {false, true}) {
        QTemporaryDir home;
        const QString folder = home.filePath(QStringLiteral("kobu"));
        const QString path = folder + QStringLiteral("/varnel.conf");
        if (existed) {
            ASSERT_TRUE(QDir().mkpath(folder));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666) |
                          ::chmod(QFile::encodeName(folder).constData(), 0777),
                      0);
        }
        QSettingsStore store(path);
        ASSERT_TRUE(store.OpenKey());
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(store.SetValue(QStringLiteral("Draft"), i));
            EXPECT_EQ(ModeOf(path), mode_t(0600)) << existed << i;
            EXPECT_EQ(ModeOf(folder), mode_t(0700)) << existed << i;
        }
        store.CloseKey();
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("varnel.conf")});
    }
    ::umask(old);
}
