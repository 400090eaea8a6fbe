// Feeds arbitrary datagrams to the sealed and key datagram parsers and to the sealing endpoint's
// read, and checks what must hold whatever arrives.
//
// Input: one mode byte, then the bytes.
//   even mode: the bytes are a datagram as it arrives. What parses builds back to a datagram that
//              parses to the same parts; the endpoint hands on an empty datagram or an opened record
//              that names its signer.
//   odd mode:  the bytes are a record datagram that this machine seals to itself; it must open to
//              exactly those bytes (or not be sealed at all, when it is no record).

#include "seal/identity.h"
#include "seal/keyring.h"
#include "seal/sealedformat.h"
#include "seal/sealingendpoint.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>

namespace {

using namespace varnel;

class QueueEndpoint final : public Endpoint {
public:
    bool Open() override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    qint64 PendingSize() override { return queue.empty() ? -1 : queue.front().size(); }
    bool ReadNext(QByteArray& datagram) override {
        if (queue.empty())
            return false;
        datagram = queue.front();
        queue.pop_front();
        return true;
    }
    bool LastFromThisMachine() const override { return false; }
    bool SendTo(QByteArrayView, QByteArrayView datagram) override {
        sent = datagram.toByteArray();
        return true;
    }
    std::deque<QByteArray> queue;
    QByteArray sent;
};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

const Identity& FixedIdentity() {
    static const Identity identity = *Identity::FromFile(
        "varnel-identity 1\n000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f\n");
    return identity;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    QueueEndpoint inner;
    Keyring keyring;
    SealingEndpoint sealing(inner, FixedIdentity(), keyring);
    sealing.SetLocalName("PC01");

    if (data[0] % 2 == 0) {
        if (const auto envelope = ParseSealed(bytes)) {
            const auto again = ParseSealed(BuildSealed(*envelope));
            Check(again && again->sender == envelope->sender && again->senderKey == envelope->senderKey &&
                  again->nonce == envelope->nonce && again->box == envelope->box);
        }
        if (const auto message = ParseKeyMessage(bytes)) {
            const auto again = ParseKeyMessage(BuildKeyMessage(*message));
            Check(again && again->kind == message->kind && again->name == message->name &&
                  again->key == message->key);
        }
        inner.queue.push_back(bytes);
        QByteArray read;
        Check(sealing.ReadNext(read));
        Check(LooksSealed(bytes) || LooksKeyMessage(bytes) ? read.isEmpty() : read == bytes);
        return 0;
    }

    Check(sealing.SendTo("PC01", bytes));
    const QByteArray sent = inner.sent;
    inner.queue.push_back(sent);
    QByteArray read;
    Check(sealing.ReadNext(read));
    if (sealing.LastSendSealed()) {
        // A record that does not name this machine as its signer is sealed but not accepted.
        Check(read.isEmpty() || (read == bytes && sealing.LastSeal() == Seal::Pinned));
    } else {
        Check(sent == bytes);
    }
    return 0;
}
