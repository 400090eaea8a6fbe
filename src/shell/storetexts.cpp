#include "shell/storetexts.h"

namespace varnel::storetexts {
namespace {

// A value as the person can read it in a box: a very long one is shortened, with its length.
QString Shown(const QString& value) {
    if (value.size() <= 80)
        return value;
    return QStringLiteral("%1…（全 %2 文字）").arg(value.left(60)).arg(value.size());
}

QString Problem(const StoreNotice& notice) {
    switch (notice.problem.code) {
    case NameProblem::Empty:
        return QStringLiteral("名前が空です");
    case NameProblem::TooLong:
        return QStringLiteral("長すぎます。%1 バイトまでです").arg(notice.problem.limit);
    case NameProblem::PartTooLong:
        return QStringLiteral("ファイル名の部分が長すぎます。%1 バイトまでです").arg(notice.problem.limit);
    case NameProblem::NamesFolder:
        return QStringLiteral("フォルダを指しています");
    case NameProblem::IsFolder:
        return QStringLiteral("フォルダです");
    case NameProblem::SameFile:
        return QStringLiteral("もう一方のメールボックスと同じファイル %1 になります").arg(notice.path);
    case NameProblem::LockFile:
        return QStringLiteral("データフォルダのロックファイルです");
    case NameProblem::None:
        break;
    }
    return {};
}

// The system's reason for a failed write, with the call it was making.
QString Reason(const StoreNotice& notice) {
    QString reason = notice.reason == MailboxFiles::JournalShortened()
                         ? QStringLiteral("変更記録 %1 が外から短くされています").arg(notice.journal)
                         : notice.reason;
    if (!notice.target.isEmpty())
        reason += QStringLiteral("（リンク先 %1）").arg(notice.target);
    switch (notice.step) {
    case StoreNotice::CopyingFile:
        return QStringLiteral("元のファイルの控えを作れません: %1").arg(reason);
    case StoreNotice::CopyingJournal:
        return QStringLiteral("変更記録の控えを作れません: %1").arg(reason);
    case StoreNotice::Writing:
        break;
    }
    return reason;
}

QString Damage(const StoreNotice& notice) {
    switch (notice.damage) {
    case StoreNotice::TooLarge:
        return QStringLiteral("大きすぎて読み込めませんでした（%1 バイト、%2 バイトまでです）")
            .arg(notice.size)
            .arg(notice.cap);
    case StoreNotice::Unreadable:
        return QStringLiteral("読み込めませんでした（%1）").arg(notice.reason);
    case StoreNotice::CutAtZero:
        return QStringLiteral("途中にゼロのバイトがあり、最後まで読み込めませんでした");
    case StoreNotice::NoDamage:
        break;
    }
    return {};
}

// Where a journal that could not be taken in as it stands now is.
QString JournalCopy(const StoreNotice& notice) {
    if (notice.copy.isEmpty())
        return QStringLiteral("変更記録の控えを作れませんでした（%1）。控えができるまで変更記録は書き換えず、"
                              "今回の変更はメモリーに保持します。")
            .arg(notice.copyReason);
    return QStringLiteral("変更記録は %1 に残しました。").arg(notice.copy);
}

QString Recovered(const StoreNotice& notice, const QString& where) {
    QString text;
    if (notice.recovered > 0)
        text +=
            QStringLiteral("%1メール %2 通をメールボックスに戻しました。\n").arg(where).arg(notice.recovered);
    if (notice.unapplied > 0)
        text += QStringLiteral("%1開封・削除・配達通知などの変更 %2 件は戻せませんでした。\n")
                    .arg(where)
                    .arg(notice.unapplied);
    return text;
}

} // namespace

QString Text(const StoreNotice& notice) {
    switch (notice.kind) {
    case StoreNotice::NameRefused:
        return QStringLiteral("設定 %1 の値「%2」はメールボックスのファイル名に使えません（%3）。\n"
                              "今回は既定の %4 を使います。")
            .arg(notice.setting, Shown(notice.value), Problem(notice), notice.fallback);
    case StoreNotice::FileDamaged: {
        QString text = QStringLiteral("メールボックス %1 は%2。\n").arg(notice.path, Damage(notice));
        text += notice.bytes == 0 ? QStringLiteral("このメールボックスは空で始めます。\n")
                                  : QStringLiteral("読み込めた %1 通（%2 バイト）を使います。\n")
                                        .arg(notice.mails)
                                        .arg(notice.bytes);
        text += !notice.copy.isEmpty()
                    ? QStringLiteral("元のファイルは %1 に残しました。").arg(notice.copy)
                    : QStringLiteral("元のファイルの控えを作れませんでした（%1）。控えができるまで元の"
                                     "ファイルは書き換えず、変更は %2 に記録します。")
                          .arg(notice.copyReason, notice.journal);
        return text;
    }
    case StoreNotice::JournalForeign:
        return (notice.recovered > 0
                    ? QStringLiteral("メールボックス %1 の変更記録 %2 は今のファイルに合わないため、"
                                     "そのままでは読み込めませんでした。\n")
                    : QStringLiteral("メールボックス %1 の変更記録 %2 は今のファイルに合わないため、"
                                     "読み込みませんでした。\n"))
                   .arg(notice.path, notice.journal) +
               Recovered(notice, QStringLiteral("変更記録にあった")) + JournalCopy(notice);
    case StoreNotice::JournalDamaged:
        return QStringLiteral("メールボックス %1 の変更記録 %2 は %3 か所（%4 バイト）が壊れていて、"
                              "その部分は読めませんでした。\n")
                   .arg(notice.path, notice.journal)
                   .arg(notice.damagedSpans)
                   .arg(notice.damagedBytes) +
               Recovered(notice, QStringLiteral("壊れた部分の後にあった")) + JournalCopy(notice);
    case StoreNotice::JournalUnreadable:
        return QStringLiteral("メールボックス %1 の変更記録 %2 を読み込めませんでした（%3）。\n"
                              "変更記録は書き換えず、今回の変更はメモリーに保持します。")
            .arg(notice.path, notice.journal, notice.reason);
    case StoreNotice::JournalIsLink:
        return QStringLiteral("メールボックス %1 の変更記録 %2 はシンボリックリンクのため、使いません"
                              "（読み込まず、リンク先にも書き込みません）。\n"
                              "今回の変更は、そのつどメールボックスのファイル全体に書き込みます。"
                              "リンクを取り除けば、次の起動から変更記録を使います。")
            .arg(notice.path, notice.journal);
    case StoreNotice::WriteFailing:
        return QStringLiteral(
                   "メールボックス %1 に書き込めません（%2）。\n"
                   "届いたメールと変更はメモリーに保持し、メールを確認するたびに書き込みを試します。"
                   "書き込めるまで、届いたメールに配達通知は返しません。\n"
                   "空き容量やフォルダの権限を確かめてください。")
            .arg(notice.path, Reason(notice));
    case StoreNotice::ClosedInJournal:
        return QStringLiteral("メールボックス %1 を書き込めませんでした（%2）。\n"
                              "変更はすべて %3 に記録してあり、次に起動したときに読み込みます。")
            .arg(notice.path, Reason(notice), notice.journal);
    case StoreNotice::NotClosed:
        return QStringLiteral("メールボックス %1 を保存できませんでした。\n%2\n\n"
                              "もう一度試しますか？ 試さない場合、内容を別の場所に保存します。")
            .arg(notice.path, Reason(notice));
    case StoreNotice::Rescued:
        return QStringLiteral("メールボックス %1 の内容を %2 に保存しました。\n"
                              "元の場所に書き込めるようになったら、このファイルを戻してください。")
            .arg(notice.path, notice.copy);
    case StoreNotice::NotRescued:
        return QStringLiteral("メールボックス %1 の内容をどこにも保存できませんでした（%2）。\n"
                              "今回届いたメールと変更は失われます。")
            .arg(notice.path, notice.copy.isEmpty()
                                  ? notice.reason
                                  : QStringLiteral("%1: %2").arg(notice.copy, notice.reason));
    }
    return {};
}

QString Text(const std::vector<StoreNotice>& notices) {
    QString text;
    for (const StoreNotice& notice : notices) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += Text(notice);
    }
    return text;
}

QString Text(const FolderLock& lock) {
    switch (lock.outcome) {
    case FolderLock::Held: {
        const QString holder =
            lock.host.isEmpty() ? QStringLiteral("別の Varnel")
                                : QStringLiteral("コンピューター %1 で動いている Varnel（プロセス番号 %2）")
                                      .arg(lock.host)
                                      .arg(lock.pid);
        return QStringLiteral("データフォルダ %1 は、%2が使っています。\n"
                              "一つのデータフォルダを二つの Varnel で同時に使うと、メールが失われます。"
                              "この Varnel はファイルに何も書き込まずに終了します。\n"
                              "（ロックファイル %3）")
            .arg(lock.folder, holder, lock.lockFile);
    }
    case FolderLock::Failed:
        return QStringLiteral("データフォルダ %1 をロックできませんでした（%2）。\n"
                              "ほかの Varnel が同じフォルダを使っていないことを確かめてください。")
            .arg(lock.folder, lock.reason);
    case FolderLock::Taken:
        break;
    }
    return {};
}

} // namespace varnel::storetexts
