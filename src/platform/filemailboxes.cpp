#include "platform/filemailboxes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace varnel {

FileMailboxes::FileMailboxes(QString dataDir, qint64 maxBytes)
    : m_dataDir(std::move(dataDir)), m_maxBytes(maxBytes) {
    if (m_dataDir.isEmpty())
        m_dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                    QStringLiteral("/kobu/varnel");
}

QString FileMailboxes::PathOf(const QString& name) const {
    if (QFileInfo(name).isAbsolute())
        return name;
    return QDir(m_dataDir).filePath(name);
}

MailboxFiles::Loaded FileMailboxes::Load(const QString& name) {
    Loaded loaded;
    QFile file(PathOf(name));
    if (!file.exists())
        return loaded;
    if (!file.open(QIODevice::ReadOnly)) {
        loaded.error = file.errorString();
        return loaded;
    }
    if (file.size() > m_maxBytes) {
        loaded.tooLarge = true;
        return loaded;
    }
    loaded.exists = true;
    loaded.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        loaded.exists = false;
        loaded.error = file.errorString();
        loaded.bytes.clear();
        return loaded;
    }
    const qsizetype zero = loaded.bytes.indexOf('\0');
    if (zero >= 0) {
        loaded.bytes.truncate(zero);
        loaded.cutAtZero = true;
    }
    return loaded;
}

bool FileMailboxes::Save(const QString& name, const QByteArray& bytes, QString& error) {
    const QString path = PathOf(name);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("フォルダ %1 を作成できません").arg(folder);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool FileMailboxes::Backup(const QString& name, QString& error) {
    const QString path = PathOf(name);
    const QString backup = path + QStringLiteral(".bak");
    QFile::remove(backup);
    QFile source(path);
    if (!source.copy(backup)) {
        error = source.errorString();
        return false;
    }
    QFile::setPermissions(backup, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

} // namespace varnel
