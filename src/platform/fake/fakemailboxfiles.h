#pragma once

#include "store/mailboxfiles.h"

#include <QMap>
#include <QSet>
#include <QStringList>

namespace varnel {

// Mailbox files in memory; a journal is the entry name + ".journal". Tests can refuse writes to any
// entry (a refused journal write leaves half its bytes behind, as a full disk does) and see every
// save.
class FakeMailboxFiles final : public MailboxFiles {
public:
    Loaded Load(const QString& name) override {
        Loaded loaded;
        ++loads;
        if (unreadable.contains(name)) {
            loaded.error = QStringLiteral("Permission denied");
            return loaded;
        }
        if (!files.contains(name))
            return loaded;
        loaded.exists = true;
        loaded.bytes = files.value(name);
        loaded.size = loaded.bytes.size();
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
            error = reason;
            return false;
        }
        files[name] = bytes;
        return true;
    }
    bool KeepAside(const QString& name, bool journal, QString& copy, QString& error) override {
        const QString source = journal ? name + QStringLiteral(".journal") : name;
        if (!files.contains(source) || unreadable.contains(source) ||
            refuse.contains(QStringLiteral("copies"))) {
            error = reason;
            return false;
        }
        QString entry = source + QStringLiteral(".bak");
        for (int n = 2; files.contains(entry); ++n)
            entry = source + QStringLiteral(".bak") + QString::number(n);
        files[entry] = files.value(source);
        copy = PathOf(entry);
        return true;
    }
    bool WriteJournal(const QString& name, qint64 offset, const QByteArray& bytes, QString& error) override {
        const QString entry = name + QStringLiteral(".journal");
        QByteArray& journal = files[entry];
        if (journal.size() < offset) {
            error = QStringLiteral("shortened");
            return false;
        }
        journal.truncate(offset);
        if (refuse.contains(entry)) {
            journal += bytes.left(bytes.size() / 2);
            error = reason;
            return false;
        }
        journal += bytes;
        ++journalWrites;
        return true;
    }
    Journal ReadJournal(const QString& name) override {
        const QString entry = name + QStringLiteral(".journal");
        Journal journal;
        if (unreadable.contains(entry)) {
            journal.state = Journal::Unreadable;
            journal.reason = QStringLiteral("Permission denied");
        } else if (files.contains(entry)) {
            journal.state = Journal::Read;
            journal.bytes = files.value(entry);
        }
        return journal;
    }
    bool RemoveJournal(const QString& name, QString& error) override {
        error.clear();
        files.remove(name + QStringLiteral(".journal"));
        return true;
    }
    bool Rescue(const QString& name, const QByteArray& bytes, QString& where, QString& error) override {
        if (refuse.contains(QStringLiteral("rescue"))) {
            error = reason;
            return false;
        }
        files[QStringLiteral("rescued/") + name] = bytes;
        where = PathOf(QStringLiteral("rescued/") + name);
        return true;
    }
    FolderLock Lock() override {
        FolderLock answer = lock;
        answer.folder = QStringLiteral("/fake");
        return answer;
    }
    NameProblem ProblemOf(const QString& name) const override { return MailboxNameProblem(name); }
    QString PathOf(const QString& name) const override { return QStringLiteral("/fake/") + name; }
    QString LinkTargetOf(const QString&) const override { return {}; }

    // Refuses every write to a mailbox: its file and its journal.
    void Fail(const QString& name) {
        refuse.insert(name);
        refuse.insert(name + QStringLiteral(".journal"));
    }
    void Heal(const QString& name) {
        refuse.remove(name);
        refuse.remove(name + QStringLiteral(".journal"));
    }

    QMap<QString, QByteArray> files;
    QSet<QString> refuse;     // entries whose writes fail; "copies", "rescue" for those writes
    QSet<QString> unreadable; // entries that exist but cannot be read
    QString reason = QStringLiteral("ディスクがいっぱいです");
    FolderLock lock; // what Lock answers
    QStringList saves;
    int loads = 0;
    int journalWrites = 0;
};

} // namespace varnel
