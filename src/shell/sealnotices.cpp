#include "shell/sealnotices.h"

#include "shell/prompt.h"
#include "text/cp932.h"

#include <QStringList>

namespace varnel {

namespace {

QString Caption() {
    return QStringLiteral("Varnel-[封印]");
}

} // namespace

namespace sealtexts {

QString SealedOnlyOption() {
    return QStringLiteral("封印メールのみ");
}

QString FingerprintLines(const QByteArray& fingerprint) {
    const QStringList groups = QString::fromLatin1(fingerprint).split(QLatin1Char(' '));
    if (groups.size() != 12)
        return QString::fromLatin1(fingerprint);
    return groups.mid(0, 6).join(QLatin1Char(' ')) + QLatin1Char('\n') + groups.mid(6).join(QLatin1Char(' '));
}

QString OwnFingerprint(const SealDesk* desk) {
    if (!desk)
        return QStringLiteral("このパソコンの鍵: なし (メールは封印されません)");
    return QStringLiteral("このパソコンの鍵の指紋:\n") + FingerprintLines(desk->OwnFingerprint());
}

QString MachineTip(const SealDesk* desk, const QByteArray& host, const QString& shownName) {
    const QByteArray fingerprint = desk ? desk->FingerprintOf(host) : QByteArray();
    if (fingerprint.isEmpty())
        return shownName + QStringLiteral("\n鍵: 未登録 (メールは封印されません)");
    return shownName + QStringLiteral("\n鍵の指紋:\n") + FingerprintLines(fingerprint);
}

QString MailMark(const SealDesk* desk, Seal arrived) {
    if (!desk)
        return {};
    switch (arrived) {
    case Seal::Pinned:
        return {};
    case Seal::Unpinned:
        return QStringLiteral("[鍵が違う]");
    case Seal::Plain:
        break;
    }
    return QStringLiteral("[封印なし]");
}

QString SentMark(const SealDesk* desk, bool wentSealed) {
    return !desk || wentSealed ? QString() : QStringLiteral("[封印なし]");
}

QString KeyChanged(const SealDesk::KeyChange& change, const QString& shownName) {
    return shownName +
           QStringLiteral(" の鍵が変わりました。\n"
                          "別のパソコンがこの名前を名乗っているおそれがあります。\n\n"
                          "登録済みの鍵の指紋:\n") +
           FingerprintLines(change.pinnedFingerprint) + QStringLiteral("\n\n新しい鍵の指紋:\n") +
           FingerprintLines(change.newFingerprint) +
           QStringLiteral("\n\n新しい鍵で届いたメールは「鍵が違う」と示されます。\n"
                          "相手に指紋を声で確かめてから受け入れてください。\n"
                          "新しい鍵を受け入れますか?");
}

QString PlainRefused(const SealingEndpoint::Refusals& refusals) {
    QStringList lines;
    if (refusals.plainIn > 0)
        lines.append(QString::number(refusals.plainIn) +
                     QStringLiteral("通の封印されていないメールを受け取りませんでした。"));
    if (refusals.plainOut > 0)
        lines.append(
            QString::number(refusals.plainOut) +
            QStringLiteral("通のメールは相手の鍵がわからないため送りませんでした (送信BOXに残っています)。"));
    if (lines.isEmpty())
        return {};
    lines.append(QStringLiteral("設定「封印メールのみ」がオンです。"));
    return lines.join(QLatin1Char('\n'));
}

QString IdentityTrouble(const KeyFiles::IdentityResult& result) {
    QString what;
    switch (result.outcome) {
    case KeyFiles::Outcome::Loaded:
    case KeyFiles::Outcome::Created:
        return {};
    case KeyFiles::Outcome::Unreadable:
        what = QStringLiteral("鍵ファイルを読めません");
        break;
    case KeyFiles::Outcome::Damaged:
        what = QStringLiteral("鍵ファイルが壊れています");
        break;
    case KeyFiles::Outcome::NotWritten:
        what = QStringLiteral("鍵ファイルを作れません");
        break;
    }
    QString text = what + QStringLiteral(":\n") + result.path;
    if (!result.error.isEmpty())
        text += QStringLiteral("\n(") + result.error + QLatin1Char(')');
    return text + QStringLiteral("\n\nこのままではメールは封印されません。鍵ファイルは書き換えません。\n"
                                 "新しい鍵を作るには、このファイルを移してから起動し直してください"
                                 " (他のパソコンでは鍵が変わったと示されます)。");
}

} // namespace sealtexts

void SealNotices::AfterCheck() {
    if (!m_desk)
        return;
    for (const SealDesk::KeyChange& change : m_desk->TakeKeyChanges()) {
        const QString name = cp932::Decode(change.name);
        qWarning("sealed mail: the key of %s changed (pinned %s, new %s)", change.name.constData(),
                 change.pinnedFingerprint.constData(), change.newFingerprint.constData());
        if (m_prompt.AskYesNo(m_owner, sealtexts::KeyChanged(change, name), Caption()))
            m_desk->AcceptKey(change.name);
    }
    const SealingEndpoint::Refusals now = m_desk->TakeRefusals();
    m_untold.plainIn += now.plainIn;
    m_untold.plainOut += now.plainOut;
    if (m_lastTold.isValid() && m_lastTold.elapsed() < kRefusalPauseMs)
        return;
    const QString refused = sealtexts::PlainRefused(m_untold);
    if (refused.isEmpty())
        return;
    m_prompt.Notice(m_owner, refused, Caption(), QMessageBox::Warning, false);
    m_untold = {};
    m_lastTold.start();
}

} // namespace varnel
