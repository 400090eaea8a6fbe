#include "shell/texts.h"

namespace varnel::texts {

namespace {

// How many unusable lines the start-up notice names; the rest are counted.
constexpr qsizetype kNoticeLines = 10;

QString ReasonText(UnusableLine::Reason reason) {
    switch (reason) {
    case UnusableLine::Fields:
        break;
    case UnusableLine::Address:
        return QStringLiteral("アドレスが正しくありません");
    case UnusableLine::TooLong:
        return QStringLiteral("名前が 29 バイトを超えています");
    case UnusableLine::Binary:
        return QStringLiteral("制御文字か、読めないバイトがあります");
    case UnusableLine::Unencodable:
        return QStringLiteral("Shift-JIS にない文字があります");
    }
    return QStringLiteral("「ワークグループ ホスト名 [アドレス]」の形ではありません");
}

const char* ReasonLog(UnusableLine::Reason reason) {
    switch (reason) {
    case UnusableLine::Fields:
        break;
    case UnusableLine::Address:
        return "the address is not the address of one machine";
    case UnusableLine::TooLong:
        return "a name is longer than 29 bytes";
    case UnusableLine::Binary:
        return "the line holds control bytes or bytes that are neither UTF-8 nor Shift-JIS";
    case UnusableLine::Unencodable:
        return "a name has a character without a Shift-JIS form";
    }
    return "expected WORKGROUP HOSTNAME [ADDRESS]";
}

} // namespace

QString EndpointFailed() {
    return QStringLiteral("メールスロットの作成に失敗しました");
}

QString SettingsFailed() {
    return QStringLiteral("レジストリエラー");
}

QString NoNetwork() {
    return QStringLiteral("ネットワークが見つかりません");
}

QString HostNameFailed() {
    return QStringLiteral("ホストネーム検出エラー");
}

QString MailsArrived(int count) {
    return QString::number(count) + QStringLiteral("通のメールが届きました");
}

QString NewestMail(const QString& sender, const QString& title) {
    return sender + QStringLiteral("さんから「") + title + QStringLiteral("」");
}

QString UnreadCount(int count) {
    return count > 0 ? QStringLiteral("未読メール %1通").arg(count)
                     : QStringLiteral("未読メールはありません");
}

QString ConfirmDiscardDraft() {
    return QStringLiteral("作成中のメッセージ（宛先と本文）を全て削除します。よろしいですか？");
}

QString ConfirmDeleteAll(const QString& boxName, int count) {
    return QStringLiteral("%1のメール（%2通）を全て削除します。元に戻せません。よろしいですか？")
        .arg(boxName)
        .arg(count);
}

QString SourceNoticeText(const SourceNotice& notice) {
    const QList<UnusableLine>& lines = notice.lines;
    if (lines.isEmpty())
        return {};
    QString text = QStringLiteral("ネットワーク一覧ファイル %1 の次の行は使えないため、読み飛ばしました。\n")
                       .arg(notice.path);
    for (qsizetype k = 0; k < lines.size() && k < kNoticeLines; ++k)
        text += QStringLiteral("\n%1 行目: %2").arg(lines[k].number).arg(ReasonText(lines[k].reason));
    if (lines.size() > kNoticeLines)
        text += QStringLiteral("\nほか %1 行").arg(lines.size() - kNoticeLines);
    return text;
}

QByteArray SourceNoticeLog(const SourceNotice& notice) {
    QByteArray log;
    for (const UnusableLine& line : notice.lines)
        log += notice.path.toLocal8Bit() + ':' + QByteArray::number(line.number) + ": skipped, " +
               ReasonLog(line.reason) + '\n';
    return log;
}

QString Caption() {
    return QStringLiteral("Varnel for Windows95");
}

QString LocalError() {
    return QStringLiteral("ﾛｰｶﾙｴﾗｰ");
}

QString SendBoxName() {
    return QStringLiteral("送信BOX");
}

QString ReceiveBoxName() {
    return QStringLiteral("受信BOX");
}

QString SettingTrouble(const SettingsReport& report) {
    switch (report.problem) {
    case SettingsReport::NotReadable:
        return QStringLiteral("'%1' の取得に失敗しました.").arg(report.name);
    case SettingsReport::WrongType:
        return QStringLiteral("'%1' のﾃﾞｰﾀ型が不正です.").arg(report.name);
    case SettingsReport::NotWritten:
        return QStringLiteral("'%1' の設定に失敗しました.").arg(report.name);
    case SettingsReport::None:
        break;
    }
    return {};
}

namespace {

QString PartName(MailPart part) {
    switch (part) {
    case MailPart::Title:
        break;
    case MailPart::Sender:
        return QStringLiteral("送信者");
    case MailPart::Recipient:
        return QStringLiteral("受信者");
    case MailPart::Body:
        return QStringLiteral("本文");
    }
    return QStringLiteral("タイトル");
}

QString Act(bool sending) {
    return sending ? QStringLiteral("送信") : QStringLiteral("保存");
}

} // namespace

QString CharacterName(const QString& ch) {
    if (ch.isEmpty())
        return QStringLiteral("?");
    const char32_t code = ch.toUcs4().value(0);
    const QString hex = QStringLiteral("%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    if (code < 0x20)
        return QStringLiteral("制御文字 U+%1").arg(hex);
    return QStringLiteral("「%1」(U+%2)").arg(ch, hex);
}

QString Unencodable(MailPart part, const QString& characterName) {
    return QStringLiteral("%1に Shift-JIS で表せない文字 %2 が含まれています。\n"
                          "この文字を別の文字に置き換えてください。")
        .arg(PartName(part), characterName);
}

QString TitleRefused(const QString& why, bool sending) {
    return why + QStringLiteral("\n（%1できません）").arg(Act(sending));
}

QString ReservedInField(MailPart part, const QString& value, const QString& characterName, bool sending) {
    return QStringLiteral("%1「%2」の %3 はメールの見出しの区切りに使われるため、%4できません。")
        .arg(PartName(part), value, characterName, Act(sending));
}

QString HeaderTooLong(bool sending, qsizetype maxHeader) {
    return QStringLiteral("タイトルが長すぎるため%1できません。\n"
                          "見出し（タイトル・送信者・受信者・時刻）は合わせて %2 バイトまでです。")
        .arg(Act(sending))
        .arg(maxHeader);
}

QString BodyTooLong(bool sending, int charactersOver, qsizetype maxMail) {
    return QStringLiteral("本文が長すぎるため%1できません。\n本文をあと %2 文字減らしてください"
                          "（1 通のメールは %3 バイトまでで、全角の文字は 2 バイトと数えます）。")
        .arg(Act(sending))
        .arg(charactersOver)
        .arg(maxMail);
}

QString ReservedInBody(const QString& characterName, bool sending) {
    return QStringLiteral("本文に %1 が含まれているため%2できません。\n"
                          "この文字はメールの区切りに使われます。取り除いてください。")
        .arg(characterName, Act(sending));
}

QString NoRecipient() {
    return QStringLiteral(
        "宛先がありません。\n左のネットワークの一覧で相手のマシンをダブルクリックする"
        "（または選んで Enter を押す）と宛先に加わります。宛先を加えてから送信してください。");
}

QString SentCount(int sent, int waiting) {
    QString text;
    if (sent > 0 || waiting == 0)
        text = QStringLiteral("%1通のメールを送信しました。").arg(sent);
    if (waiting > 0)
        text += QStringLiteral("%1通は送信待ちです（相手につながると自動で送られます）。").arg(waiting);
    return text;
}

QString DraftBeforeReply() {
    return QStringLiteral("書きかけのメールがあります。\n返信を書く前に、書きかけのメールをどうしますか。");
}

QString KeepWriting() {
    return QStringLiteral("書き続ける");
}

QString SaveDraftAndReply() {
    return QStringLiteral("送信BOXに保存して返信");
}

QString DiscardDraftAndReply() {
    return QStringLiteral("破棄して返信");
}

QString TitleUnencodable(const QString& ch) {
    return QStringLiteral("タイトルの「%1」は、メールで使える文字にないため送れません。\n"
                          "別の言葉か、かなに置き換えてください。")
        .arg(ch);
}

QString TitleSeparator(const QString& ch) {
    const QString shown = ch.isEmpty() ? QStringLiteral("制御文字") : QStringLiteral("「%1」").arg(ch);
    return QStringLiteral("タイトルの%1は、メールの見出しの区切りに使われるため使えません。\n"
                          "タイトルがそこで切れてしまいます。別の記号か言葉に置き換えてください。")
        .arg(shown);
}

QString TitleSplitByCharacter(const QString& ch) {
    return QStringLiteral("タイトルの「%1」は、このままでは送れません。\n"
                          "この文字はメールの中で見出しの区切りと重なり、タイトルがそこで二つに切れて"
                          "しまいます。\n"
                          "別の言葉に言い換えるか、かなで書いてください。")
        .arg(ch);
}

QString SearchPlaceholder() {
    return QStringLiteral("検索（メール名・送信者・受信者・本文）");
}

QString SearchTip() {
    return QStringLiteral("入力した文字を含むメールだけを表示します（Ctrl+F、Escで解除）");
}

QString MatchCount(int count) {
    return QStringLiteral("該当 %1 通").arg(count);
}

QString BoxOrder() {
    return QStringLiteral("新しい順に戻す");
}

QString UnopenedAmongMany() {
    return QStringLiteral("（まだ開いていないメールです。このメールだけを選ぶと開きます）");
}

QString ConfirmDeleteSelected(int count) {
    return QStringLiteral("選択した%1通のメールを削除します。元に戻せません。よろしいですか？").arg(count);
}

QString RetryButton() {
    return QStringLiteral("再試行");
}

QString DontSaveButton() {
    return QStringLiteral("保存しない");
}

QString YesButton() {
    return QStringLiteral("はい");
}

QString NoButton() {
    return QStringLiteral("いいえ");
}

QString BoxFull(const QString& boxName) {
    return QStringLiteral("%1がいっぱいです。不要なメールを削除してください。").arg(boxName);
}

QString InfoCaption() {
    return QStringLiteral("Varnel-[情報]");
}

QString TitleCaption() {
    return QStringLiteral("Varnel-[タイトル入力]");
}

QString SettingCaption() {
    return QStringLiteral("Varnel-[設定]");
}

QString EmptyTitle() {
    return QStringLiteral("タイトルを入力してください");
}

QString HelpCaption() {
    return QStringLiteral("Varnel ヘルプ");
}

QString OpenAction() {
    return QStringLiteral("開く");
}

QString UnknownError() {
    return QStringLiteral("不明なエラーです.");
}

} // namespace varnel::texts
