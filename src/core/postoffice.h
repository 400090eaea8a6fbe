#pragma once

#include "network/netbrowser.h"
#include "store/mailbox.h"
#include "store/mailrecord.h"
#include "store/mailstore.h"
#include "transport/courier.h"
#include "transport/mailslot.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace varnel {

class Clock;
class Endpoint;
class MailboxFiles;
class NetProvider;
class SealDesk;

// Which of the two mailboxes.
enum class Box { Send, Receive };

// The running copy's mail: its endpoint, the network tables, both mailboxes, the store that keeps
// them on disk and the courier that carries mail between them and the network. The window asks it
// and shows; every change of a mailbox and every datagram goes through here. What changed comes
// back as data: counts, keys, outcome codes, and the store's notices.
class PostOffice {
public:
    PostOffice(Endpoint& endpoint, NetProvider& provider, MailboxFiles& files, const Clock& clock);
    ~PostOffice();
    PostOffice(const PostOffice&) = delete;
    PostOffice& operator=(const PostOffice&) = delete;

    // Sealing, when this copy has an identity: the seal desk is told this machine's name, notes how
    // every copy went and came, asks listed machines for their keys and keeps its files on disk
    // after every check. Given before the start-up steps; its owner keeps it alive.
    void SetSealDesk(SealDesk* desk) { m_seals = desk; }
    SealDesk* Seals() const { return m_seals; }
    // How record i of a box went or came: Pinned when sealed under the pinned key (a copy that went
    // sealed), Unpinned when under another key, Plain otherwise (and always without a seal desk).
    Seal SealOf(Box box, int i) const;

    // The start-up steps, in their order: the endpoint, the network, this machine's name, the
    // mailboxes.
    bool OpenEndpoint();
    // Lists the network anew, as a network detection: copies waiting for a machine go again at once,
    // and machines without a key are asked for theirs. False when it found no host.
    bool ListNetwork();
    // Reads the listing as the network stands, and nothing more (the tree's watch between
    // detections). False when it found no host.
    bool RefreshNetwork();
    // Finds this machine's name among the listed hosts; false (the name kept) when it cannot.
    bool DetectLocalHost();
    // Takes the data folder for this copy alone, before anything in it is read.
    FolderLock LockDataFolder();
    // Reads both mailboxes from their files and journals; returns what the person must be told.
    std::vector<StoreNotice> OpenMailBoxes(const QString& sendName, const QString& receiveName);

    // The close steps: the endpoint; then each mailbox written whole (again after a refusal, or
    // rescued elsewhere), then both let go. Nothing is carried from the first CloseMailBox on.
    void CloseEndpoint();
    MailStore::Closing CloseMailBox(Box box);
    StoreNotice RescueMailBox(Box box);
    void ReleaseMailBoxes();

    // The mailboxes are open: from OpenMailBoxes to ReleaseMailBoxes.
    bool MailBoxesOpen() const { return m_sendBox != nullptr; }
    // Mail can be sent now: the mailboxes are open (and not closing) and the network has hosts.
    bool CanSend() const { return m_courier && NetworkFound(); }

    struct CheckOutcome {
        Courier::CheckResult mail;
        std::vector<StoreNotice> storeNotices; // a write that began to fail, told once
    };
    // One mail check: arrivals stored and answered, receipts applied, changes put on disk.
    CheckOutcome CheckMail();
    // How many received mails wait unopened.
    int UnreadCount() const;

    // Why a new mail cannot travel as it stands, or Ok.
    static Courier::Refusal CheckSize(const Recipient& row, QByteArrayView body);
    // Sends a new mail to every row; each copy stays in the send box on its way (Sent), and one that
    // could not leave now goes with the retries.
    Courier::ComposeResult SendNew(const QList<Recipient>& rows, QByteArrayView body);
    // Sends record i of the send box again; true when it left (else it waits on its way).
    bool SendAgain(int i);
    // Saves copy i of the send box without sending, when it is on its way: its tries stop.
    bool KeepUnsent(int i);

    // The copies on their way: how many wait, how one waits (by its key), and what the person must
    // learn once (a day without answer, a copy that gives up, a machine that seems cut off).
    int WaitingCount() const;
    RetrySchedule::Waiting WaitingState(QByteArrayView key) const;
    RetrySchedule::Notices TakeDeliveryNotices();
    struct SaveResult {
        int stored = 0;       // copies put in front of the send box, one per row from the first
        bool boxFull = false; // the send box refused the next copy
    };
    // Stores one Saved copy per row in the send box without sending, all with the same time.
    SaveResult SaveWithoutSending(const QList<Recipient>& rows, QByteArrayView body);
    // Opens received mail i when it waits unopened: it becomes Opened with the read time, and its
    // header goes back to the sender as the read receipt. True when it was opened now.
    bool Open(int i);
    bool Delete(Box box, int i);
    // Deletes all the records named at once (repeats and indices without a record passed over);
    // false when none was there.
    bool DeleteMany(Box box, const std::vector<int>& records);
    void DeleteAll(Box box);

    // The header of a reply to received mail i: its sender as recipient, its title, and the room a
    // title has beside everything else the reply's header holds (both times counted at their
    // longest). Empty sender when there is no such mail.
    struct ReplyHeader {
        QByteArray title;
        QByteArray recipient;
        qsizetype titleRoom = 0;
    };
    ReplyHeader ReplyTo(int i) const;

    // Read-only queries.
    const MailBox* MailBoxOf(Box box) const;
    int Count(Box box) const;
    MailStatus StatusOf(Box box, int i) const;
    MailHeader HeaderOf(Box box, int i) const;
    QByteArray KeyOf(Box box, int i) const;
    const QByteArray& LocalHostName() const { return m_localHostName; }
    bool NetworkFound() const { return m_netBrowser.NetworkFound(); }
    int GroupCount() const { return m_netBrowser.GetGroupCount(); }
    int HostCount() const { return m_netBrowser.GetHostCount(); }
    QByteArray GroupName(int i) const;
    QByteArray HostName(int i) const;
    // The workgroup (1-based) host i belongs to.
    int GroupOfHost(int i) const { return m_netBrowser.GroupOfHost(i); }

private:
    MailBox* Mutable(Box box) const;

    // The names of the listed hosts.
    QList<QByteArray> ListedHosts() const;

    const Clock& m_clock;
    NetProvider& m_provider;
    MailboxFiles& m_files;
    SealDesk* m_seals = nullptr;
    MailSlot m_mailSlot;
    NetBrowser m_netBrowser;
    QByteArray m_localHostName;
    // From OpenMailBoxes to ReleaseMailBoxes. The store goes before the mailboxes, the courier first.
    std::unique_ptr<MailBox> m_sendBox;
    std::unique_ptr<MailBox> m_receiveBox;
    std::unique_ptr<MailStore> m_store;
    std::unique_ptr<Courier> m_courier;
};

} // namespace varnel
