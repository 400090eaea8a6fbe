#include "postoffice.h"

#include "clock.h"
#include "network/hostdetect.h"
#include "seal/sealdesk.h"

#include <QSet>
#include <algorithm>

namespace varnel {

PostOffice::PostOffice(Endpoint& endpoint, NetProvider& provider, MailboxFiles& files, const Clock& clock)
    : m_clock(clock), m_provider(provider), m_files(files), m_mailSlot(endpoint), m_netBrowser(provider) {}

PostOffice::~PostOffice() {
    m_courier.reset();
    m_store.reset(); // lets go of the mailboxes' edits while they still exist
    m_mailSlot.Close();
}

bool PostOffice::OpenEndpoint() {
    return m_mailSlot.Open();
}

bool PostOffice::RefreshNetwork() {
    return m_netBrowser.Enumerate() != 0;
}

bool PostOffice::ListNetwork() {
    const bool found = RefreshNetwork();
    // Every machine may be reachable now: the copies waiting for each go again at once.
    if (m_courier)
        m_courier->NetworkDetected();
    // Machines only the directory file names learn our key, and we theirs, before the first mail.
    if (m_seals && !m_localHostName.isEmpty())
        m_seals->RequestKeys(ListedHosts());
    return found;
}

bool PostOffice::DetectLocalHost() {
    const bool found = DetectLocalHostName(m_mailSlot, m_netBrowser, m_localHostName);
    if (m_seals && !m_localHostName.isEmpty()) {
        m_seals->SetLocalName(m_localHostName);
        m_seals->RequestKeys(ListedHosts());
    }
    return found;
}

QList<QByteArray> PostOffice::ListedHosts() const {
    QList<QByteArray> hosts;
    for (int i = 1; i <= m_netBrowser.GetHostCount(); ++i)
        hosts.append(m_netBrowser.HostName(i));
    return hosts;
}

Seal PostOffice::SealOf(Box box, int i) const {
    if (!m_seals)
        return Seal::Plain;
    const QByteArray key = KeyOf(box, i);
    if (box == Box::Receive)
        return m_seals->ArrivedAs(key);
    return m_seals->WentSealed(key) ? Seal::Pinned : Seal::Plain;
}

FolderLock PostOffice::LockDataFolder() {
    return m_files.Lock();
}

std::vector<StoreNotice> PostOffice::OpenMailBoxes(const QString& sendName, const QString& receiveName) {
    m_sendBox = std::make_unique<MailBox>();
    m_receiveBox = std::make_unique<MailBox>();
    m_store = std::make_unique<MailStore>(m_files);
    std::vector<StoreNotice> notices = m_store->Open(sendName, receiveName, *m_sendBox, *m_receiveBox);
    m_courier = std::make_unique<Courier>(
        m_mailSlot, *m_sendBox, *m_receiveBox, m_clock, [this] { return m_netBrowser.NetworkFound(); },
        [this] { return m_store && m_store->Commit(); },
        [this](QByteArrayView host) { return m_provider.PresenceOf(host); });
    if (m_seals)
        m_courier->SetSealMarks(&m_seals->Marks());
    return notices;
}

void PostOffice::CloseEndpoint() {
    m_mailSlot.Close();
}

MailStore::Closing PostOffice::CloseMailBox(Box box) {
    const bool first = m_courier != nullptr;
    m_courier.reset();
    // Marks of mail no longer in either box are forgotten, once: the boxes change no more.
    if (first && m_seals && m_sendBox && m_receiveBox) {
        const auto keysOf = [](const MailBox& mailbox) {
            QSet<QByteArray> keys;
            QByteArray key;
            for (int i = 0; i < mailbox.MarkCount(); ++i) {
                if (mailbox.KeyOf(i, key))
                    keys.insert(key);
            }
            return keys;
        };
        const QSet<QByteArray> received = keysOf(*m_receiveBox);
        const QSet<QByteArray> sent = keysOf(*m_sendBox);
        m_seals->Keep([&](const QByteArray& key) { return received.contains(key); },
                      [&](const QByteArray& key) { return sent.contains(key); });
    }
    if (!m_store || !Mutable(box))
        return {};
    return m_store->Close(*Mutable(box));
}

StoreNotice PostOffice::RescueMailBox(Box box) {
    return m_store && Mutable(box) ? m_store->Rescue(*Mutable(box)) : StoreNotice{};
}

void PostOffice::ReleaseMailBoxes() {
    m_courier.reset();
    m_store.reset();
    m_sendBox.reset();
    m_receiveBox.reset();
}

PostOffice::CheckOutcome PostOffice::CheckMail() {
    CheckOutcome outcome;
    if (!m_courier)
        return outcome;
    outcome.mail = m_courier->CheckMail();
    if (m_store)
        outcome.storeNotices = m_store->TakeNotices();
    if (m_seals)
        m_seals->Keep();
    return outcome;
}

int PostOffice::UnreadCount() const {
    return m_courier ? m_courier->UnreadCount() : 0;
}

Courier::Refusal PostOffice::CheckSize(const Recipient& row, QByteArrayView body) {
    return Courier::CheckSize(row, body);
}

Courier::ComposeResult PostOffice::SendNew(const QList<Recipient>& rows, QByteArrayView body) {
    return m_courier ? m_courier->SendComposed(rows, body) : Courier::ComposeResult{};
}

bool PostOffice::SendAgain(int i) {
    return m_courier && m_courier->SendSelected(i);
}

bool PostOffice::KeepUnsent(int i) {
    return m_courier && m_courier->KeepUnsent(i);
}

int PostOffice::WaitingCount() const {
    return m_courier ? m_courier->Schedule().WaitingCount() : 0;
}

RetrySchedule::Waiting PostOffice::WaitingState(QByteArrayView key) const {
    return m_courier ? m_courier->Schedule().StateOf(key) : RetrySchedule::Waiting{};
}

RetrySchedule::Notices PostOffice::TakeDeliveryNotices() {
    return m_courier ? m_courier->TakeNotices() : RetrySchedule::Notices{};
}

PostOffice::SaveResult PostOffice::SaveWithoutSending(const QList<Recipient>& rows, QByteArrayView body) {
    SaveResult result;
    if (!m_sendBox)
        return result;
    const QByteArray time = m_clock.TimeText();
    for (const Recipient& row : rows) {
        const QByteArray record =
            BuildHeader(StatusLetter(Saved), row.title, row.sender, row.recipient, time).append(body);
        if (!m_sendBox->Prepend(record)) {
            result.boxFull = true;
            break;
        }
        ++result.stored;
    }
    return result;
}

bool PostOffice::Open(int i) {
    if (!m_receiveBox || m_receiveBox->StatusOf(i) != Delivered)
        return false;
    m_receiveBox->SetStatusAt(i, Opened);
    m_receiveBox->InsertReadTime(i, m_clock.TimeText());
    QByteArray header;
    if (m_receiveBox->HeaderOf(i, header) && m_courier)
        m_courier->SendReadReceipt(header);
    return true;
}

bool PostOffice::Delete(Box box, int i) {
    MailBox* mailbox = Mutable(box);
    return mailbox && mailbox->DeleteRecord(i);
}

bool PostOffice::DeleteMany(Box box, const std::vector<int>& records) {
    MailBox* mailbox = Mutable(box);
    return mailbox && mailbox->DeleteRecords(records);
}

void PostOffice::DeleteAll(Box box) {
    if (MailBox* mailbox = Mutable(box))
        mailbox->Clear();
}

PostOffice::ReplyHeader PostOffice::ReplyTo(int i) const {
    ReplyHeader reply;
    if (!m_receiveBox || i < 0 || i >= m_receiveBox->MarkCount())
        return reply;
    const MailHeader mail = m_receiveBox->Header(i);
    reply.title = mail.title;
    reply.recipient = mail.sender;
    // Everything else in the reply's header, the send time at its longest, and the read time the
    // recipient writes in when the reply is opened.
    const qsizetype rest =
        BuildHeader(StatusLetter(Sent), "", m_localHostName, mail.sender, kLongestTime).size() +
        qsizetype(sizeof kLongestTime - 1);
    reply.titleRoom = std::max<qsizetype>(0, kMaxHeader - rest);
    return reply;
}

const MailBox* PostOffice::MailBoxOf(Box box) const {
    return Mutable(box);
}

MailBox* PostOffice::Mutable(Box box) const {
    return box == Box::Send ? m_sendBox.get() : m_receiveBox.get();
}

int PostOffice::Count(Box box) const {
    const MailBox* mailbox = MailBoxOf(box);
    return mailbox ? mailbox->MarkCount() : 0;
}

MailStatus PostOffice::StatusOf(Box box, int i) const {
    const MailBox* mailbox = MailBoxOf(box);
    return mailbox ? MailStatus(mailbox->StatusOf(i)) : StatusNone;
}

MailHeader PostOffice::HeaderOf(Box box, int i) const {
    const MailBox* mailbox = MailBoxOf(box);
    return mailbox ? mailbox->Header(i) : MailHeader{};
}

QByteArray PostOffice::KeyOf(Box box, int i) const {
    QByteArray key;
    if (const MailBox* mailbox = MailBoxOf(box))
        mailbox->KeyOf(i, key);
    return key;
}

QByteArray PostOffice::GroupName(int i) const {
    return m_netBrowser.GroupName(i);
}

QByteArray PostOffice::HostName(int i) const {
    return m_netBrowser.HostName(i);
}

} // namespace varnel
