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

} // namespace varnel::texts
