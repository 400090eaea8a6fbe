#include "platform/qsettingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {

namespace {

constexpr QFile::Permissions kOwnerFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOwnerFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// The file holds the mail being written: it is the owner's alone, whatever the umask. It is made
// just before the first write, so QSettings' atomic replacement takes its mode over from it.
bool KeepPrivate(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return QFileInfo(path).isSymLink() && QFile::setPermissions(path, kOwnerFile);
    const bool ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return ok;
}

} // namespace

QSettingsStore::QSettingsStore(QString path) : m_path(std::move(path)) {}

bool QSettingsStore::OpenKey() {
    m_settings = m_path.isEmpty()
                     ? std::make_unique<QSettings>(QStringLiteral("kobu"), QStringLiteral("varnel"))
                     : std::make_unique<QSettings>(m_path, QSettings::NativeFormat);
    if (m_settings->status() == QSettings::AccessError) {
        m_settings.reset();
        return false;
    }
    // The key exists once its folder does and the file can be written there (or already is there).
    const QFileInfo file(m_settings->fileName());
    if (!QDir().mkpath(file.absolutePath())) {
        m_settings.reset();
        return false;
    }
    const QFileInfo folder(file.absolutePath());
    if (file.exists() ? !file.isReadable() : !folder.isWritable()) {
        m_settings.reset();
        return false;
    }
    // The folder is the program's own; a file that cannot be made private is still used.
    QFile::setPermissions(file.absolutePath(), kOwnerFolder);
    if (file.exists())
        KeepPrivate(file.absoluteFilePath());
    return true;
}

void QSettingsStore::CloseKey() {
    if (m_settings)
        m_settings->sync();
    m_settings.reset();
}

bool QSettingsStore::Contains(const QString& name) const {
    return m_settings && m_settings->contains(name);
}

QVariant QSettingsStore::Value(const QString& name) const {
    return m_settings ? m_settings->value(name) : QVariant();
}

bool QSettingsStore::SetValue(const QString& name, const QVariant& value) {
    if (!m_settings || !m_settings->isWritable())
        return false;
    if (!QFileInfo::exists(m_settings->fileName()))
        KeepPrivate(m_settings->fileName());
    m_settings->setValue(name, value);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace varnel
