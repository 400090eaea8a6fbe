// Feeds arbitrary datagrams, in arbitrary batches, to the mail slot's batch read and checks that the
// received table always holds well-cut entries.
//
// Input: a sequence of commands, each one opcode byte followed by its operands:
//   op % 5 == 0: a datagram of n bytes (n = next byte, the bytes follow)
//   op % 5 == 1: a datagram of 62990 + n bytes (n = next byte), around the read buffer's size: the
//                next byte repeated, a record mark in front and a header end mark at 1 + the byte after
//   op % 5 == 2: a text of n bytes held back (as host name detection does)
//   op % 5 == 3: one batch read now
//   op % 5 == 4: the next n reads succeed, then reads fail (n = next byte; 255: never fail)
// At the end batches are read until nothing is left.

#include "store/mailrecord.h"
#include "transport/mailslot.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>

namespace {

using varnel::MailSlot;

// An endpoint that serves the datagrams the input describes.
class QueueEndpoint final : public varnel::Endpoint {
public:
    bool Open() override { return m_open = true; }
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    qint64 PendingSize() override { return m_open && !queue.empty() ? queue.front().size() : -1; }
    bool ReadNext(QByteArray& datagram) override {
        if (!m_open || queue.empty() || readsBeforeFailure == 0)
            return false;
        if (readsBeforeFailure > 0)
            --readsBeforeFailure;
        datagram = queue.front();
        queue.pop_front();
        return true;
    }
    bool LastFromThisMachine() const override { return false; }
    bool SendTo(QByteArrayView, QByteArrayView) override { return true; }

    std::deque<QByteArray> queue;
    int readsBeforeFailure = -1; // when >= 0: that many more reads succeed, then reads fail

private:
    bool m_open = false;
};

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckTable(const MailSlot& slot) {
    Require(slot.LastIndex() >= -1 && slot.LastIndex() < MailSlot::kTableSize);
    for (int k = 0; k < MailSlot::kTableSize; ++k) {
        const QByteArray& header = slot.Header(k);
        const QByteArray& key = slot.Key(k);
        const QByteArray& body = slot.Body(k);
        if (k > slot.LastIndex()) {
            Require(header.isEmpty() && key.isEmpty() && body.isEmpty());
            Require(slot.StatusOf(k) == -1);
            continue;
        }
        Require(header.size() >= 2 && header.size() <= varnel::kMaxHeader);
        Require(header.front() == 0x07 && header.back() == 0x08);
        Require(!header.contains('\0') && !body.contains('\0'));
        // The header ends at the datagram's last header end mark, so none is left in the body.
        Require(!body.contains(0x08));
        Require(body.size() < MailSlot::kReadBuffer);
        // The key is the header from its fourth byte up to the byte before its last backslash.
        const qsizetype lastSeparator = header.lastIndexOf('\\');
        if (lastSeparator > 3)
            Require(key == header.sliced(3, lastSeparator - 3));
        else
            Require(key.isEmpty());
        const int status = slot.StatusOf(k);
        Require(status >= -1 && status <= 3);
        for (int j = 0; j < k; ++j)
            Require(slot.Header(j) != header);
    }
    Require(slot.StatusOf(-1) == -1 && slot.StatusOf(slot.LastIndex() + 1) == -1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QueueEndpoint endpoint;
    MailSlot slot(endpoint);
    Require(slot.Open());

    const char* bytes = reinterpret_cast<const char*>(data);
    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    auto take = [&](size_t n) {
        n = std::min(n, size - at);
        QByteArray result(bytes + at, qsizetype(n));
        at += n;
        return result;
    };

    while (at < size) {
        const uint8_t op = next();
        switch (op % 5) {
        case 0:
            endpoint.queue.push_back(take(next()));
            break;
        case 1: {
            const qsizetype length = 62990 + next();
            QByteArray big(length, char(next()));
            big[0] = 0x07;
            big[1 + next()] = 0x08;
            endpoint.queue.push_back(big);
            break;
        }
        case 2:
            slot.HoldBack(take(next()));
            break;
        case 3:
            Require(slot.ReadAll() == (slot.LastIndex() >= 0));
            CheckTable(slot);
            break;
        default: {
            const uint8_t n = next();
            endpoint.readsBeforeFailure = n == 255 ? -1 : n;
            break;
        }
        }
    }

    endpoint.readsBeforeFailure = -1;
    // Every batch either stores something or empties the queue, so this ends.
    while (slot.ReadAll())
        CheckTable(slot);
    CheckTable(slot);
    Require(endpoint.queue.empty());
    return 0;
}
