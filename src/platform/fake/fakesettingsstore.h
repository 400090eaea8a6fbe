#pragma once

#include "settings/settings.h"

#include <QMap>
#include <QSet>

namespace varnel {

// An in-memory settings store. Tests can make the key unopenable or a value unwritable.
class FakeSettingsStore final : public SettingsStore {
public:
    bool OpenKey() override {
        ++opens;
        open = openable;
        return open;
    }
    void CloseKey() override { open = false; }
    bool Contains(const QString& name) const override { return values.contains(name); }
    QVariant Value(const QString& name) const override { return values.value(name); }
    bool SetValue(const QString& name, const QVariant& value) override {
        if (!open || refused.contains(name))
            return false;
        values[name] = value;
        ++writes;
        return true;
    }

    QMap<QString, QVariant> values;
    QSet<QString> refused;
    bool openable = true;
    bool open = false;
    int opens = 0;
    int writes = 0;
};

} // namespace varnel
