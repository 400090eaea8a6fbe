#include "shell/composer.h"

#include "network/netprovider.h"
#include "shell/maillistmodel.h"
#include "shell/mailviews.h"
#include "shell/networktree.h"
#include "shell/prompt.h"
#include "shell/texts.h"
#include "shell/titlecheck.h"
#include "shell/titledialog.h"
#include "shell/varnel.h"
#include "text/cp932.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <algorithm>

namespace varnel {
namespace {

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

bool BodyBytes(const QString& memoText, QByteArray& body, QString& badChar) {
    body.clear();
    badChar.clear();
    QString text = memoText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.replace(QChar::LineSeparator, QChar(u'\n'));
    text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    if (text.isEmpty())
        return true;
    // The memo's line list: every logical line, the empty one after a final line break left out.
    QStringList lines = text.split(QChar(u'\n'));
    if (lines.size() > 1 && lines.constLast().isEmpty())
        lines.removeLast();
    QString joined;
    for (const QString& line : std::as_const(lines)) {
        joined += line;
        joined += QStringLiteral("\r\n");
    }
    QByteArray bytes;
    if (!cp932::Encode(joined, bytes, &badChar))
        return false;
    body = bytes;
    return true;
}

Composer::Composer(Varnel& app, QWidget& owner, MailViews& views, MailListModel& model, QPlainTextEdit& memo,
                   NetworkTree& network)
    : m_app(app), m_owner(owner), m_views(views), m_model(model), m_memo(memo), m_network(network) {}

void Composer::Send() {
    switch (m_views.CurrentView()) {
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

void Composer::SendFromList() {
    if (m_views.CurrentView() == View::Make)
        SendComposed();
    else if (m_views.CurrentView() == View::Send)
        SendSelected(); // the receive box holds nothing to send: its rows are not send box records
}

// With no recipient rows nothing is stored and the text stays.
void Composer::SaveWithoutSending() {
    if (m_views.CurrentView() != View::Make || !m_app.Post().MailBoxesOpen())
        return;
    QList<Recipient> rows;
    QByteArray body;
    QString bad;
    if (!RowBytes(rows) || rows.isEmpty())
        return;
    if (!BodyBytes(m_memo.toPlainText(), body, bad)) {
        RefuseCharacter(bad, QStringLiteral("本文"));
        return;
    }
    if (!CheckOutgoing(rows, body, false))
        return;
    if (m_app.Post().SaveWithoutSending(rows, body).boxFull)
        TellBoxFull(*m_app.Platform().prompt, &m_owner, texts::SendBoxName());
    m_views.ShowView();
}

// Asks for the title first when the machine is the first recipient; a machine already among the
// recipients is not added twice.
void Composer::AddRecipient() {
    if (m_views.CurrentView() != View::Make)
        return;
    const int host = m_network.CurrentHost();
    if (host < 0)
        return;
    const QByteArray name = m_app.Post().HostName(host);
    for (int r = 0; r < m_model.rowCount(); ++r) {
        if (m_model.RecipientBytes(r) == name)
            return;
    }
    TitleDialog& title = m_app.TitleWindow();
    if (m_model.rowCount() == 0)
        title.exec();
    m_model.AppendRow(title.Title(), m_app.Post().LocalHostName(), name);
}

void Composer::Warn(const QString& text) {
    m_app.Platform().prompt->Show(&m_owner, text, texts::Caption(), QMessageBox::Warning);
}

void Composer::RefuseCharacter(const QString& ch, const QString& where) {
    Warn(QStringLiteral("%1に Shift-JIS で表せない文字 %2 が含まれています。\n"
                        "この文字を別の文字に置き換えてください。")
             .arg(where, Describe(ch)));
}

// The recipient rows as bytes: title, sender, recipient. False (and the person told) when a title
// holds a character without a CP932 form.
bool Composer::RowBytes(QList<Recipient>& rows) {
    rows.clear();
    for (int r = 0; r < m_model.rowCount(); ++r) {
        QByteArray title;
        QString bad;
        if (!cp932::Encode(m_model.Title(r), title, &bad)) {
            RefuseCharacter(bad, QStringLiteral("タイトル"));
            return false;
        }
        rows.append({title, m_model.SenderBytes(r), m_model.RecipientBytes(r)});
    }
    return true;
}

// A field may not hold the separator or the marks, a body not the marks, and the whole must fit the
// limits of a datagram. Common kanji such as 表, 能, ソ and 予 end in the separator byte in CP932, so
// the message names the character and says why.
bool Composer::CheckOutgoing(const QList<Recipient>& rows, const QByteArray& body, bool sending) {
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
            if (f == 0) {
                Warn(TitleTrouble(text) + QStringLiteral("\n（%1できません）").arg(verb));
                return false;
            }
            Warn(QStringLiteral("%1「%2」の %3 はメールの見出しの区切りに使われるため、%4できません。")
                     .arg(fieldNames[f], text, Describe(ch), verb));
            return false;
        }
        const Courier::Refusal size = PostOffice::CheckSize(row, body);
        if (size == Courier::Refusal::HeaderTooLong) {
            Warn(QStringLiteral("タイトルが長すぎるため%1できません。\n"
                                "見出し（タイトル・送信者・受信者・時刻）は合わせて %2 "
                                "バイトまでです。")
                     .arg(verb)
                     .arg(kMaxHeader));
            return false;
        }
        if (size == Courier::Refusal::MailTooLong) {
            Warn(QStringLiteral("本文が長すぎるため%1できません。\n1 通のメールは %2 バイトまでです。")
                     .arg(verb)
                     .arg(kMaxOutgoingMail));
            return false;
        }
    }
    if (FirstReservedInBody(body) >= 0) {
        // Only the control characters BEL, BS and NUL give these bytes in a body.
        const QString text = m_memo.toPlainText();
        const auto reserved = std::find_if(text.cbegin(), text.cend(), [](QChar c) {
            return c.unicode() == kRecordMark || c.unicode() == kHeaderEnd || c.unicode() == 0;
        });
        const QString ch = reserved != text.cend() ? QString(*reserved) : QString();
        Warn(QStringLiteral("本文に %1 が含まれているため%2できません。\n"
                            "この文字はメールの区切りに使われます。取り除いてください。")
                 .arg(Describe(ch), verb));
        return false;
    }
    return true;
}

// Sends the new mail to every recipient row. Copies that left are stored as Sent, copies that did
// not as Saved, so none is lost; then the rows and the text are cleared.
bool Composer::SendComposed() {
    if (!m_app.Post().CanSend() || m_views.CurrentView() != View::Make || m_model.rowCount() == 0)
        return false;
    QList<Recipient> rows;
    QByteArray body;
    QString bad;
    if (!RowBytes(rows))
        return false;
    if (!BodyBytes(m_memo.toPlainText(), body, bad)) {
        RefuseCharacter(bad, QStringLiteral("本文"));
        return false;
    }
    if (!CheckOutgoing(rows, body, true))
        return false;
    const Courier::ComposeResult result = m_app.Post().SendNew(rows, body);
    if (!result.processed)
        return false;
    if (result.notStored > 0)
        TellBoxFull(*m_app.Platform().prompt, &m_owner, texts::SendBoxName());
    QList<QByteArray> unsent;
    QList<QByteArray> stopped;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QByteArray& host = rows.at(r).recipient;
        if (result.failedRows.contains(int(r)))
            unsent.append(host);
        else if (KnownStopped(host))
            stopped.append(host);
    }
    m_model.ClearRows();
    m_memo.clear();
    if (!unsent.isEmpty() || !stopped.isEmpty())
        TellUnsent(unsent, stopped);
    return true;
}

bool Composer::SendSelected() {
    const int r = m_views.SelectedRow();
    if (!m_app.Post().CanSend() || r < 0)
        return false;
    if (m_app.Post().SendAgain(r))
        return true;
    if (m_app.Post().StatusOf(Box::Send, r) == Saved)
        TellUnsent({m_app.Post().HeaderOf(Box::Send, r).recipient});
    return false;
}

bool Composer::KnownStopped(const QByteArray& host) const {
    NetProvider* provider = m_app.Platform().provider;
    return provider && provider->PresenceOf(host) == Presence::NotRunning;
}

void Composer::TellUnsent(const QList<QByteArray>& recipients, const QList<QByteArray>& stopped) {
    const auto lines = [this](const QList<QByteArray>& hosts) {
        QStringList list;
        for (const QByteArray& host : hosts) {
            QString line = QStringLiteral("・") + cp932::Decode(host);
            if (KnownStopped(host))
                line += QStringLiteral("（この相手の Varnel は起動していません）");
            list.append(line);
        }
        return list.join(u'\n');
    };
    QStringList parts;
    if (!recipients.isEmpty())
        parts.append(QStringLiteral("次の宛先へはメールを送れませんでした。\n%1\n"
                                    "このメールは送信BOXに「保存」として残してあります。"
                                    "送信BOXで選んで「送信」すると、送り直せます。")
                         .arg(lines(recipients)));
    if (!stopped.isEmpty())
        parts.append(
            QStringLiteral("次の宛先では Varnel が起動していないため、メールは届かないかもしれません。\n%1\n"
                           "届くと送信BOXの絵が封筒に変わります。変わらないときは、相手が起動してから"
                           "送信BOXで選んで「送信」してください。")
                .arg(lines(stopped)));
    Warn(parts.join(QStringLiteral("\n\n")));
}

void Composer::Reply() {
    const int r = m_views.SelectedRow();
    if (m_views.CurrentView() != View::Read || r < 0 || !m_app.Post().MailBoxesOpen())
        return;
    const PostOffice::ReplyHeader reply = m_app.Post().ReplyTo(r);
    const QString title = ReplyTitle(cp932::Decode(reply.title), reply.titleRoom);
    m_views.SwitchTo(View::Make);
    m_model.ClearRows();
    m_model.AppendRow(title, m_app.Post().LocalHostName(), reply.recipient);
    m_app.TitleWindow().SetTitle(title);
    m_memo.setFocus(Qt::ShortcutFocusReason);
}

} // namespace varnel
