#pragma once

#include "store/mailboxfiles.h"

#include <QString>

namespace varnel {

// Mailbox files on disk. A relative name resolves against the per-user data folder
// (~/.local/share/kobu/varnel/), so the mail is found whatever the working directory; an absolute
// name is used as it stands. Files are replaced atomically and readable by their owner only.
class FileMailboxes final : public MailboxFiles {
public:
    // dataDir: where relative names resolve; empty for the per-user data folder.
    // maxBytes: a file larger than this is not taken in.
    explicit FileMailboxes(QString dataDir = {}, qint64 maxBytes = 64 * 1024 * 1024);

    Loaded Load(const QString& name) override;
    bool Save(const QString& name, const QByteArray& bytes, QString& error) override;
    bool Backup(const QString& name, QString& error) override;
    QString PathOf(const QString& name) const override;

private:
    QString m_dataDir;
    qint64 m_maxBytes;
};

} // namespace varnel
