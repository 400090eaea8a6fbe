#pragma once

#include <QString>
#include <QVariant>

namespace varnel {

// The five stored settings. Start values hold until the store has been read.
struct SETTING {
    bool Tray = false;
    bool Popup = false;
    bool Front = false;
    QString SendFina;
    QString ReadFina;
};

// The names the mailbox file settings are stored under.
inline QString SendFinaKey() {
    return QStringLiteral("SendFina");
}
inline QString ReadFinaKey() {
    return QStringLiteral("ReadFina");
}

// The mailbox file names when the settings name none.
inline QString DefaultSendFina() {
    return QStringLiteral("vnsend.txt");
}
inline QString DefaultReadFina() {
    return QStringLiteral("vnread.txt");
}

// The per-user key-value store under "software\kobu\varnel".
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Opens (creating when missing) the key; false when it can be neither opened nor created.
    virtual bool OpenKey() = 0;
    virtual void CloseKey() = 0;
    virtual bool Contains(const QString& name) const = 0;
    // The stored value as it stands (an int, a QString, a QByteArray or anything else).
    virtual QVariant Value(const QString& name) const = 0;
    // False when the store refuses the write.
    virtual bool SetValue(const QString& name, const QVariant& value) = 0;
};

} // namespace varnel
