#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <functional>

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
    Courier(MailSlot& slot, MailBox& sendBox, MailBox& receiveBox, const Clock& clock,
            std::function<bool()> networkFound, std::function<bool()> keep = {});

    struct ComposeResult {
        bool processed = false; // false: nothing was sent, stored or cleared
        int sent = 0;           // copies that left, stored as Sent
        int failed = 0;         // copies that did not leave, stored as Saved
        int notStored = 0;      // copies that could not be stored (the send box is full)
        QList<int> failedRows;  // the rows whose copy did not leave, in row order
    };
    // Sends the body to every row, one send time for all, and stores each copy in front of the send
    // box: Sent when it left, Saved when the send failed. Rows are stored first to last, so the last
    // row's copy ends up first. Nothing is sent (processed false) when a copy would be too large;
    // ask CheckSize first.
    ComposeResult SendComposed(const QList<Recipient>& rows, QByteArrayView body);
    // Sends stored record i of the send box again, its body exactly as stored; the record becomes
    // Sent (readTime emptied) only when the send succeeded.
    bool SendSelected(int i);
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
    };
    // One mail check: takes in up to ten waiting datagrams, stores new mail, applies receipts to the
    // send box, puts every change on disk and then answers the new mail. A new mail that is not
    // exactly one record (a stray record or header end mark) is neither stored nor answered.
    CheckResult CheckMail();
    // Where to note which copies went sealed and which mail came sealed. With marks, a receipt that
    // did not come sealed under the pinned key never changes a copy that went sealed.
    void SetSealMarks(SealMarks* marks) { m_marks = marks; }

    // True when the receive box holds a record that is Delivered (arrived, not yet opened).
    bool HasUnread() const;

private:
    bool SendReceipt(QByteArray& header, char letter);
    // Sends the receipts held back while changes were not yet on disk, oldest first.
    void SendHeld();

    MailSlot& m_slot;
    MailBox& m_sendBox;
    MailBox& m_receiveBox;
    const Clock& m_clock;
    std::function<bool()> m_networkFound;
    std::function<bool()> m_keep;
    SealMarks* m_marks = nullptr;
    QList<QByteArray> m_held; // headers with their receipt letter, waiting for the disk
};

} // namespace varnel
