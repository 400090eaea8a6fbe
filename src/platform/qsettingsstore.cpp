#include "platform/qsettingsstore.h"

#include <QDir>
#include <QFileInfo>

namespace varnel {

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
    m_settings->setValue(name, value);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace varnel
