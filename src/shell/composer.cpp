#include "shell/composer.h"

#include "network/netprovider.h"
#include "shell/deliverytexts.h"
#include "shell/maillistmodel.h"
#include "shell/mailviews.h"
#include "shell/networktree.h"
#include "shell/prompt.h"
#include "shell/texts.h"
#include "shell/titlecheck.h"
#include "shell/titledialog.h"
#include "shell/varnel.h"
#include "text/cp932.h"

#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStringList>
#include <algorithm>

namespace varnel {
namespace {

// How long the word after 送信 stays in the status bar; the count of waiting copies stays beside it.
constexpr int kSentWordMs = 30'000;

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
bool Composer::SaveWithoutSending() {
    if (m_views.CurrentView() == View::Send) {
        // Every selected copy on its way is kept unsent: its tries stop.
        bool kept = false;
        for (const int r : m_views.SelectedRecords())
            kept = m_app.Post().KeepUnsent(r) || kept;
        if (kept)
            m_views.RefillKeepingSelection();
        return kept;
    }
    if (m_views.CurrentView() != View::Make || !m_app.Post().MailBoxesOpen())
        return false;
    QList<Recipient> rows;
    QByteArray body;
    QString bad;
    if (!RowBytes(rows) || rows.isEmpty())
        return false;
    if (!BodyBytes(m_memo.toPlainText(), body, bad)) {
        RefuseCharacter(bad, texts::MailPart::Body);
        return false;
    }
    if (!CheckOutgoing(rows, body, false))
        return false;
    if (m_app.Post().SaveWithoutSending(rows, body).boxFull) {
        TellBoxFull(*m_app.Platform().prompt, &m_owner, texts::SendBoxName());
        return false; // the mail stays on the screen: not every copy is kept
    }
    m_views.ShowView();
    return true;
}

// Asks for the title first when the machine is the first recipient; a machine already among the
// recipients is not added twice.
void Composer::AddRecipient() {
    if (m_views.CurrentView() != View::Make)
        return;
    const int host = m_network.CurrentHost();
    if (host < 0)
        return;
    // A copy: the tables follow the network while the title dialog is open.
    const QByteArray name = m_app.Post().HostName(host);
    for (int r = 0; r < m_model.rowCount(); ++r) {
        if (m_model.RecipientBytes(r) == name)
            return;
    }
    TitleDialog& title = m_app.TitleWindow();
    // A cancelled title dialog adds no recipient.
    if (m_model.rowCount() == 0 && title.exec() != QDialog::Accepted)
        return;
    m_model.AppendRow(title.Title(), m_app.Post().LocalHostName(), name);
}

void Composer::Warn(const QString& text) {
    m_app.Platform().prompt->Show(&m_owner, text, texts::Caption(), QMessageBox::Warning);
}

void Composer::RefuseCharacter(const QString& ch, texts::MailPart where) {
    Warn(texts::Unencodable(where, texts::CharacterName(ch)));
}

// The recipient rows as bytes: title, sender, recipient. False (and the person told) when a title
// holds a character without a CP932 form.
bool Composer::RowBytes(QList<Recipient>& rows) {
    rows.clear();
    for (int r = 0; r < m_model.rowCount(); ++r) {
        QByteArray title;
        QString bad;
        if (!cp932::Encode(m_model.Title(r), title, &bad)) {
            RefuseCharacter(bad, texts::MailPart::Title);
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
    const texts::MailPart parts[] = {texts::MailPart::Title, texts::MailPart::Sender,
                                     texts::MailPart::Recipient};
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
                Warn(texts::TitleRefused(TitleTrouble(text), sending));
                return false;
            }
            Warn(texts::ReservedInField(parts[f], text, texts::CharacterName(ch), sending));
            return false;
        }
        const Courier::Refusal size = PostOffice::CheckSize(row, body);
        if (size == Courier::Refusal::HeaderTooLong) {
            Warn(texts::HeaderTooLong(sending, kMaxHeader));
            return false;
        }
        if (size == Courier::Refusal::MailTooLong) {
            Warn(texts::BodyTooLong(sending, CharactersOver(row), kMaxOutgoingMail));
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
        Warn(texts::ReservedInBody(texts::CharacterName(ch), sending));
        return false;
    }
    return true;
}

// Sends the new mail to every recipient row. Every copy is stored as on its way (Sent): those that
// could not leave now go with the retries, and are named; then the rows and the text are cleared.
bool Composer::SendComposed() {
    if (!m_app.Post().CanSend() || m_views.CurrentView() != View::Make)
        return false;
    if (m_model.rowCount() == 0) {
        Warn(texts::NoRecipient());
        return false;
    }
    QList<Recipient> rows;
    QByteArray body;
    QString bad;
    if (!RowBytes(rows))
        return false;
    if (!BodyBytes(m_memo.toPlainText(), body, bad)) {
        RefuseCharacter(bad, texts::MailPart::Body);
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
    SaySent(result.sent, result.failed);
    if (!unsent.isEmpty() || !stopped.isEmpty())
        TellUnsent(unsent, stopped);
    return true;
}

void Composer::SaySent(int sent, int waiting) {
    if (auto* window = qobject_cast<QMainWindow*>(&m_owner))
        window->statusBar()->showMessage(texts::SentCount(sent, waiting), kSentWordMs);
}

// How many characters at the end of the text must go for the mail to row to fit: the most
// characters from the start that still fit are found by halving.
int Composer::CharactersOver(const Recipient& row) const {
    const QString text = m_memo.toPlainText();
    const auto fits = [&](qsizetype keep) {
        QByteArray body;
        QString bad;
        return BodyBytes(text.left(keep), body, bad) &&
               PostOffice::CheckSize(row, body) == Courier::Refusal::Ok;
    };
    qsizetype low = 0;            // fits (an empty text always does once the header does)
    qsizetype high = text.size(); // does not fit
    while (high - low > 1) {
        const qsizetype middle = low + (high - low) / 2;
        (fits(middle) ? low : high) = middle;
    }
    return int(text.size() - low);
}

// Every selected copy goes again; those that could not leave are named in one box.
bool Composer::SendSelected() {
    const std::vector<int> selected = m_views.SelectedRecords();
    if (!m_app.Post().CanSend() || selected.empty())
        return false;
    QList<QByteArray> unsent;
    int sent = 0;
    for (int r : selected) {
        if (m_app.Post().SendAgain(r))
            ++sent;
        else if (m_app.Post().StatusOf(Box::Send, r) == Sent) // waits, goes with the retries
            unsent.append(m_app.Post().HeaderOf(Box::Send, r).recipient);
    }
    if (selected.size() > 1 && sent > 0)
        m_views.RefillKeepingSelection(); // the copies show as sent
    SaySent(sent, int(unsent.size()));
    if (!unsent.isEmpty())
        TellUnsent(unsent);
    return sent > 0;
}

bool Composer::KnownStopped(const QByteArray& host) const {
    NetProvider* provider = m_app.Platform().provider;
    return provider && provider->PresenceOf(host) == Presence::NotRunning;
}

void Composer::TellUnsent(const QList<QByteArray>& recipients, const QList<QByteArray>& stopped) {
    Warn(delivery::AfterSending(recipients, stopped));
}

void Composer::Reply() {
    const int r = m_views.SelectedRow();
    if (m_views.CurrentView() != View::Read || r < 0 || !m_app.Post().MailBoxesOpen())
        return;
    const PostOffice::ReplyHeader reply = m_app.Post().ReplyTo(r);
    const QString title = ReplyTitle(cp932::Decode(reply.title), reply.titleRoom);
    m_views.SwitchTo(View::Make); // brings back the mail being written, if there is one
    if (m_model.rowCount() > 0 || !m_memo.toPlainText().isEmpty()) {
        // Saving needs a recipient row to keep the mail under: without one it is not offered.
        const bool canSave = m_model.rowCount() > 0;
        QStringList choices = {texts::KeepWriting()};
        if (canSave)
            choices.append(texts::SaveDraftAndReply());
        choices.append(texts::DiscardDraftAndReply());
        const int chosen = m_app.Platform().prompt->AskChoice(&m_owner, texts::DraftBeforeReply(),
                                                              texts::Caption(), choices);
        if (chosen <= 0 || chosen >= choices.size())
            return; // the mail being written stays as it is
        if (canSave && chosen == 1 && !SaveWithoutSending())
            return;
    }
    // The reply begins empty: nothing of another mail goes out under its recipient.
    m_model.ClearRows();
    m_memo.clear();
    m_model.AppendRow(title, m_app.Post().LocalHostName(), reply.recipient);
    m_app.TitleWindow().SetTitle(title);
    m_memo.setFocus(Qt::ShortcutFocusReason);
}

} // namespace varnel
