#include "network/hostdetect.h"
#include "shell/icons.h"
#include "shell/maillistmodel.h"
#include "shell/mainwindow.h"
#include "shell/prompt.h"
#include "shell/titledialog.h"
#include "shell/varnel.h"
#include "store/mailrecord.h"
#include "text/cp932.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

namespace varnel {
namespace {

const QString kTitle = QStringLiteral("Varnel for Windows95");

// The character of text whose CP932 form holds the byte at bytePos.
QString CharacterAt(const QString& text, qsizetype bytePos) {
    qsizetype bytes = 0;
    for (qsizetype k = 0; k < text.size();) {
        const qsizetype width = text.at(k).isHighSurrogate() && k + 1 < text.size() ? 2 : 1;
        const QString ch = text.mid(k, width);
        QByteArray encoded;
        cp932::Encode(ch, encoded);
        bytes += qMax<qsizetype>(encoded.size(), 1);
        if (bytes > bytePos)
            return ch;
        k += width;
    }
    return {};
}

QString Describe(const QString& ch) {
    if (ch.isEmpty())
        return QStringLiteral("?");
    const char32_t code = ch.toUcs4().value(0);
    const QString hex = QStringLiteral("%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    if (code < 0x20)
        return QStringLiteral("制御文字 U+%1").arg(hex);
    return QStringLiteral("「%1」(U+%2)").arg(ch, hex);
}

} // namespace

void TForm1::Mn_MailSendClick() {
    switch (CurrentView()) {
    case View::Read:
        return;
    case View::Make:
        SendComposed();
        return;
    case View::Send:
        SendSelected();
        return;
    }
}

void TForm1::RefuseCharacter(const QString& ch, const QString& where) {
    m_app.services.prompt->Show(this,
                                QStringLiteral("%1に Shift-JIS で表せない文字 %2 が含まれています。\n"
                                               "この文字を別の文字に置き換えてください。")
                                    .arg(where, Describe(ch)),
                                kTitle, QMessageBox::Warning);
}

// The recipient rows as bytes: title, sender, recipient. False (and the person told) when a title
// holds a character without a CP932 form.
bool TForm1::RowBytes(QList<Recipient>& rows) {
    rows.clear();
    for (int r = 0; r < LV_Model->rowCount(); ++r) {
        QByteArray title;
        QString bad;
        if (!cp932::Encode(LV_Model->Title(r), title, &bad)) {
            RefuseCharacter(bad, QStringLiteral("タイトル"));
            return false;
        }
        rows.append({title, LV_Model->SenderBytes(r), LV_Model->RecipientBytes(r)});
    }
    return true;
}

// A field may not hold the separator or the marks, a body not the marks, and the whole must fit the
// limits of a datagram. Common kanji such as 表, 能, ソ and 予 end in the separator byte in CP932, so
// the message names the character and says why.
bool TForm1::CheckOutgoing(const QList<Recipient>& rows, const QByteArray& body, bool sending) {
    const QString fieldNames[] = {QStringLiteral("タイトル"), QStringLiteral("送信者"),
                                  QStringLiteral("受信者")};
    const QString verb = sending ? QStringLiteral("送信") : QStringLiteral("保存");
    for (const Recipient& row : rows) {
        const QByteArray* fields[] = {&row.title, &row.sender, &row.recipient};
        for (int f = 0; f < 3; ++f) {
            const QByteArray& field = *fields[f];
            const qsizetype at = FirstReservedInField(field);
            if (at < 0)
                continue;
            const QString text = cp932::Decode(field);
            const QString ch = CharacterAt(text, at);
            QString why;
            if (field.at(at) == kSeparator && ch != QStringLiteral("\\"))
                why = QStringLiteral(
                    "この文字は Shift-JIS で 2 バイト目が区切り記号 \\ (0x5C) と同じになるため、"
                    "メールの見出しに使えません（表・能・ソ・予 などがこれに当たります）。\n"
                    "別の言葉に言い換えてください。");
            else if (field.at(at) == kSeparator)
                why = QStringLiteral("\\ はメールの見出しの区切り記号なので使えません。");
            else
                why = QStringLiteral("この文字はメールの区切りに使われるため使えません。");
            m_app.services.prompt->Show(this,
                                        QStringLiteral("%1「%2」の %3 のため%4できません。\n%5")
                                            .arg(fieldNames[f], text, Describe(ch), verb, why),
                                        kTitle, QMessageBox::Warning);
            return false;
        }
        const Courier::Refusal size = Courier::CheckSize(row, body);
        if (size == Courier::Refusal::HeaderTooLong) {
            m_app.services.prompt->Show(
                this,
                QStringLiteral("タイトルが長すぎるため%1できません。\n"
                               "見出し（タイトル・送信者・受信者・時刻）は合わせて %2 "
                               "バイトまでです。")
                    .arg(verb)
                    .arg(kMaxHeader),
                kTitle, QMessageBox::Warning);
            return false;
        }
        if (size == Courier::Refusal::MailTooLong) {
            m_app.services.prompt->Show(
                this,
                QStringLiteral("本文が長すぎるため%1できません。\n1 通のメールは %2 バイトまでです。")
                    .arg(verb)
                    .arg(kMaxOutgoingMail),
                kTitle, QMessageBox::Warning);
            return false;
        }
    }
    if (FirstReservedInBody(body) >= 0) {
        // Only the control characters BEL, BS and NUL give these bytes in a body.
        const QString text = Mm_Message->toPlainText();
        const auto reserved = std::find_if(text.cbegin(), text.cend(), [](QChar c) {
            return c.unicode() == kRecordMark || c.unicode() == kHeaderEnd || c.unicode() == 0;
        });
        const QString ch = reserved != text.cend() ? QString(*reserved) : QString();
        m_app.services.prompt->Show(
            this,
            QStringLiteral("本文に %1 が含まれているため%2できません。\n"
                           "この文字はメールの区切りに使われます。取り除いてください。")
                .arg(Describe(ch), verb),
            kTitle, QMessageBox::Warning);
        return false;
    }
    return true;
}

// Sends the new mail to every recipient row. Copies that left are stored as Sent, copies that did
// not as Saved, so none is lost; then the rows and the text are cleared.
bool TForm1::SendComposed() {
    if (!m_app.courier || !m_app.netBrowser.NetworkFound || CurrentView() != View::Make ||
        LV_Model->rowCount() == 0)
        return false;
    QList<Recipient> rows;
    QByteArray body;
    QString bad;
    if (!RowBytes(rows))
        return false;
    if (!MessageBytes(body, bad)) {
        RefuseCharacter(bad, QStringLiteral("本文"));
        return false;
    }
    if (!CheckOutgoing(rows, body, true))
        return false;
    const Courier::ComposeResult result = m_app.courier->SendComposed(rows, body);
    if (!result.processed)
        return false;
    if (result.notStored > 0)
        TellBoxFull(QStringLiteral("送信BOX"));
    LV_Model->ClearRows();
    Mm_Message->clear();
    return true;
}

bool TForm1::SendSelected() {
    if (!m_app.courier || !m_app.netBrowser.NetworkFound)
        return false;
    const int r = SelectedRow();
    if (r < 0)
        return false;
    return m_app.courier->SendSelected(r);
}

// Every 2000 ms: take in what arrived, announce new mail, refill the list, and show by the icon
// whether unread mail waits.
void TForm1::Tm_CheckMailTimer() {
    if (m_closed || !m_app.courier)
        return;
    const Courier::CheckResult result = m_app.courier->CheckMail();
    // A write to disk that began to fail is told once; the store tries again at every tick.
    if (const QString notice = m_app.store ? m_app.store->TakeNotice() : QString(); !notice.isEmpty()) {
        m_app.services.prompt->Show(this, notice, QStringLiteral("ﾛｰｶﾙｴﾗｰ"), QMessageBox::Warning);
        if (m_closed || !m_app.courier)
            return;
    }
    if (result.receiveBoxFull && !m_fullTold) {
        m_fullTold = true;
        TellBoxFull(QStringLiteral("受信BOX"));
    }
    if (result.newCount > 0 && m_app.Settings.Popup) {
        // The box runs its own loop and ticks go on meanwhile; this run is done with what it read.
        m_app.services.prompt->Show(
            this, QString::number(result.newCount) + QStringLiteral("通のメールが届きました"), kTitle,
            QMessageBox::Information, m_app.Settings.Front);
        if (m_closed || !m_app.courier)
            return;
    }
    if (result.takenIn && CurrentView() != View::Make)
        ShowView();
    ApplyIcon(m_app.courier->HasUnread());
    UpdateTrayIcon();
}

void TForm1::ApplyIcon(bool unread) {
    if (unread == m_unreadIcon && m_iconApplied)
        return;
    m_iconApplied = true;
    m_unreadIcon = unread;
    setWindowIcon(icons::MailState(unread));
}

// Rebuilds the tree from a fresh listing: workgroups at the top, their machines under them.
bool TForm1::FillNetworkTree() {
    TV_Network->clear();
    HostNodes = QList<QTreeWidgetItem*>(NetBrowser::kTableSize, nullptr);
    NetBrowser& net = m_app.netBrowser;
    if (net.Enumerate() == 0)
        return false;
    for (int i = 1; i <= net.GroupCount; ++i) {
        auto* group = new QTreeWidgetItem(TV_Network, {cp932::Decode(net.GroupNames[i])});
        for (int j = 1; j <= net.HostCount; ++j) {
            if (net.HostGroups[j] == i)
                HostNodes[j] = new QTreeWidgetItem(group, {cp932::Decode(net.HostNames[j])});
        }
    }
    return true;
}

bool TForm1::DetectLocalHostName() {
    return varnel::DetectLocalHostName(m_app.mailSlot, m_app.netBrowser, m_app.LocalHostName);
}

void TForm1::Mn_ViewNetClick() {
    FillNetworkTree();
    DetectLocalHostName();
}

// Adds the double-clicked machine as a recipient of the mail being written, asking for the title
// first when it is the first recipient.
void TForm1::TV_NetworkDblClick() {
    if (CurrentView() != View::Make)
        return;
    QTreeWidgetItem* node = TV_Network->currentItem();
    if (!node)
        return;
    const NetBrowser& net = m_app.netBrowser;
    int host = -1;
    for (int j = 1; j <= net.HostCount && j < HostNodes.size(); ++j) {
        if (HostNodes[j] == node) {
            host = j;
            break;
        }
    }
    if (host < 0)
        return;
    for (int r = 0; r < LV_Model->rowCount(); ++r) {
        if (LV_Model->RecipientBytes(r) == net.HostNames[host])
            return;
    }
    if (LV_Model->rowCount() == 0)
        m_app.Frm_Title->exec();
    LV_Model->AppendRow(m_app.Frm_Title->Title(), m_app.LocalHostName, net.HostNames[host]);
}

} // namespace varnel
