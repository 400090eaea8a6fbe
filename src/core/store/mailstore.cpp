#include "store/mailstore.h"

#include "store/journal.h"
#include "store/mailbox.h"
#include "store/mailboxfiles.h"

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

// A value as the person can read it in a box: a very long one is shortened, with its length.
QString Shown(const QString& value) {
    if (value.size() <= 80)
        return value;
    return QStringLiteral("%1…（全 %2 文字）").arg(value.left(60)).arg(value.size());
}

QString Refused(const QString& setting, const QString& value, const QString& why, const QString& fallback) {
    return QStringLiteral("設定 %1 の値「%2」はメールボックスのファイル名に使えません（%3）。\n"
                          "今回は既定の %4 を使います。")
        .arg(setting, Shown(value), why, fallback);
}

} // namespace

QString MailboxNameProblem(const QString& name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("名前が空です");
    // The journal and the copies made aside of it add up to 16 bytes to the file's own name.
    constexpr qsizetype kMaxPart = 255 - 16;
    constexpr qsizetype kMaxPath = 4095 - 16;
    const QByteArray encoded = QFile::encodeName(name);
    if (encoded.size() > kMaxPath)
        return QStringLiteral("長すぎます。%1 バイトまでです").arg(kMaxPath);
    for (const QByteArray& part : encoded.split('/')) {
        if (part.size() > kMaxPart)
            return QStringLiteral("ファイル名の部分が長すぎます。%1 バイトまでです").arg(kMaxPart);
    }
    const QString last = name.section(u'/', -1);
    if (last.isEmpty() || last == QStringLiteral(".") || last == QStringLiteral(".."))
        return QStringLiteral("フォルダを指しています");
    return {};
}

MailStore::MailStore(MailboxFiles& files) : m_files(files) {}

MailStore::~MailStore() {
    for (Kept& kept : m_kept) {
        if (kept.box)
            kept.box->SetEditHook({});
    }
}

QStringList MailStore::Open(const QString& sendName, const QString& receiveName, MailBox& sendBox,
                            MailBox& receiveBox) {
    const QString settings[] = {QStringLiteral("SendFina"), QStringLiteral("ReadFina")};
    const QString defaults[] = {QStringLiteral("vnsend.txt"), QStringLiteral("vnread.txt")};
    QString names[] = {sendName, receiveName};
    QStringList notices;
    for (int i = 0; i < 2; ++i) {
        const QString problem = m_files.NameProblem(names[i]);
        if (!problem.isEmpty()) {
            notices.append(Refused(settings[i], names[i], problem, defaults[i]));
            names[i] = defaults[i];
        }
    }
    // Two mailboxes in one file would overwrite each other's journal. The name that is not its
    // default gives way (the receive box's when neither is); a default meeting the other name then
    // makes that one give way too.
    const auto same = [&] {
        return QDir::cleanPath(m_files.PathOf(names[0])) == QDir::cleanPath(m_files.PathOf(names[1]));
    };
    for (int round = 0; round < 2 && same(); ++round) {
        const int i = (round == 0 && names[1] != defaults[1]) || names[0] == defaults[0] ? 1 : 0;
        notices.append(Refused(settings[i], names[i],
                               QStringLiteral("もう一方のメールボックスと同じファイル %1 になります")
                                   .arg(m_files.PathOf(names[i])),
                               defaults[i]));
        names[i] = defaults[i];
    }

    MailBox* boxes[] = {&sendBox, &receiveBox};
    for (int i = 0; i < 2; ++i) {
        m_kept[i] = Kept{};
        m_kept[i].box = boxes[i];
        m_kept[i].name = names[i];
        notices += Load(m_kept[i]);
        Attach(m_kept[i]);
    }
    return notices;
}

