#pragma once

#include "seal/identity.h"

#include <QString>
#include <optional>

namespace varnel {

class Keyring;
class SealMarks;

// Where the keys live: this user's identity (identity.key) and the pinned keys of other machines
// (keyring.txt) in the configuration folder (~/.config/kobu/), and which mail went or came sealed
// (sealmarks.txt) in the data folder beside the mailboxes. Every file is its owner's only (0600) and
// is replaced atomically.
class KeyFiles {
public:
    // Empty folders: the per-user configuration and data folders.
    explicit KeyFiles(QString configDir = {}, QString dataDir = {});

    enum class Outcome { Loaded, Created, Unreadable, Damaged, NotWritten };
    struct IdentityResult {
        Outcome outcome = Outcome::Unreadable;
        std::optional<Identity> identity; // none unless Loaded or Created
        QString path;
        QString error; // the system's reason when the file could not be read or written
    };
    // Reads the identity, making a new one only when no key file exists. A key file that cannot be
    // read or is damaged is left exactly as it is: a new identity would make every machine that
    // pinned the old one warn.
    IdentityResult LoadIdentity() const;

    // Both return the number of lines that could not be used; a missing file is an empty one.
    int LoadKeyring(Keyring& keyring) const;
    int LoadMarks(SealMarks& marks) const;
    // Written only when something changed. False when the write failed.
    bool SaveKeyring(Keyring& keyring) const;
    bool SaveMarks(SealMarks& marks) const;

    QString IdentityPath() const { return m_configDir + QStringLiteral("/identity.key"); }
    QString KeyringPath() const { return m_configDir + QStringLiteral("/keyring.txt"); }
    QString MarksPath() const { return m_dataDir + QStringLiteral("/sealmarks.txt"); }

private:
    QString m_configDir;
    QString m_dataDir;
};

} // namespace varnel
