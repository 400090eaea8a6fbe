#pragma once

#include "settings/settings.h"

#include <QSettings>
#include <memory>

namespace varnel {

// The settings store in QSettings' native format: ~/.config/kobu/varnel.conf on Linux.
class QSettingsStore final : public SettingsStore {
public:
    // organization/application name the file; a non-empty path overrides the place (tests).
    explicit QSettingsStore(QString path = {});
    bool OpenKey() override;
    void CloseKey() override;
    bool Contains(const QString& name) const override;
    QVariant Value(const QString& name) const override;
    bool SetValue(const QString& name, const QVariant& value) override;

private:
    QString m_path;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace varnel
