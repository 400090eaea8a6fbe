#pragma once

#include "store/recordplaces.h"
#include "transport/retryschedule.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <functional>
#include <memory>

namespace varnel {

class Clock;
class MailBox;
class MailSlot;
class SealMarks;

// One recipient row of a new mail, as CP932 bytes.
struct Recipient {
    QByteArray title;
    QByteArray sender;
    QByteArray recipient;
};

// Everything the program puts on the network apart from the host name probe, and what it does with
// what arrives: new mail, delivery receipts and read receipts.
class Courier {
public:
    // networkFound: whether the last network listing found any host; nothing is sent without one.
    // keep: puts every change of the mailboxes on disk, true when all of them are there. No receipt
    // leaves before what it acknowledges is on disk; without keep, everything counts as kept.
    // presence: what discovery knows of a machine's program.
    Courier(MailSlot& slot, MailBox& sendBox, MailBox& receiveBox, const Clock& clock,
            std::function<bool()> networkFound, std::function<bool()> keep = {},
            std::function<Presence(QByteArrayView)> presence = {});
    ~Courier();

    // A mail check takes batches until the queue is empty or this much time has passed.
    static constexpr qint64 kIntakeBudgetMs = 50;
    // A read receipt to a machine that has never acknowledged one goes out this many times.
    static constexpr int kReceiptRepeats = 4;
    // The time source of the intake budget, in milliseconds (a steady clock unless set).
    void SetIntakeClock(std::function<qint64()> elapsedMs) { m_elapsedMs = std::move(elapsedMs); }

    struct ComposeResult {
        bool processed = false; // false: nothing was sent, stored or cleared
        int sent = 0;           // copies that left
        int failed = 0;         // copies that could not leave now; they wait and go with the retries
        int notStored = 0;      // copies that could not be stored (the send box is full)
        QList<int> failedRows;  // the rows whose copy did not leave, in row order
    };
    // Sends the body to every row, one send time for all, and stores each copy in front of the send
    // box as Sent (on its way): a copy that could not leave now goes with the retries. Rows are
    // stored first to last, so the last row's copy ends up first. Nothing is sent (processed false)
    // when a copy would be too large; ask CheckSize first.
    ComposeResult SendComposed(const QList<Recipient>& rows, QByteArrayView body);
    // Sends stored record i of the send box again, its body exactly as stored. The record becomes
    // Sent (readTime emptied), on its way until answered; false when it could not leave now (it then
    // goes with the retries) or cannot travel at all (unchanged).
    bool SendSelected(int i);
    // Saves copy i of the send box without sending (K), if it is on its way: its tries stop.
    bool KeepUnsent(int i);
    // Turn the header's letter into G or R (in place) and send it to the mail's sender, once the
    // sender's name is resolved. False when it cannot go out.
    bool SendDeliveryReceipt(QByteArray& header);
    // The read receipt leaves once the opening is on disk; until then it is held (false) and goes
    // out with the first mail check that finds everything on disk.
    bool SendReadReceipt(QByteArray& header);

    // Why a new mail cannot go out as it stands, or Ok.
    enum class Refusal { Ok, HeaderTooLong, MailTooLong };
    static Refusal CheckSize(const Recipient& row, QByteArrayView body);

    struct CheckResult {
        bool takenIn = false;        // something was read from the endpoint
        int newCount = 0;            // new mail stored in this tick
        bool receiveBoxFull = false; // a new mail could not be stored (and got no receipt)
        bool kept = true;            // every change is on disk; false: receipts are held back
        int batches = 0;             // batches of up to ten datagrams taken in
        int retried = 0;             // copies and read receipts sent again
    };
    // One mail check: takes in batches of up to ten datagrams until none waits or the intake budget
    // is spent, stores new mail, applies receipts to the send box, puts every change on disk and
    // then answers the new mail; then sends again what is due. A new mail that is not exactly one
    // record (a stray record or header end mark) is neither stored nor answered; one whose key and
    // body equal a record of the receive box is not stored again and is answered with that
    // record's state (G, or R with its read time).
    CheckResult CheckMail();
    // A new listing of the network: the copies waiting for each machine go again at once.
    void NetworkDetected();
    const RetrySchedule& Schedule() const { return *m_schedule; }
    RetrySchedule::Notices TakeNotices() { return m_schedule->TakeNotices(); }
    // Where to note which copies went sealed and which mail came sealed. With marks, a receipt that
    // did not come sealed under the pinned key never changes a copy that went sealed.
    void SetSealMarks(SealMarks* marks) { m_marks = marks; }

    // How many mails of the receive box are Delivered (arrived, not yet opened), wherever they stand:
    // one with a strange letter does not hide unread mail behind it.
    int UnreadCount() const;

private:
    bool SendReceipt(QByteArray& header, char letter);
    // Sends the receipts held back while changes were not yet on disk, oldest first.
    void SendHeld();
    // Takes in one batch of the received table.
    void TakeBatch(CheckResult& result);
    // The record of the receive box that a mail repeats (same key, same body), or 0.
    RecordPlaces::Id StoredCopyOf(const QByteArray& key, const QByteArray& body) const;
    // Read receipts go again until the sender acknowledges them (or a few times, to a sender that
    // never does); then copies that are due.
    int SendAgain();
    qint64 NowMs() const;

    MailSlot& m_slot;
    MailBox& m_sendBox;
    MailBox& m_receiveBox;
    const Clock& m_clock;
    std::function<bool()> m_networkFound;
    std::function<bool()> m_keep;
    SealMarks* m_marks = nullptr;
    QList<QByteArray> m_held; // headers with their receipt letter, waiting for the disk
    std::function<qint64()> m_elapsedMs;
    // Where the received mail stands by its key, to know a repeat from a new mail.
    std::unique_ptr<RecordPlaces> m_received;
    std::unique_ptr<RetrySchedule> m_schedule;
    struct PendingReceipt {
        QByteArray header; // with its letter R and the read time
        QByteArray host;
        int tries = 0;
        qint64 due = 0;
    };
    QList<PendingReceipt> m_readReceipts;
    QList<QByteArray> m_acknowledging; // machines that acknowledge read receipts
};

} // namespace varnel
