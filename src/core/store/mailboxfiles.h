#pragma once

#include <QByteArray>
#include <QString>

namespace varnel {

// Reading and replacing the mailbox files.
class MailboxFiles {
public:
    virtual ~MailboxFiles() = default;

    struct Loaded {
        bool exists = false;    // the file was there and could be read
        QByteArray bytes;       // its content, cut at the first zero byte
        bool cutAtZero = false; // the file held a zero byte: what followed it is not in bytes
        bool tooLarge = false;  // the file is larger than a mailbox may grow: nothing was taken
        QString error;          // why the file could not be read, when it exists but failed
    };
    virtual Loaded Load(const QString& name) = 0;

    // Replaces the file whole; on failure, error holds the system's reason and the old file stays.
    virtual bool Save(const QString& name, const QByteArray& bytes, QString& error) = 0;
    // Keeps a copy of the named file beside it (name + ".bak"); false when that failed.
    virtual bool Backup(const QString& name, QString& error) = 0;
    // The path a name stands for, as shown to the person.
    virtual QString PathOf(const QString& name) const = 0;
};

} // namespace varnel
