#include "transport/mailslot.h"

#include "store/mailrecord.h"

namespace varnel {

const QByteArray& MailSlot::Part(const Table& table, int k) {
    static const QByteArray none;
    return k >= 0 && k < kTableSize ? table[k] : none;
}

namespace {

// The text of a datagram: the bytes before its first zero byte.
QByteArrayView TextOf(QByteArrayView bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.first(zero);
}

// Peers read a datagram as one zero-terminated text, so the zero travels with it.
QByteArray DatagramOf(QByteArrayView text) {
    QByteArray datagram = TextOf(text).toByteArray();
    datagram.append('\0');
    return datagram;
}

} // namespace

MailSlot::MailSlot(Endpoint& endpoint) : m_endpoint(endpoint) {}

MailSlot::~MailSlot() {
    Close();
}

bool MailSlot::Open() {
    if (m_endpoint.IsOpen())
        return true;
    return m_endpoint.Open();
}

bool MailSlot::Close() {
    if (m_endpoint.IsOpen())
        m_endpoint.Close();
    // Whatever was waiting goes with the endpoint, held-back texts included.
    m_heldBack.clear();
    return true;
}

bool MailSlot::IsOpen() const {
    return m_endpoint.IsOpen();
}

bool MailSlot::Send(QByteArrayView host, QByteArrayView text) {
    return m_endpoint.SendTo(host, DatagramOf(text));
}

bool MailSlot::SendWhenResolved(QByteArrayView host, QByteArrayView text) {
    return m_endpoint.SendWhenResolved(host, DatagramOf(text));
}

void MailSlot::Resolve(const QList<QByteArray>& hosts, std::chrono::milliseconds limit) {
    m_endpoint.Resolve(hosts, limit);
}

bool MailSlot::ReadOne(QByteArray& dst) {
    dst.clear();
    m_lastFromEndpoint = false;
    m_lastSeal = Seal::Plain;
    if (!m_endpoint.IsOpen())
        return false;
    if (!m_heldBack.empty()) {
        dst = std::move(m_heldBack.front().first);
        m_lastSeal = m_heldBack.front().second;
        m_heldBack.pop_front();
        return true;
    }
    if (m_endpoint.PendingSize() < 0)
        return false;
    QByteArray datagram;
    if (!m_endpoint.ReadNext(datagram))
        return false;
    m_lastFromEndpoint = true;
    m_lastSeal = m_endpoint.LastSeal();
    // Too large for the read buffer: it is gone from the queue, and the batch goes on without it.
    if (datagram.size() >= kReadBuffer)
        return true;
    dst = TextOf(datagram).toByteArray();
    return true;
}

bool MailSlot::LastFromThisMachine() const {
    return m_lastFromEndpoint && m_endpoint.LastFromThisMachine();
}

bool MailSlot::ReadAll() {
    for (int k = 0; k < kTableSize; ++k) {
        m_headers[k].clear();
        m_keys[k].clear();
        m_bodies[k].clear();
    }
    m_lastIndex = -1;

    QByteArray text;
    m_drained = false;
    for (int reads = 0; reads < kMaxReadsPerBatch && m_lastIndex < kTableSize - 1; ++reads) {
        if (!ReadOne(text)) {
            m_drained = true;
            break;
        }
        // The header runs from the first record mark to the last header end mark.
        const qsizetype len = text.size();
        const qsizetype b = text.indexOf(kRecordMark);
        const qsizetype e = text.lastIndexOf(kHeaderEnd);
        if (len < 1 || b < 0 || e < 0 || b > e)
            continue;
        const QByteArray header = text.sliced(b, e - b + 1);
        if (header.size() > kMaxHeader)
            continue;

        bool repeat = false;
        for (int k = 0; k <= m_lastIndex && !repeat; ++k)
            repeat = m_headers[k] == header;
        if (repeat)
            continue; // the same mail or receipt twice in one batch: the first one counts

        const int k = ++m_lastIndex;
        m_headers[k] = header;
        m_seals[k] = m_lastSeal;
        // The record key: from after the separator behind the status letter up to the last separator.
        const qsizetype lastSeparator = header.lastIndexOf(kSeparator);
        if (lastSeparator > 3)
            m_keys[k] = header.sliced(3, lastSeparator - 3);
        m_bodies[k] = text.sliced(e + 1);
    }
    return m_lastIndex != -1;
}

int MailSlot::StatusOf(int k) const {
    if (k < 0 || k > m_lastIndex || m_headers[k].size() < 2)
        return -1;
    switch (m_headers[k].at(1)) {
    case 'K':
        return 0;
    case 'S':
        return 1;
    case 'G':
        return 2;
    case 'R':
        return 3;
    default:
        return -1;
    }
}

void MailSlot::HoldBack(const QByteArray& text, Seal seal) {
    // Served like any datagram: only the text before a zero byte counts.
    m_heldBack.emplace_back(TextOf(text).toByteArray(), seal);
}

} // namespace varnel
