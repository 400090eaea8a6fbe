#include "shell/deliverytexts.h"

#include "clock.h"
#include "text/cp932.h"

#include <QStringList>

namespace varnel::delivery {

namespace {

// One line per copy: its title, its recipient and its send time.
QString CopyLines(const QList<QByteArray>& keys) {
    QStringList lines;
    for (const QByteArray& key : keys) {
        const QList<QByteArray> parts = key.split('\\');
        lines.append(QStringLiteral("・「%1」→ %2（%3 送信）")
                         .arg(cp932::Decode(parts.value(0)), cp932::Decode(parts.value(2)),
                              QString::fromLatin1(parts.value(3))));
    }
    return lines.join(u'\n');
}

QString HostLines(const QList<QByteArray>& hosts) {
    QStringList lines;
    for (const QByteArray& host : hosts)
        lines.append(QStringLiteral("・") + cp932::Decode(host));
    return lines.join(u'\n');
}

} // namespace

QString WaitingTip(const RetrySchedule::Waiting& waiting) {
    if (!waiting.waiting)
        return {};
    QString tip =
        QStringLiteral("送信待ち: 届いた知らせを待っています（%1 回送りました）").arg(waiting.tries);
    if (waiting.behindOlder)
        return tip + QStringLiteral("\n相手から返事がないため、同じ相手への古いメールが届いてから送ります");
    return tip + QStringLiteral("\n次に送る時刻: %1").arg(waiting.next.toString(TimeFormat()));
}

QString WaitingCount(int count) {
    return count > 0 ? QStringLiteral("送信待ち %1通").arg(count) : QString();
}

QString LongWaiting(const QList<QByteArray>& keys) {
    return QStringLiteral("次のメールは 24 時間たっても相手に届いていません。\n%1\n"
                          "送信BOXで待ち、相手のパソコンにつながると自動で送られます。")
        .arg(CopyLines(keys));
}

QString GaveUp(const QList<QByteArray>& keys) {
    return QStringLiteral(
               "次のメールは 7 日間送りなおしても届かなかったため、送りなおすのをやめました。\n%1\n"
               "送信BOXで選んで「送信」すると、もう一度送ります。")
        .arg(CopyLines(keys));
}

QString Blocked(const QByteArray& host) {
    return QStringLiteral(
               "%1 の Varnel はネットワークに見えていますが、2 分以上のあいだ何度送っても返事がありません。\n"
               "このパソコンと %1 のあいだで UDP 20595 "
               "番がファイアウォールなどでふさがれている可能性があります。"
               "両方のパソコンで UDP 20595 の受信と送信を許可してください。")
        .arg(cp932::Decode(host));
}

QString AfterSending(const QList<QByteArray>& unsent, const QList<QByteArray>& stopped) {
    QStringList parts;
    if (!unsent.isEmpty())
        parts.append(QStringLiteral("次の宛先へは今はメールを送れませんでした。\n%1").arg(HostLines(unsent)));
    if (!stopped.isEmpty())
        parts.append(QStringLiteral("次の宛先では Varnel が起動していません。\n%1").arg(HostLines(stopped)));
    if (parts.isEmpty())
        return {};
    parts.append(QStringLiteral(
        "これらのメールは送信BOXで「送信待ち」として待ち、相手のパソコンにつながると自動で送られます。"
        "届くと送信BOXの絵が封筒に変わります。"));
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace varnel::delivery
