#include "transport/courier.h"

#include "clock.h"
#include "seal/sealmarks.h"
#include "store/mailbox.h"
#include "store/mailrecord.h"
#include "transport/mailslot.h"
#include "transport/textfields.h"

#include <chrono>
#include <utility>

namespace varnel {

namespace {

// A host name taken from a record or a header must fit the 80-byte host buffer peers use.
constexpr qsizetype kMaxHostName = 79;

// The letter of the datagram that acknowledges a read receipt: the read receipt's header with this
// letter, back to the mail's recipient. Copies that know only K, S, G and R ignore it.
constexpr char kAcknowledged = 'A';

// Part n of a header split at every separator: 2 is the sender, 3 the recipient.
QByteArray PartOf(QByteArrayView header, int n) {
    QByteArray part;
    if (!TextFields::NthField(part, header, kSeparator, n) || part.size() > kMaxHostName)
        return {};
    return part;
}

// A received mail is stored only when it is exactly one record: one record mark in front, one
// header end mark at the end of the header, no record mark in the body. Anything else would add
// or shift marks in the receive box, and every later record would be cut at the wrong place.
bool IsOneRecord(const QByteArray& header, const QByteArray& body) {
    return header.count(kRecordMark) == 1 && header.count(kHeaderEnd) == 1 && !body.contains(kRecordMark);
}

} // namespace

Courier::Courier(MailSlot& slot, MailBox& sendBox, MailBox& receiveBox, const Clock& clock,
                 std::function<bool()> networkFound, std::function<bool()> keep,
                 std::function<Presence(QByteArrayView)> presence)
    : m_slot(slot), m_sendBox(sendBox), m_receiveBox(receiveBox), m_clock(clock),
      m_networkFound(std::move(networkFound)), m_keep(std::move(keep)),
      m_received(std::make_unique<RecordPlaces>(receiveBox, [](char) { return true; })),
      m_schedule(std::make_unique<RetrySchedule>(sendBox, clock, std::move(presence))) {
    if (!m_keep)
        m_keep = [] { return true; };
    m_elapsedMs = [] {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
    };
}

Courier::~Courier() = default;

qint64 Courier::NowMs() const {
    return m_clock.Now().toMSecsSinceEpoch();
}

Courier::Refusal Courier::CheckSize(const Recipient& row, QByteArrayView body) {
    // The send time is not known yet: counted at the longest the clock writes it.
    const QByteArray header =
        BuildHeader(StatusLetter(Sent), row.title, row.sender, row.recipient, kLongestTime);
    if (header.size() > kMaxHeader)
        return Refusal::HeaderTooLong;
    if (header.size() + TextFields::UpToZero(body).size() + 1 > kMaxOutgoingMail)
        return Refusal::MailTooLong;
    return Refusal::Ok;
}

Courier::ComposeResult Courier::SendComposed(const QList<Recipient>& rows, QByteArrayView body) {
    ComposeResult result;
    if (!m_networkFound() || rows.isEmpty())
        return result;

    // One send time for every copy: the copies of one mail share it, and with it their keys differ
    // only in the recipient.
    const QByteArray sendTime = m_clock.TimeText();
    const QByteArrayView text = TextFields::UpToZero(body);
    QList<QByteArray> mails;
    for (const Recipient& row : rows) {
        QByteArray mail = BuildHeader(StatusLetter(Sent), row.title, row.sender, row.recipient, sendTime);
        // A copy that cannot go out as it stands stops the whole mail before anything is sent; the
        // caller asks CheckSize first and tells the user.
        if (mail.size() > kMaxHeader || mail.size() + text.size() + 1 > kMaxOutgoingMail)
            return result;
        mails.append(mail.append(text));
    }
    result.processed = true;

    for (qsizetype r = 0; r < rows.size(); ++r) {
        QByteArray& mail = mails[r];
        // Stored as on its way either way: a copy that cannot leave now (its name is not known
        // yet, say) goes with the retries.
        if (m_slot.Send(rows[r].recipient, mail)) {
            ++result.sent;
        } else {
            ++result.failed;
            result.failedRows.append(int(r));
        }
        if (!m_sendBox.Prepend(mail))
            ++result.notStored;
    }
    m_keep();
    return result;
}

bool Courier::SendSelected(int i) {
    if (!m_networkFound())
        return false;
    QByteArray stored;
    if (!m_sendBox.HeaderOf(i, stored))
        return false;
    const MailHeader mail = m_sendBox.Header(i);
    const QByteArray& recipient = mail.recipient;
    const QByteArray header =
        BuildHeader(StatusLetter(Sent), mail.title, mail.sender, recipient, mail.sendTime);
    // The body goes out byte for byte as stored, so it arrives as it was written.
    const QByteArray body = m_sendBox.Body(i);
    if (header.size() > kMaxHeader || header.size() + body.size() + 1 > kMaxOutgoingMail)
        return false;
    if (recipient.isEmpty() || recipient.size() > kMaxHostName)
        return false;
    const bool left = m_slot.Send(recipient, header + body);
    // On its way from now on, whether it left or not: the retries take it until it is answered.
    // The key is unchanged, so receipts for this copy still find the record.
    m_sendBox.ReplaceHeaderByKey(header);
    m_keep();
    return left;
}

bool Courier::KeepUnsent(int i) {
    if (m_sendBox.StatusOf(i) != Sent || !m_sendBox.SetStatusAt(i, Saved))
        return false;
    m_keep();
    return true;
}

bool Courier::SendDeliveryReceipt(QByteArray& header) {
    return SendReceipt(header, StatusLetter(Delivered));
}

bool Courier::SendReadReceipt(QByteArray& header) {
    // Repeated until the sender acknowledges it: a read receipt lost on the way is never sent again
    // by anything else.
    if (header.size() >= 2) {
        PendingReceipt pending{header, PartOf(header, 2), 1, NowMs() + RetrySchedule::PauseAfter(1)};
        pending.header[1] = StatusLetter(Opened);
        if (!pending.host.isEmpty())
            m_readReceipts.append(pending);
    }
    if (!m_keep()) {
        QByteArray held = header;
        if (held.size() >= 2)
            held[1] = StatusLetter(Opened);
        m_held.append(held);
        return false;
    }
    SendHeld();
    return SendReceipt(header, StatusLetter(Opened));
}

void Courier::SendHeld() {
    for (QByteArray& header : std::exchange(m_held, {})) {
        if (header.size() >= 2 && header[1] == kAcknowledged) {
            // Back to the mail's recipient, who sent the read receipt.
            if (const QByteArray host = PartOf(header, 3); !host.isEmpty() && m_networkFound())
                m_slot.SendWhenResolved(host, header);
            continue;
        }
        SendReceipt(header, header.size() >= 2 ? header[1] : StatusLetter(Delivered));
    }
}

bool Courier::SendReceipt(QByteArray& header, char letter) {
    if (!m_networkFound() || header.size() < 2)
        return false;
    // Split at every separator, part 0 is the record mark with the letter, part 1 the title and
    // part 2 the sender: the receipt goes back to where the mail came from.
    const QByteArray host = PartOf(header, 2);
    if (host.isEmpty())
        return false;
    header[1] = letter;
    // A receipt never holds up the window for a name lookup: it leaves once the name is resolved.
    return m_slot.SendWhenResolved(host, header);
}

Courier::CheckResult Courier::CheckMail() {
    CheckResult result;
    // Batch after batch, so that neither a flood of receipts nor many mails at once hold up the
    // mail behind them; the budget keeps the window answering.
    const qint64 began = m_elapsedMs();
    for (;;) {
        if (m_slot.ReadAll()) {
            result.takenIn = true;
            ++result.batches;
            TakeBatch(result);
        }
        if (m_slot.Drained() || m_elapsedMs() - began >= kIntakeBudgetMs)
            break;
    }
    // Every tick tries the disk, so changes made between ticks (and writes that failed before)
    // are on disk by the next one.
    result.kept = m_keep();
    if (result.kept)
        SendHeld();
    if (result.kept && m_networkFound())
        result.retried = SendAgain();
    return result;
}

void Courier::TakeBatch(CheckResult& result) {
    for (int k = 0; k <= m_slot.LastIndex(); ++k) {
        const QByteArray& header = m_slot.Header(k);
        switch (m_slot.StatusOf(k)) {
        case Sent: {
            if (!IsOneRecord(header, m_slot.Body(k)))
                break;
            m_schedule->Answered(PartOf(header, 2));
            // A mail sent again by its sender: answered with what became of it here, not stored twice.
            if (const RecordPlaces::Id stored = StoredCopyOf(m_slot.Key(k), m_slot.Body(k))) {
                QByteArray answer = m_received->HeaderOf(stored);
                if (answer.size() >= 2 && StatusFromLetter(answer[1]) != Opened)
                    answer[1] = StatusLetter(Delivered);
                m_held.append(answer);
                break;
            }
            // Stored straight away as Delivered: the same as storing it and then setting the status
            // by its key, without the risk of the key naming an older record.
            QByteArray record = header + m_slot.Body(k);
            record[1] = StatusLetter(Delivered);
            if (!m_receiveBox.Prepend(record)) {
                // Not stored, so not acknowledged: the sender must not see it as delivered.
                result.receiveBoxFull = true;
                break;
            }
            if (m_marks)
                m_marks->Arrived(KeyOfHeader(header), m_slot.SealOf(k));
            // Answered below, once the mail is on disk.
            m_held.append(record.first(header.size()));
            ++result.newCount;
            break;
        }
        case Delivered:
        case Opened:
            // A receipt for a mail no longer in the send box finds nothing and changes nothing; one
            // for a copy that went sealed counts only when it came sealed by the recipient.
            if (m_marks && m_marks->WentSealed(KeyOfHeader(header)) && m_slot.SealOf(k) != Seal::Pinned)
                break;
            m_schedule->Answered(PartOf(header, 3));
            m_sendBox.ReplaceHeaderByKey(header);
            // A read receipt is acknowledged, once what it changed is on disk, so that it stops.
            if (m_slot.StatusOf(k) == Opened) {
                QByteArray ack = header;
                ack[1] = kAcknowledged;
                m_held.append(ack);
            }
            break;
        default:
            if (header.size() >= 2 && header[1] == kAcknowledged) {
                const QByteArray& key = m_slot.Key(k);
                m_readReceipts.removeIf(
                    [&key](const PendingReceipt& p) { return KeyOfHeader(p.header) == key; });
                if (const QByteArray sender = PartOf(header, 2);
                    !sender.isEmpty() && !m_acknowledging.contains(sender))
                    m_acknowledging.append(sender);
            }
            break; // saved records and anything else, the host name probe included
        }
    }
}

RecordPlaces::Id Courier::StoredCopyOf(const QByteArray& key, const QByteArray& body) const {
    for (const RecordPlaces::Id id : m_received->WithKey(key)) {
        if (m_received->BodyOf(id) == body)
            return id;
    }
    return 0;
}

int Courier::SendAgain() {
    const qint64 now = NowMs();
    int sent = 0;
    for (qsizetype r = 0; r < m_readReceipts.size() && sent < RetrySchedule::kMaxPerTick;) {
        PendingReceipt& pending = m_readReceipts[r];
        const bool acknowledges = m_acknowledging.contains(pending.host);
        // A sender built before acknowledgements hears it a few times; one that acknowledges
        // until it does (or a week has passed).
        if ((!acknowledges && pending.tries >= kReceiptRepeats) ||
            pending.tries > RetrySchedule::kGiveUpMs / RetrySchedule::kLongestPauseMs) {
            m_readReceipts.removeAt(r);
            continue;
        }
        if (pending.due <= now) {
            QByteArray header = pending.header;
            SendReceipt(header, StatusLetter(Opened));
            ++pending.tries;
            pending.due = now + RetrySchedule::PauseAfter(pending.tries);
            ++sent;
        }
        ++r;
    }
    for (const RetrySchedule::Due& due : m_schedule->TakeDue()) {
        m_slot.SendWhenResolved(due.host, due.datagram);
        ++sent;
    }
    return sent;
}

void Courier::NetworkDetected() {
    m_schedule->NetworkDetected();
}

int Courier::UnreadCount() const {
    int count = 0;
    for (int i = 0; i < m_receiveBox.MarkCount(); ++i) {
        if (m_receiveBox.StatusOf(i) == Delivered)
            ++count;
    }
    return count;
}

} // namespace varnel
