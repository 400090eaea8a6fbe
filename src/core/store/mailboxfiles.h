#pragma once

#include <QByteArray>
#include <QString>

namespace varnel {

// Why a name cannot serve as a mailbox file.
struct NameProblem {
    enum Code {
        None,
        Empty,       // nothing but blanks
        TooLong,     // the whole path is longer than limit bytes
        PartTooLong, // one part of it is longer than limit bytes
        NamesFolder, // it ends in a folder ("sub/", "..")
        IsFolder,    // a folder stands there
        SameFile,    // the other mailbox uses the same file
        LockFile,    // the lock file of the data folder
    };
    Code code = None;
    qint64 limit = 0;
    explicit operator bool() const { return code != None; }
};

// Who holds the data folder. Taken before any mailbox is read, held until the program ends; a lock
// left by a copy that died is released by the system, so it never blocks the next start.
struct FolderLock {
    enum Outcome {
        Taken,  // this copy holds the folder
        Held,   // another running copy holds it: host and pid say which, when it wrote them
        Failed, // the lock could not be asked for (reason): the folder is used without it
    };
    Outcome outcome = Taken;
    QString folder;
    QString lockFile;
    QString host;
    qint64 pid = 0;
    QString reason;
};

// The mailbox files and the journals beside them. Every failure carries the system's reason for the
// call that failed (its strerror text); a write that succeeded is on disk (flushed, its folder entry
// too). The journal and every file made aside are never reached through a symbolic link; a mailbox
// file that is a link is followed.
class MailboxFiles {
public:
    virtual ~MailboxFiles() = default;

    // The reason given when a journal on disk is shorter than what this run wrote to it: another
    // program cut it.
    static QString JournalShortened() { return QStringLiteral("journal-shortened"); }

    struct Loaded {
        bool exists = false;    // the file was there and could be read
        QByteArray bytes;       // its content, cut at the first zero byte
        bool cutAtZero = false; // the file held a zero byte: what followed it is not in bytes
        bool tooLarge = false;  // the file is larger than a mailbox may grow: nothing was taken
        qint64 size = 0;        // the file's size on disk
        QString error;          // why the file could not be read, when it exists but failed
    };
    virtual Loaded Load(const QString& name) = 0;

    struct Journal {
        enum State {
            Missing,    // there is none
            Read,       // bytes hold it whole
            Unreadable, // it is there but could not be read (reason)
            Link,       // a symbolic link stands where it belongs: never read, never written
        };
        State state = Missing;
        QByteArray bytes;
        QString reason;
    };
    virtual Journal ReadJournal(const QString& name) = 0;

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
    virtual bool RemoveJournal(const QString& name, QString& error) = 0;
    // Writes a mailbox that cannot go to its own file to a new file elsewhere; where is its path.
    virtual bool Rescue(const QString& name, const QByteArray& bytes, QString& where, QString& error) = 0;

    // Takes the data folder for this copy.
    virtual FolderLock Lock() = 0;

    virtual NameProblem ProblemOf(const QString& name) const = 0;
    // The path a name stands for, and that of its journal, as shown to the person.
    virtual QString PathOf(const QString& name) const = 0;
    QString JournalPathOf(const QString& name) const { return PathOf(name) + QStringLiteral(".journal"); }
    // Where a write of the file lands when its name is a symbolic link; empty when it is none.
    virtual QString LinkTargetOf(const QString& name) const = 0;
};

// The checks of a mailbox name that need no file system: not empty, no part too long for a file
// name once the journal's ending is added, not naming a folder.
NameProblem MailboxNameProblem(const QString& name);

} // namespace varnel
