#pragma once

#include "transport/endpoint.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <chrono>
#include <deque>

namespace varnel {

// The program's one mail endpoint with its table of up to ten received datagrams, each cut into
// header, record key and body. Repeats within one batch and malformed datagrams are dropped.
class MailSlot {
public:
    static constexpr int kTableSize = 10;
    static constexpr qsizetype kReadBuffer = 63000; // a datagram this size or larger is dropped
    // One batch reads at most this many datagrams, stored or dropped (some 20 ms of reading): a
    // flood of malformed ones must not hold the window for long. The rest waits for the next batch.
    static constexpr int kMaxReadsPerBatch = 5000;

    explicit MailSlot(Endpoint& endpoint);
    ~MailSlot();
    MailSlot(const MailSlot&) = delete;
    MailSlot& operator=(const MailSlot&) = delete;

    bool Open();
    bool Close(); // always true; closes only what is open
    bool IsOpen() const;
    // Sends text (up to its first zero byte) with one terminating zero byte to the named host.
    // False when the name is not resolved yet.
    bool Send(QByteArrayView host, QByteArrayView text);
    // The same, but a text whose host name is still being looked up goes out once it is resolved.
    bool SendWhenResolved(QByteArrayView host, QByteArrayView text);
    // Looks the named machines up in parallel, waiting at most limit in all.
    void Resolve(const QList<QByteArray>& hosts, std::chrono::milliseconds limit);
    // Reads one waiting datagram as a zero-terminated text into dst. A datagram too large for the
    // read buffer is read and dropped, and dst is then empty with the result true.
    bool ReadOne(QByteArray& dst);
    // Whether the text last read by ReadOne came from one of this machine's own addresses (a text
    // held back did not: it was mail).
    bool LastFromThisMachine() const;
    // Fills the received table with up to ten new entries; true when at least one was stored.
    bool ReadAll();
    // Whether the last ReadAll found the queue empty: nothing more waits for another batch.
    bool Drained() const { return m_drained; }
    // How entry k arrived (plain for no such entry).
    Seal SealOf(int k) const { return k >= 0 && k <= m_lastIndex ? m_seals[k] : Seal::Plain; }
    // How the text last read by ReadOne arrived, and whether the text last sent went sealed.
    Seal LastSeal() const { return m_lastSeal; }
    bool LastSendSealed() const { return m_endpoint.LastSendSealed(); }
    // Status code of entry k: 0..3 for K, S, G, R; -1 for other letters or no such entry.
    int StatusOf(int k) const;
    // Puts a text read by ReadOne back in front of the waiting datagrams, so that the next
    // ReadOne/ReadAll takes it in again (texts held back are served first, oldest first).
    // A held-back text keeps the way it arrived.
    void HoldBack(const QByteArray& text, Seal seal = Seal::Plain);

    // The received table as the last ReadAll left it: entries 0..LastIndex (-1: none), each cut into
    // header, record key and body. Outside the table the parts are empty.
    int LastIndex() const { return m_lastIndex; }
    const QByteArray& Header(int k) const { return Part(m_headers, k); }
    const QByteArray& Key(int k) const { return Part(m_keys, k); }
    const QByteArray& Body(int k) const { return Part(m_bodies, k); }

private:
    using Table = std::array<QByteArray, kTableSize>;
    static const QByteArray& Part(const Table& table, int k);

    int m_lastIndex = -1;
    Table m_headers;
    Table m_keys;
    Table m_bodies;
    Endpoint& m_endpoint;
    std::deque<std::pair<QByteArray, Seal>> m_heldBack;
    std::array<Seal, kTableSize> m_seals{};
    Seal m_lastSeal = Seal::Plain;
    bool m_lastFromEndpoint = false; // the text last read came from the endpoint, not held back
    bool m_drained = true;
};

} // namespace varnel
