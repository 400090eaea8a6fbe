#pragma once

#include "transport/endpoint.h"

#include <QByteArray>
#include <array>
#include <deque>

namespace varnel {

// The program's one mail endpoint with its table of up to ten received datagrams, each cut into
// header, record key and body. Repeats within one batch and malformed datagrams are dropped.
class MailSlot {
public:
    static constexpr int kTableSize = 10;
    static constexpr qsizetype kReadBuffer = 63000; // a datagram this size or larger is dropped
    static constexpr qsizetype kMaxHeader = 255;

    explicit MailSlot(Endpoint& endpoint);
    ~MailSlot();
    MailSlot(const MailSlot&) = delete;
    MailSlot& operator=(const MailSlot&) = delete;

    bool Open();
    bool Close(); // always true; closes only what is open
    bool IsOpen() const;
    // Sends text (up to its first zero byte) with one terminating zero byte to the named host.
    bool Send(QByteArrayView host, QByteArrayView text);
    // Reads one waiting datagram as a zero-terminated text into dst. A datagram too large for the
    // read buffer is read and dropped, and dst is then empty with the result true.
    bool ReadOne(QByteArray& dst);
    // Fills the received table with up to ten new entries; true when at least one was stored.
    bool ReadAll();
    // Status code of entry k: 0..3 for K, S, G, R; -1 for other letters or no such entry.
    int StatusOf(int k) const;
    // Puts a text read by ReadOne back in front of the waiting datagrams, so that the next
    // ReadOne/ReadAll takes it in again (texts held back are served first, oldest first).
    void HoldBack(const QByteArray& text);

    int LastIndex = -1;
    std::array<QByteArray, kTableSize> Headers;
    std::array<QByteArray, kTableSize> Keys;
    std::array<QByteArray, kTableSize> Bodies;

private:
    Endpoint& m_endpoint;
    std::deque<QByteArray> m_heldBack;
};

} // namespace varnel
