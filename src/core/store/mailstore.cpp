#include "store/mailstore.h"

#include "settings/settings.h"
#include "store/journal.h"
#include "store/mailbox.h"
#include "store/mailboxfiles.h"
#include "store/recovery.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <optional>
#include <utility>

namespace varnel {
namespace {

// A journal is folded into its file once it holds half as much as the file, and never below 1 MiB:
// each byte of the file is then rewritten about twice per byte of change, whatever its size.
constexpr qint64 kMinFold = 1024 * 1024;

qint64 FoldThreshold(qint64 textSize) {
    return std::max(kMinFold, textSize / 2);
}

} // namespace

NameProblem MailboxNameProblem(const QString& name) {
    if (name.trimmed().isEmpty())
        return {NameProblem::Empty};
    // The journal and the copies made aside of it add up to 16 bytes to the file's own name.
    constexpr qsizetype kMaxPart = 255 - 16;
    constexpr qsizetype kMaxPath = 4095 - 16;
    const QByteArray encoded = QFile::encodeName(name);
    if (encoded.size() > kMaxPath)
        return {NameProblem::TooLong, kMaxPath};
    for (const QByteArray& part : encoded.split('/')) {
        if (part.size() > kMaxPart)
            return {NameProblem::PartTooLong, kMaxPart};
    }
    const QString last = name.section(u'/', -1);
    if (last.isEmpty() || last == QStringLiteral(".") || last == QStringLiteral(".."))
        return {NameProblem::NamesFolder};
    return {};
}

MailStore::MailStore(MailboxFiles& files) : m_files(files) {}

MailStore::~MailStore() {
    for (Kept& kept : m_kept) {
        if (kept.box)
            kept.box->SetEditHook({});
    }
}

StoreNotice MailStore::NoticeFor(StoreNotice::Kind kind, const Kept& kept) const {
    StoreNotice notice;
    notice.kind = kind;
    notice.path = m_files.PathOf(kept.name);
    notice.journal = m_files.JournalPathOf(kept.name);
    return notice;
}

std::vector<StoreNotice> MailStore::Open(const QString& sendName, const QString& receiveName,
                                         MailBox& sendBox, MailBox& receiveBox) {
    const QString settings[] = {SendFinaKey(), ReadFinaKey()};
    const QString defaults[] = {DefaultSendFina(), DefaultReadFina()};
    QString names[] = {sendName, receiveName};
    std::vector<StoreNotice> notices;
    const auto refuse = [&](int i, NameProblem problem, const QString& path = {}) {
        StoreNotice notice;
        notice.kind = StoreNotice::NameRefused;
        notice.setting = settings[i];
        notice.value = names[i];
        notice.problem = problem;
        notice.fallback = defaults[i];
        notice.path = path;
        notices.push_back(notice);
        names[i] = defaults[i];
    };
    for (int i = 0; i < 2; ++i) {
        const NameProblem problem = m_files.ProblemOf(names[i]);
        // A folder where the default file belongs cannot give way to that same name: the file is
        // used as it is, and reading it says why it fails.
        if (problem && !(problem.code == NameProblem::IsFolder && m_files.ProblemOf(defaults[i])))
            refuse(i, problem);
    }
    // Two mailboxes in one file would overwrite each other's journal. The name that is not its
    // default gives way (the receive box's when neither is); a default meeting the other name then
    // makes that one give way too.
    const auto same = [&] {
        return QDir::cleanPath(m_files.PathOf(names[0])) == QDir::cleanPath(m_files.PathOf(names[1]));
    };
    for (int round = 0; round < 2 && same(); ++round) {
        const int i = (round == 0 && names[1] != defaults[1]) || names[0] == defaults[0] ? 1 : 0;
        refuse(i, {NameProblem::SameFile}, m_files.PathOf(names[i]));
    }

    MailBox* boxes[] = {&sendBox, &receiveBox};
    for (int i = 0; i < 2; ++i) {
        m_kept[i] = Kept{};
        m_kept[i].box = boxes[i];
        m_kept[i].name = names[i];
        for (StoreNotice& notice : Load(m_kept[i]))
            notices.push_back(std::move(notice));
        Attach(m_kept[i]);
    }
    return notices;
}

std::vector<StoreNotice> MailStore::Load(Kept& kept) {
    std::vector<StoreNotice> notices;
    MailBox& box = *kept.box;
    const MailboxFiles::Loaded loaded = m_files.Load(kept.name);
    QByteArray base = loaded.exists ? loaded.bytes : QByteArray();
    const bool tooLarge = loaded.tooLarge || base.size() > box.Cap();
    if (tooLarge)
        base.clear();

    // A file that cannot be taken in whole is copied aside before anything replaces it.
    StoreNotice damaged = NoticeFor(StoreNotice::FileDamaged, kept);
    damaged.damage = tooLarge                  ? StoreNotice::TooLarge
                     : !loaded.error.isEmpty() ? StoreNotice::Unreadable
                     : loaded.cutAtZero        ? StoreNotice::CutAtZero
                                               : StoreNotice::NoDamage;
    damaged.reason = loaded.error;
    damaged.size = loaded.size;
    damaged.cap = box.Cap();
    bool copied = false;
    if (damaged.damage != StoreNotice::NoDamage) {
        copied = m_files.KeepAside(kept.name, false, damaged.copy, damaged.copyReason);
        if (!copied)
            damaged.copy.clear();
        kept.keepFile = !copied;
    }

    QByteArray text = base;
    TakeJournal(kept, base, text, notices);
    if (!box.SetText(text))
        box.Clear();
    kept.baseSize = base.size();
    kept.baseDigest = journal::Digest(base);
    kept.foldAt = std::max(FoldThreshold(box.Text().size()), kept.journalSize + 1);
    // What the journal held but the file did not becomes the first entry of a new journal, so it is
    // on disk even before the fold below.
    const bool recovered = kept.journalSize == 0 && box.Text() != base;
    if (recovered)
        kept.pending = journal::EditFrame(0, base.size(), box.Text());

    if (damaged.damage != StoreNotice::NoDamage) {
        damaged.mails = box.MarkCount();
        damaged.bytes = box.Text().size();
        notices.insert(notices.begin(), damaged);
    }
    // With its copy made, a damaged file (or one short of what its journal held) gives way to what
    // was kept, so the same damage is not found again at the next start.
    Failure failure;
    if (copied || (recovered && !kept.keepFile))
        Fold(kept, failure);
    return notices;
}

// Takes in the journal beside the file: replayed when it belongs to the file; otherwise (or when it
// is damaged) copied aside, and every whole mail it holds taken back into text.
void MailStore::TakeJournal(Kept& kept, const QByteArray& base, QByteArray& text,
                            std::vector<StoreNotice>& notices) {
    const MailboxFiles::Journal read = m_files.ReadJournal(kept.name);
    if (read.state == MailboxFiles::Journal::Missing)
        return;
    if (read.state == MailboxFiles::Journal::Link) {
        kept.noJournal = true;
        notices.push_back(NoticeFor(StoreNotice::JournalIsLink, kept));
        return;
    }
    if (read.state == MailboxFiles::Journal::Unreadable) {
        // A journal that is there but cannot be read must not be written over.
        kept.keepJournal = true;
        StoreNotice notice = NoticeFor(StoreNotice::JournalUnreadable, kept);
        notice.reason = read.reason;
        notices.push_back(notice);
        return;
    }
    const journal::Parsed parsed = journal::Parse(read.bytes);
    if (!parsed.started && parsed.damage.empty() && read.bytes.size() < journal::kStartSize)
        return; // its very first write never completed: nothing in it was ever acknowledged
    // The journal goes on from the last text it names that the file holds: its start, or a
    // checkpoint written just before the file was rewritten (the journal was then not yet gone).
    const QByteArray digest = journal::Digest(base);
    std::optional<size_t> from;
    for (auto mark = parsed.marks.rbegin(); mark != parsed.marks.rend() && !from; ++mark) {
        if (mark->size == base.size() && mark->digest == digest)
            from = mark->editsBefore;
    }
    // Edits replay up to the first damage after their start: the ones after it were made on a text
    // that the damaged stretch changed.
    size_t to = parsed.edits.size();
    for (const journal::Damage& damage : parsed.damage) {
        if (from && damage.editsBefore >= *from) {
            to = damage.editsBefore;
            break;
        }
    }
    QByteArray replayed;
    const bool fits = from && journal::Replay(base, parsed.edits, *from, to, replayed) &&
                      replayed.size() <= kept.box->Cap();
    if (fits && parsed.damage.empty()) {
        text = std::move(replayed);
        kept.journalSize = parsed.validLength; // a torn tail is cut off by the next write
        return;
    }

    StoreNotice notice =
        NoticeFor(parsed.damage.empty() ? StoreNotice::JournalForeign : StoreNotice::JournalDamaged, kept);
    const recovery::TakenBack taken =
        recovery::TakeBack(fits ? replayed : base, parsed.edits, fits ? to : 0, kept.box->Cap());
    text = taken.text;
    notice.recovered = taken.mails;
    notice.unapplied = taken.unapplied;
    notice.damagedSpans = int(parsed.damage.size());
    for (const journal::Damage& damage : parsed.damage)
        notice.damagedBytes += damage.length;
    kept.keepJournal = !m_files.KeepAside(kept.name, true, notice.copy, notice.copyReason);
    if (kept.keepJournal)
        notice.copy.clear();
    notices.push_back(notice);
}

void MailStore::Attach(Kept& kept) {
    kept.box->SetEditHook([&kept](qsizetype at, qsizetype removed, QByteArrayView inserted) {
        kept.pending += journal::EditFrame(at, removed, inserted);
    });
}

bool MailStore::Commit() {
    bool all = true;
    for (Kept& kept : m_kept) {
        if (kept.box && !Write(kept))
            all = false;
    }
    return all;
}

std::vector<StoreNotice> MailStore::TakeNotices() {
    return std::exchange(m_notices, {});
}

void MailStore::Failed(Kept& kept, const Failure& failure) {
    if (kept.failing)
        return;
    kept.failing = true;
    StoreNotice notice = NoticeFor(StoreNotice::WriteFailing, kept);
    notice.step = failure.step;
    notice.reason = failure.reason;
    m_notices.push_back(notice);
}

bool MailStore::Write(Kept& kept) {
    Failure failure;
    if (kept.noJournal) {
        // Without a journal, each change is on disk once the whole file is.
        if (kept.pending.isEmpty())
            return true;
        if (!Fold(kept, failure)) {
            Failed(kept, failure);
            return false;
        }
        kept.failing = false;
        return true;
    }
    if (kept.keepJournal) {
        QString copy;
        if (!m_files.KeepAside(kept.name, true, copy, failure.reason)) {
            failure.step = StoreNotice::CopyingJournal;
            Failed(kept, failure);
            return kept.pending.isEmpty();
        }
        kept.keepJournal = false;
        kept.journalSize = 0;
    }
    if (!kept.pending.isEmpty()) {
        const QByteArray bytes = kept.journalSize == 0
                                     ? journal::Start(kept.baseSize, kept.baseDigest) + kept.pending
                                     : kept.pending;
        if (!m_files.WriteJournal(kept.name, kept.journalSize, bytes, failure.reason)) {
            Failed(kept, failure);
            return false;
        }
        kept.journalSize += bytes.size();
        kept.pending.clear();
    }
    kept.failing = false;
    // A fold that fails costs nothing but time: the journal holds everything. It is tried again
    // once the journal has grown as much again.
    if (kept.journalSize >= kept.foldAt && !Fold(kept, failure))
        kept.foldAt = kept.journalSize * 2;
    return true;
}

bool MailStore::Fold(Kept& kept, Failure& failure) {
    if (kept.keepFile) {
        QString copy;
        if (!m_files.KeepAside(kept.name, false, copy, failure.reason)) {
            failure.step = StoreNotice::CopyingFile;
            return false;
        }
        kept.keepFile = false;
    }
    const QByteArray& text = kept.box->Text();
    const QByteArray digest = journal::Digest(text);
    if (kept.journalSize > 0 && !kept.keepJournal && !kept.noJournal) {
        // Should the program stop between the new file and the journal's end, the checkpoint tells
        // the next start that the journal up to here is in the file.
        kept.pending += journal::CheckpointFrame(text.size(), digest);
        QString journalError;
        if (m_files.WriteJournal(kept.name, kept.journalSize, kept.pending, journalError)) {
            kept.journalSize += kept.pending.size();
            kept.pending.clear();
        }
    }
    failure.step = StoreNotice::Writing;
    if (!m_files.Save(kept.name, text, failure.reason))
        return false;
    kept.pending.clear();
    kept.baseSize = text.size();
    kept.baseDigest = digest;
    kept.foldAt = FoldThreshold(text.size());
    QString ignored;
    if (!kept.keepJournal && !kept.noJournal) {
        kept.journalSize = 0;
        m_files.RemoveJournal(kept.name, ignored); // a journal left over is cut off by the next write
    }
    return true;
}

MailStore::Closing MailStore::Close(MailBox& box) {
    Kept& kept = Find(box);
    Write(kept);
    Failure failure;
    if (Fold(kept, failure))
        return {};
    if (kept.pending.isEmpty() && kept.journalSize == 0 && !kept.keepJournal)
        return {}; // nothing changed in this run: the file as it stands is the mailbox
    const bool inJournal = kept.pending.isEmpty() && !kept.keepJournal && !kept.noJournal;
    Closing closing{inJournal ? Closing::KeptInJournal : Closing::NotOnDisk,
                    NoticeFor(inJournal ? StoreNotice::ClosedInJournal : StoreNotice::NotClosed, kept)};
    closing.notice.step = failure.step;
    closing.notice.reason = failure.reason;
    if (failure.step == StoreNotice::Writing)
        closing.notice.target = m_files.LinkTargetOf(kept.name);
    return closing;
}

StoreNotice MailStore::Rescue(MailBox& box) {
    Kept& kept = Find(box);
    StoreNotice notice = NoticeFor(StoreNotice::Rescued, kept);
    if (!m_files.Rescue(kept.name, box.Text(), notice.copy, notice.reason))
        notice.kind = StoreNotice::NotRescued;
    return notice;
}

QString MailStore::NameOf(const MailBox& box) const {
    return Find(box).name;
}

MailStore::Kept& MailStore::Find(const MailBox& box) {
    return m_kept[m_kept[0].box == &box ? 0 : 1];
}

const MailStore::Kept& MailStore::Find(const MailBox& box) const {
    return m_kept[m_kept[0].box == &box ? 0 : 1];
}

} // namespace varnel
