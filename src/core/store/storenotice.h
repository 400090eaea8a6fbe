#pragma once

#include "store/mailboxfiles.h"

#include <QString>

namespace varnel {

// Something about the mailboxes on disk that the person must be told, as data: the window puts it
// into words. Which fields mean something depends on the kind.
struct StoreNotice {
    enum Kind {
        NameRefused,       // setting, value, problem, fallback (and path: the file both names meet)
        FileDamaged,       // path, damage, reason, size, cap, mails, bytes, copy or copyReason, journal
        JournalForeign,    // path, journal, recovered, unapplied, copy or copyReason
        JournalDamaged,    // the same, and damagedSpans, damagedBytes
        JournalUnreadable, // path, journal, reason
        JournalIsLink,     // path, journal: the link is neither read nor written through
        WriteFailing,      // path, step, reason
        ClosedInJournal,   // path, step, reason, target, journal
        NotClosed,         // path, step, reason, target
        Rescued,           // path, copy (where the mailbox now is)
        NotRescued,        // path, copy (the last place tried, if any), reason
    };
    // Why a mailbox file could not be taken in whole.
    enum Damage { NoDamage, TooLarge, Unreadable, CutAtZero };
    // Which call a failed write was making.
    enum Step {
        Writing,        // the file or its journal
        CopyingFile,    // the copy of a damaged file, needed before the file is replaced
        CopyingJournal, // the copy of a journal that is not ours, needed before it is written over
    };

    Kind kind = NameRefused;
    QString path;    // the mailbox file
    QString journal; // its journal
    QString copy;    // the copy made aside, or the rescued mailbox
    QString reason;  // the system's reason for the call that failed (MailboxFiles::JournalShortened too)
    QString target;  // where the mailbox file's link leads, when the failed write went through one

    QString setting;
    QString value;
    QString fallback;
    NameProblem problem;

    Damage damage = NoDamage;
    qint64 size = 0;      // of the file on disk
    qint64 cap = 0;       // the most a mailbox may hold
    int mails = 0;        // mails kept
    qint64 bytes = 0;     // bytes kept
    QString copyReason;   // why no copy could be made (copy empty)
    int recovered = 0;    // mails taken back from a journal
    int unapplied = 0;    // other changes in it that could not be applied (opened, deleted ...)
    int damagedSpans = 0; // stretches of the journal that failed their check
    qint64 damagedBytes = 0;
    Step step = Writing;
};

} // namespace varnel