QStringList MailStore::Load(Kept& kept) {
    QStringList notices;
    MailBox& box = *kept.box;
    const QString path = m_files.PathOf(kept.name);
    const MailboxFiles::Loaded loaded = m_files.Load(kept.name);
    QByteArray base = loaded.exists ? loaded.bytes : QByteArray();
    const bool tooLarge = loaded.tooLarge || base.size() > box.Cap();
    if (tooLarge)
        base.clear();

    // A file that cannot be taken in whole is copied aside before anything replaces it.
    QString problem;
    if (tooLarge)
        problem = QStringLiteral("大きすぎて読み込めませんでした（%1 バイト、%2 バイトまでです）")
                      .arg(loaded.size)
                      .arg(box.Cap());
    else if (!loaded.error.isEmpty())
        problem = QStringLiteral("読み込めませんでした（%1）").arg(loaded.error);
    else if (loaded.cutAtZero)
        problem = QStringLiteral("途中にゼロのバイトがあり、最後まで読み込めませんでした");
    QString copy;
    QString copyError;
    bool copied = false;
    if (!problem.isEmpty()) {
        copied = m_files.KeepAside(kept.name, false, copy, copyError);
        kept.keepFile = !copied;
    }

    const QByteArray digest = journal::Digest(base);
    QByteArray text = base;
    QByteArray journalBytes;
    QString journalError;
    if (m_files.ReadJournal(kept.name, journalBytes, journalError)) {
        const journal::Parsed parsed = journal::Parse(journalBytes);
        // The journal goes on from the last text it names that the file holds: its start, or a
        // checkpoint written just before the file was rewritten (the journal was then not yet gone).
        std::optional<size_t> from;
        for (auto mark = parsed.marks.rbegin(); mark != parsed.marks.rend() && !from; ++mark) {
            if (mark->size == base.size() && mark->digest == digest)
                from = mark->editsBefore;
        }
        QByteArray replayed;
        if (from && journal::Replay(base, parsed.edits, *from, replayed) && replayed.size() <= box.Cap()) {
            text = std::move(replayed);
            kept.journalSize = parsed.validLength; // a torn tail is cut off by the next write
        } else if (!parsed.started && journalBytes.size() < journal::kStartSize) {
            // Its very first write never completed: nothing in it was ever acknowledged.
        } else {
            QString journalCopy;
            kept.keepJournal = !m_files.KeepAside(kept.name, true, journalCopy, journalError);
            notices.append(QStringLiteral("メールボックス %1 の変更記録 %2 は今のファイルに合わないため、"
                                          "読み込みませんでした。\n")
                               .arg(path, m_files.JournalPathOf(kept.name)) +
                           (kept.keepJournal
                                ? QStringLiteral("変更記録の控えを作れませんでした（%1）。控えができるまで"
                                                 "変更記録は書き換えず、今回の変更はメモリーに保持します。")
                                      .arg(journalError)
                                : QStringLiteral("変更記録は %1 に残しました。").arg(journalCopy)));
        }
    } else if (!journalError.isEmpty()) {
        // A journal that is there but cannot be read must not be written over.
        kept.keepJournal = true;
        notices.append(QStringLiteral("メールボックス %1 の変更記録 %2 を読み込めませんでした（%3）。\n"
                                      "変更記録は書き換えず、今回の変更はメモリーに保持します。")
                           .arg(path, m_files.JournalPathOf(kept.name), journalError));
    }
    if (!box.SetText(text))
        box.Clear();
    kept.baseSize = base.size();
    kept.baseDigest = digest;
    kept.foldAt = std::max(FoldThreshold(text.size()), kept.journalSize + 1);

    if (!problem.isEmpty()) {
        QString notice = QStringLiteral("メールボックス %1 は%2。\n").arg(path, problem);
        notice += box.Text().isEmpty() ? QStringLiteral("このメールボックスは空で始めます。\n")
                                       : QStringLiteral("読み込めた %1 通（%2 バイト）を使います。\n")
                                             .arg(box.MarkCount())
                                             .arg(box.Text().size());
        notice += copied ? QStringLiteral("元のファイルは %1 に残しました。").arg(copy)
                         : QStringLiteral("元のファイルの控えを作れませんでした（%1）。控えができるまで元の"
                                          "ファイルは書き換えず、変更は %2 に記録します。")
                               .arg(copyError, m_files.JournalPathOf(kept.name));
        notices.append(notice);
        // With its copy made, the damaged file gives way to what was kept, so the same damage is not
        // found again at the next start.
        QString error;
        if (copied)
            Fold(kept, error);
    }
    return notices;
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

QString MailStore::TakeNotice() {
    return std::exchange(m_notice, QString());
}

void MailStore::Failed(Kept& kept, const QString& error) {
    if (kept.failing)
        return;
    kept.failing = true;
    if (!m_notice.isEmpty())
        m_notice += QStringLiteral("\n\n");
    m_notice +=
        QStringLiteral("メールボックス %1 に書き込めません（%2）。\n"
                       "届いたメールと変更はメモリーに保持し、メールを確認するたびに書き込みを試します。"
                       "書き込めるまで、届いたメールに配達通知は返しません。\n"
                       "空き容量やフォルダの権限を確かめてください。")
            .arg(m_files.PathOf(kept.name), error);
}

bool MailStore::Write(Kept& kept) {
    QString error;
    if (kept.keepJournal) {
        QString copy;
        if (!m_files.KeepAside(kept.name, true, copy, error)) {
            Failed(kept, QStringLiteral("変更記録の控えを作れません: %1").arg(error));
            return kept.pending.isEmpty();
        }
        kept.keepJournal = false;
        kept.journalSize = 0;
    }
    if (!kept.pending.isEmpty()) {
        const QByteArray bytes = kept.journalSize == 0
                                     ? journal::Start(kept.baseSize, kept.baseDigest) + kept.pending
                                     : kept.pending;
        if (!m_files.WriteJournal(kept.name, kept.journalSize, bytes, error)) {
            Failed(kept, error);
            return false;
        }
        kept.journalSize += bytes.size();
        kept.pending.clear();
    }
    kept.failing = false;
    // A fold that fails costs nothing but time: the journal holds everything. It is tried again
    // once the journal has grown as much again.
    if (kept.journalSize >= kept.foldAt && !Fold(kept, error))
        kept.foldAt = kept.journalSize * 2;
    return true;
}

bool MailStore::Fold(Kept& kept, QString& error) {
    if (kept.keepFile) {
        QString copy;
        if (!m_files.KeepAside(kept.name, false, copy, error)) {
            error = QStringLiteral("元のファイルの控えを作れません: %1").arg(error);
            return false;
        }
        kept.keepFile = false;
    }
    const QByteArray& text = kept.box->Text();
    const QByteArray digest = journal::Digest(text);
    if (kept.journalSize > 0 && !kept.keepJournal) {
        // Should the program stop between the new file and the journal's end, the checkpoint tells
        // the next start that the journal up to here is in the file.
        kept.pending += journal::CheckpointFrame(text.size(), digest);
        QString journalError;
        if (m_files.WriteJournal(kept.name, kept.journalSize, kept.pending, journalError)) {
            kept.journalSize += kept.pending.size();
            kept.pending.clear();
        }
    }
    if (!m_files.Save(kept.name, text, error))
        return false;
    kept.pending.clear();
    kept.baseSize = text.size();
    kept.baseDigest = digest;
    kept.foldAt = FoldThreshold(text.size());
    QString ignored;
    if (!kept.keepJournal) {
        kept.journalSize = 0;
        m_files.RemoveJournal(kept.name, ignored); // a journal left over is cut off by the next write
    }
    return true;
}

MailStore::Closing MailStore::Close(MailBox& box) {
    Kept& kept = Find(box);
    Write(kept);
    QString error;
    if (Fold(kept, error))
        return {};
    const QString path = m_files.PathOf(kept.name);
    if (kept.pending.isEmpty() && kept.journalSize == 0 && !kept.keepJournal)
        return {}; // nothing changed in this run: the file as it stands is the mailbox
    if (kept.pending.isEmpty() && !kept.keepJournal) {
        return {Closing::KeptInJournal,
                QStringLiteral("メールボックス %1 を書き込めませんでした（%2）。\n"
                               "変更はすべて %3 に記録してあり、次に起動したときに読み込みます。")
                    .arg(path, error, m_files.JournalPathOf(kept.name))};
    }
    return {Closing::NotOnDisk,
            QStringLiteral("メールボックス %1 を保存できませんでした。\n%2\n\n"
                           "もう一度試しますか？ 試さない場合、内容を別の場所に保存します。")
                .arg(path, error)};
}

QString MailStore::Rescue(MailBox& box) {
    Kept& kept = Find(box);
    QString where;
    QString error;
    if (m_files.Rescue(kept.name, box.Text(), where, error)) {
        return QStringLiteral("メールボックス %1 の内容を %2 に保存しました。\n"
                              "元の場所に書き込めるようになったら、このファイルを戻してください。")
            .arg(m_files.PathOf(kept.name), where);
    }
    return QStringLiteral("メールボックス %1 の内容をどこにも保存できませんでした（%2）。\n"
                          "今回届いたメールと変更は失われます。")
        .arg(m_files.PathOf(kept.name), error);
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
