#pragma once

#include "store/storenotice.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <vector>

namespace varnel {

class MailBox;
class MailboxFiles;

// Keeps the two mailboxes on disk as they change. Opening reads each file and the journal beside
// it; from then on every edit of a mailbox becomes a journal entry, and Commit puts the entries
// not yet on disk there, written and flushed, in one write per mailbox. When a journal has grown,
// and at the close, the file is rewritten whole from the mailbox and the journal goes. So a change
// costs what it writes, not the size of the mailbox.
//
// A file that cannot be read whole is copied aside before anything replaces it, and so is a
// journal that does not belong to its file or is damaged; every whole mail such a journal holds is
// taken back into its mailbox. A write that fails leaves everything in memory and is tried again at
// the next Commit; the person is told once, with the system's reason. Everything to tell is data.
class MailStore {
public:
    explicit MailStore(MailboxFiles& files);
    // Lets go of the mailboxes' edits; the mailboxes must still exist.
    ~MailStore();
    MailStore(const MailStore&) = delete;
    MailStore& operator=(const MailStore&) = delete;

    // Opens both mailboxes from the names in the settings; a name that cannot serve is replaced by
    // its default for this run. Returns what the person must be told: refused names, damaged files
    // and where their copies are, journals that could not be taken in and what was recovered.
    std::vector<StoreNotice> Open(const QString& sendName, const QString& receiveName, MailBox& sendBox,
                                  MailBox& receiveBox);

    // Puts every change not yet on disk there. True when all of them are.
    bool Commit();
    // What the person must be told now about writes that began to fail: once per failure.
    std::vector<StoreNotice> TakeNotices();

    struct Closing {
        enum Outcome {
            Written,       // the file holds the mailbox (or nothing was ever at risk)
            KeptInJournal, // the file could not be written, but every change is in its journal
            NotOnDisk,     // changes of this run are in memory only
        };
        Outcome outcome = Written;
        StoreNotice notice; // for the person, unless Written
    };
    // The close of one mailbox: writes its file whole and removes the journal.
    Closing Close(MailBox& box);
    // Writes a mailbox that could not be closed to a new file elsewhere; the notice says where.
    StoreNotice Rescue(MailBox& box);

    // The file name in use for a mailbox.
    QString NameOf(const MailBox& box) const;

private:
    struct Kept {
        MailBox* box = nullptr;
        QString name;
        QByteArray pending;     // journal frames not yet on disk
        qint64 journalSize = 0; // valid bytes of the journal on disk; 0: the next write starts one
        qint64 baseSize = 0;    // the text the file holds, where a new journal starts
        QByteArray baseDigest;
        qint64 foldAt = 0;        // rewrite the file once the journal has grown past this
        bool keepFile = false;    // the file holds bytes the mailbox lacks: copy it aside first
        bool keepJournal = false; // the journal on disk is not ours to continue: copy it aside first
        bool noJournal = false;   // a link stands where the journal belongs: every commit writes the file
        bool failing = false;
    };
    // Why a write failed: the call and the system's reason.
    struct Failure {
        StoreNotice::Step step = StoreNotice::Writing;
        QString reason;
    };

    std::vector<StoreNotice> Load(Kept& kept);
    void TakeJournal(Kept& kept, const QByteArray& base, QByteArray& text, std::vector<StoreNotice>& notices);
    void Attach(Kept& kept);
    bool Write(Kept& kept);
    bool Fold(Kept& kept, Failure& failure);
    void Failed(Kept& kept, const Failure& failure);
    StoreNotice NoticeFor(StoreNotice::Kind kind, const Kept& kept) const;
    Kept& Find(const MailBox& box);
    const Kept& Find(const MailBox& box) const;

    MailboxFiles& m_files;
    std::array<Kept, 2> m_kept;
    std::vector<StoreNotice> m_notices;
};

} // namespace varnel
