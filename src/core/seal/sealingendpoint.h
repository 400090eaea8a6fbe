#pragma once

#include "seal/identity.h"
#include "transport/endpoint.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <chrono>
#include <functional>

namespace varnel {

class Keyring;
class SealMarks;

// An endpoint that seals: mail and receipts to a machine whose key is pinned go out signed and
// encrypted to it, sealed datagrams that arrive are opened and handed on as the record bytes they
// carry, and key datagrams are answered here. Everything else passes through unchanged. Sits right
// below the mail slot, so the slot and the courier see records as ever, and ask LastSeal.
class SealingEndpoint final : public Endpoint {
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    // A key request goes to one machine at most this often, and is answered at most this often.
    static constexpr std::chrono::seconds kKeyRequestPause{30};
    static constexpr int kMaxSharedKeys = 256;
    static constexpr int kMaxUnanswered = 16;

    SealingEndpoint(Endpoint& inner, const Identity& identity, Keyring& keyring,
                    Now now = std::chrono::steady_clock::now);

    // This machine's name as the network lists it, which sealed datagrams carry; nothing is sealed
    // before it is known. This machine's own key is pinned under it.
    void SetLocalName(const QByteArray& name);
    // Plain mail and receipts are refused both ways: not sent, and dropped when they arrive.
    void SetSealedOnly(bool sealedOnly) { m_sealedOnly = sealedOnly; }
    bool SealedOnly() const { return m_sealedOnly; }
    // Where announced keys are found (live discovery): a machine without a pinned key is pinned with
    // the key it announces, if any, before anything is sent to it.
    void SetAnnouncedKeys(std::function<QByteArray(const QByteArray& host)> announced) {
        m_announced = std::move(announced);
    }
    // Where a mail that went sealed is noted, by its record key, whichever path sent it (a first
    // send, a send again, a retry): its receipts then count only when they come sealed.
    void SetSealMarks(SealMarks* marks) { m_marks = marks; }
    // Asks a machine for its key (at most once per pause), sending ours along.
    void RequestKey(QByteArrayView host);

    // What was refused or dropped since the last call: plain records refused in and out, sealed
    // datagrams that did not open or verify.
    struct Refusals {
        int plainIn = 0;
        int plainOut = 0;
        int broken = 0;
    };
    Refusals TakeRefusals() { return std::exchange(m_refusals, {}); }

    bool Open() override { return m_inner.Open(); }
    void Close() override { m_inner.Close(); }
    bool IsOpen() const override { return m_inner.IsOpen(); }
    qint64 PendingSize() override { return m_inner.PendingSize(); }
    // A sealed datagram that opens is read as its record; one that does not, a key datagram and a
    // refused plain record are read as an empty datagram, which the mail slot drops.
    bool ReadNext(QByteArray& datagram) override;
    bool LastFromThisMachine() const override { return m_inner.LastFromThisMachine(); }
    Seal LastSeal() const override { return m_lastSeal; }
    bool LastSendSealed() const override { return m_lastSendSealed; }
    bool SendTo(QByteArrayView host, QByteArrayView datagram) override;
    bool SendWhenResolved(QByteArrayView host, QByteArrayView datagram) override;
    void Resolve(const QList<QByteArray>& hosts, std::chrono::milliseconds limit) override {
        m_inner.Resolve(hosts, limit);
    }

    // The sealed datagram of a record datagram to the machine of recipientKey, from this machine.
    QByteArray SealRecord(QByteArrayView recipientKey, QByteArrayView record);

private:
    enum class Route { Sealed, Plain, Refused };
    // What to send for datagram to host: the sealed form, the datagram itself, or nothing.
    Route Prepare(QByteArrayView host, QByteArrayView datagram, QByteArray& out);
    bool Opened(QByteArrayView raw, QByteArray& record);
    void TakeKeyMessage(QByteArrayView raw);
    // The precomputed crypto_box key between this machine and the holder of an Ed25519 public key;
    // empty when that key is no valid point.
    const QByteArray& SharedKey(const QByteArray& signPublic);
    bool Due(QHash<QByteArray, std::chrono::steady_clock::time_point>& last, QByteArrayView host);
    // After a send: whether it went sealed, noted for a mail.
    bool Sent(bool sealed, bool sent, QByteArrayView datagram);

    Endpoint& m_inner;
    const Identity& m_identity;
    Keyring& m_keyring;
    SealMarks* m_marks = nullptr;
    Now m_now;
    std::function<QByteArray(const QByteArray&)> m_announced;
    QByteArray m_localName;
    bool m_sealedOnly = false;
    Seal m_lastSeal = Seal::Plain;
    bool m_lastSendSealed = false;
    Refusals m_refusals;
    QHash<QByteArray, QByteArray> m_shared; // Ed25519 public key -> precomputed shared key
    QHash<QByteArray, std::chrono::steady_clock::time_point> m_asked;    // lower-case name
    QHash<QByteArray, std::chrono::steady_clock::time_point> m_answered; // lower-case name
    QList<QByteArray> m_unanswered; // asked before this machine's name was known (a few at most)
};

} // namespace varnel
