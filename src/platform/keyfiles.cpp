#include "platform/keyfiles.h"

#include "platform/filemailboxes.h"
#include "seal/keyring.h"
#include "seal/sealmarks.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace varnel {

namespace {

// A key file is a few dozen bytes; anything much larger is not one.
constexpr qint64 kMaxKeyFile = 4096;
constexpr qint64 kMaxListFile = 16 * 1024 * 1024;

enum class Read { Ok, Missing, Failed };

Read ReadFile(const QString& path, qint64 limit, QByteArray& bytes, QString& error) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return Read::Missing;
        error = QString::fromLocal8Bit(std::strerror(errno));
        return Read::Failed;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return Read::Failed;
    }
    bytes = file.read(limit + 1);
    if (bytes.size() > limit) {
        bytes.clear();
        error = QStringLiteral("EFBIG");
        return Read::Failed;
    }
    return Read::Ok;
}

bool Write(const QString& path, const QByteArray& bytes, QString& error) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        error = QStringLiteral("mkdir");
        return false;
    }
    QFile::setPermissions(info.absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Atomic and 0600, as the mailboxes are written.
    return FileMailboxes(info.absolutePath()).Save(info.fileName(), bytes, error);
}

} // namespace

KeyFiles::KeyFiles(QString configDir, QString dataDir)
    : m_configDir(std::move(configDir)), m_dataDir(std::move(dataDir)) {
    if (m_configDir.isEmpty())
        m_configDir =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kobu");
    if (m_dataDir.isEmpty())
        m_dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/kobu/varnel");
}

KeyFiles::IdentityResult KeyFiles::LoadIdentity() const {
    IdentityResult result;
    result.path = IdentityPath();
    QByteArray bytes;
    switch (ReadFile(result.path, kMaxKeyFile, bytes, result.error)) {
    case Read::Failed:
        result.outcome = Outcome::Unreadable;
        return result;
    case Read::Ok:
        result.identity = Identity::FromFile(bytes);
        result.outcome = result.identity ? Outcome::Loaded : Outcome::Damaged;
        return result;
    case Read::Missing:
        break;
    }
    Identity identity = Identity::Generate();
    if (!Write(result.path, identity.FileBytes(), result.error)) {
        result.outcome = Outcome::NotWritten;
        return result;
    }
    result.identity = std::move(identity);
    result.outcome = Outcome::Created;
    return result;
}

int KeyFiles::LoadKeyring(Keyring& keyring) const {
    QByteArray bytes;
    QString error;
    return ReadFile(KeyringPath(), kMaxListFile, bytes, error) == Read::Ok ? keyring.Load(bytes) : 0;
}

int KeyFiles::LoadMarks(SealMarks& marks) const {
    QByteArray bytes;
    QString error;
    return ReadFile(MarksPath(), kMaxListFile, bytes, error) == Read::Ok ? marks.Load(bytes) : 0;
}

bool KeyFiles::SaveKeyring(Keyring& keyring) const {
    QString error;
    if (!keyring.Dirty())
        return true;
    if (!Write(KeyringPath(), keyring.Text(), error))
        return false;
    keyring.Saved();
    return true;
}

bool KeyFiles::SaveMarks(SealMarks& marks) const {
    QString error;
    if (!marks.Dirty())
        return true;
    if (!Write(MarksPath(), marks.Text(), error))
        return false;
    marks.Saved();
    return true;
}

} // namespace varnel
