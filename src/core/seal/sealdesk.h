#pragma once

#include "seal/identity.h"
#include "seal/keyring.h"
#include "seal/sealingendpoint.h"
#include "seal/sealmarks.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace varnel {

// What the rest of the program asks about sealing: this machine's fingerprint and the others', how
// a mail went or came, key changes to tell and accept, and the sealed-only rule. Composes the
// identity, the keyring, the seal marks and the sealing endpoint, which its owner keeps alive.
class SealDesk {
public:
    // keep: puts the keyring and the marks on disk when they changed; true when they are there.
    SealDesk(const Identity& identity, Keyring& keyring, SealMarks& marks, SealingEndpoint& endpoint,
             std::function<bool()> keep);

    void SetLocalName(const QByteArray& name) { m_endpoint.SetLocalName(name); }
    // Asks every listed machine without a pinned key for its key (each at most once per pause).
    void RequestKeys(const QList<QByteArray>& hosts);
    SealMarks& Marks() { return m_marks; }

    QByteArray OwnFingerprint() const { return Fingerprint(m_identity.PublicKey()); }
    // The fingerprint of the key pinned for a machine; empty when none is.
    QByteArray FingerprintOf(const QByteArray& host) const;
    Seal ArrivedAs(const QByteArray& key) const { return m_marks.ArrivedAs(key); }
    bool WentSealed(const QByteArray& key) const { return m_marks.WentSealed(key); }

    struct KeyChange {
        QByteArray name;
        QByteArray pinnedFingerprint;
        QByteArray newFingerprint;
    };
    // Key changes not told yet, each once.
    QList<KeyChange> TakeKeyChanges();
    // The person accepts the new key of a machine.
    bool AcceptKey(const QByteArray& name);

    void SetSealedOnly(bool sealedOnly) { m_endpoint.SetSealedOnly(sealedOnly); }
    bool SealedOnly() const { return m_endpoint.SealedOnly(); }
    SealingEndpoint::Refusals TakeRefusals() { return m_endpoint.TakeRefusals(); }

    // Forgets marks of mail no longer in the boxes and puts everything on disk.
    bool Keep(const std::function<bool(const QByteArray&)>& received,
              const std::function<bool(const QByteArray&)>& sent);
    bool Keep() { return m_keep(); }

private:
    const Identity& m_identity;
    Keyring& m_keyring;
    SealMarks& m_marks;
    SealingEndpoint& m_endpoint;
    std::function<bool()> m_keep;
};

} // namespace varnel
