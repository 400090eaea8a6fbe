#pragma once

#include "store/mailboxfiles.h"

#include <QMap>
#include <QSet>
#include <QStringList>

namespace varnel {

// Mailbox files in memory. Tests can refuse writes to a name and see every save and backup.
class FakeMailboxFiles final : public MailboxFiles {
public:
    Loaded Load(const QString& name) override {
        Loaded loaded;
        ++loads;
        if (!files.contains(name))
            return loaded;
        loaded.exists = true;
        loaded.bytes = files.value(name);
        const qsizetype zero = loaded.bytes.indexOf('\0');
        if (zero >= 0) {
            loaded.bytes.truncate(zero);
            loaded.cutAtZero = true;
        }
        return loaded;
    }
    bool Save(const QString& name, const QByteArray& bytes, QString& error) override {
        saves.append(name);
        if (refuse.contains(name)) {
            error = QStringLiteral("ディスクがいっぱいです");
            return false;
        }
        files[name] = bytes;
        return true;
    }
    bool Backup(const QString& name, QString& error) override {
        if (!files.contains(name)) {
            error = QStringLiteral("no such file");
            return false;
        }
        files[name + QStringLiteral(".bak")] = files.value(name);
        return true;
    }
    QString PathOf(const QString& name) const override { return QStringLiteral("/fake/") + name; }

    QMap<QString, QByteArray> files;
    QSet<QString> refuse;
    QStringList saves;
    int loads = 0;
};

} // namespace varnel
