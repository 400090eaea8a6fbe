#include "platform/keyfiles.h"
#include "seal/keyring.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace varnel {
namespace {

unsigned ModeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(KeyFiles, IdentityIsMadeOnceOwnerOnlyAndNeverReplaced) {
    QTemporaryDir dir;
    const KeyFiles files(dir.path() + QStringLiteral("/config"), dir.path());
    const KeyFiles::IdentityResult made = files.LoadIdentity();
    ASSERT_EQ(made.outcome, KeyFiles::Outcome::Created);
    EXPECT_EQ(ModeOf(made.path), 0600u);
    const KeyFiles::IdentityResult again = files.LoadIdentity();
    ASSERT_EQ(again.outcome, KeyFiles::Outcome::Loaded);
    EXPECT_EQ(again.identity->PublicKey(), made.identity->PublicKey());

    // Damaged: told, and the file stays as it is.
    QFile file(made.path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("varnel-identity 1\n00\n");
    file.close();
    EXPECT_EQ(files.LoadIdentity().outcome, KeyFiles::Outcome::Damaged);
    EXPECT_EQ(files.LoadIdentity().outcome, KeyFiles::Outcome::Damaged);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "varnel-identity 1\n00\n");

    // Unreadable (a folder where the file should be): told, nothing made.
    const KeyFiles other(dir.path() + QStringLiteral("/other"), dir.path());
    ASSERT_TRUE(QDir().mkpath(other.IdentityPath()));
    const KeyFiles::IdentityResult unreadable = other.LoadIdentity();
    EXPECT_EQ(unreadable.outcome, KeyFiles::Outcome::Unreadable);
    EXPECT_FALSE(unreadable.identity);
}

TEST(KeyFiles, KeyringIsWrittenWhenChangedAndReadBack) {
    QTemporaryDir dir;
    const KeyFiles files(dir.path(), dir.path());
    Keyring keyring;
    keyring.Learn("PC01", QByteArray(32, 'a'));
    ASSERT_TRUE(files.SaveKeyring(keyring));
    EXPECT_FALSE(keyring.Dirty());
    Keyring loaded;
    EXPECT_EQ(files.LoadKeyring(loaded), 0);
    EXPECT_EQ(loaded.Pinned("PC01"), QByteArray(32, 'a'));
    EXPECT_EQ(ModeOf(files.KeyringPath()), 0600u);
}

} // namespace
} // namespace varnel
