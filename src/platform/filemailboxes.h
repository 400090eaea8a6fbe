#pragma once

#include "store/mailboxfiles.h"

#include <QString>
#include <QStringList>

namespace varnel {

// Mailbox files on disk. A relative name resolves against the per-user data folder
// (~/.local/share/kobu/varnel/), so the mail is found whatever the working directory; an absolute
// name is used as it stands. Files are replaced atomically (a temporary file, flushed, renamed over
// the old one, the folder flushed) and are readable by their owner only. A name that is a symbolic
// link is written through to where it leads; the journal never is. Failures carry the system's
// reason. The data folder is held through the lock file varnel.lock in it, for the life of this
// object.
class FileMailboxes final : public MailboxFiles {
public:
    // dataDir: where relative names resolve; empty for the per-user data folder.
    // maxBytes: a file larger than this is not taken in.
    // rescueDirs: where a mailbox that cannot go to its own file is written at the close, tried in
    // order; empty for the home folder, then the folder for temporary files.
    explicit FileMailboxes(QString dataDir = {}, qint64 maxBytes = 64 * 1024 * 1024,
                           QStringList rescueDirs = {});
    ~FileMailboxes() override;
    FileMailboxes(const FileMailboxes&) = delete;
    FileMailboxes& operator=(const FileMailboxes&) = delete;

    Loaded Load(const QString& name) override;
    bool Save(const QString& name, const QByteArray& bytes, QString& error) override;
    bool KeepAside(const QString& name, bool journal, QString& copy, QString& error) override;
    bool WriteJournal(const QString& name, qint64 offset, const QByteArray& bytes, QString& error) override;
    Journal ReadJournal(const QString& name) override;
    bool RemoveJournal(const QString& name, QString& error) override;
    bool Rescue(const QString& name, const QByteArray& bytes, QString& where, QString& error) override;
    FolderLock Lock() override;
    NameProblem ProblemOf(const QString& name) const override;
    QString PathOf(const QString& name) const override;
    QString LinkTargetOf(const QString& name) const override;

private:
    QString m_dataDir;
    qint64 m_maxBytes;
    QStringList m_rescueDirs;
    int m_lock = -1; // the open lock file while this copy holds the folder
};

} // namespace varnel
