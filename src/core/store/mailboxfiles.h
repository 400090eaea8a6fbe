#pragma once

#include <QByteArray>
#include <QString>

namespace varnel {

// The mailbox files and the journals beside them. Every write reports its failure with the system's
// reason in plain words; a write that succeeded is on disk (flushed, its folder entry too).
class MailboxFiles {
public:
    virtual ~MailboxFiles() = default;

    struct Loaded {
        bool exists = false;    // the file was there and could be read
        QByteArray bytes;       // its content, cut at the first zero byte
        bool cutAtZero = false; // the file held a zero byte: what followed it is not in bytes
        bool tooLarge = false;  // the file is larger than a mailbox may grow: nothing was taken
        qint64 size = 0;        // the file's size on disk
        QString error;          // why the file could not be read, when it exists but failed
    };
    virtual Loaded Load(const QString& name) = 0;

    // Replaces the file whole, atomically; on failure, error holds the system's reason and the old
    // file stays.
    virtual bool Save(const QString& name, const QByteArray& bytes, QString& error) = 0;
    // Copies the named file (or, with journal true, its journal) aside under a name that no earlier
    // copy holds, readable by its owner only; copy is the path of the new copy.
    virtual bool KeepAside(const QString& name, bool journal, QString& copy, QString& error) = 0;
    // Writes bytes into the journal of name at offset, cutting off whatever stood from offset on,
    // and flushes it to disk; creates the journal when it is missing.
    virtual bool WriteJournal(const QString& name, qint64 offset, const QByteArray& bytes,
                              QString& error) = 0;
    // The whole journal: false with an empty error when there is none.
    virtual bool ReadJournal(const QString& name, QByteArray& bytes, QString& error) = 0;
    virtual bool RemoveJournal(const QString& name, QString& error) = 0;
    // Writes a mailbox that cannot go to its own file to a new file elsewhere; where is its path.
    virtual bool Rescue(const QString& name, const QByteArray& bytes, QString& where, QString& error) = 0;

    // Why a name cannot serve as a mailbox file (empty when it can).
    virtual QString NameProblem(const QString& name) const = 0;
    // The path a name stands for, and that of its journal, as shown to the person.
    virtual QString PathOf(const QString& name) const = 0;
    QString JournalPathOf(const QString& name) const { return PathOf(name) + QStringLiteral(".journal"); }
};

// The checks of a mailbox name that need no file system: not empty, no part too long for a file
// name once the journal's ending is added, not naming a folder.
QString MailboxNameProblem(const QString& name);

} // namespace varnel
