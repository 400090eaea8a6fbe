#include "seal/sealdesk.h"

namespace varnel {

SealDesk::SealDesk(const Identity& identity, Keyring& keyring, SealMarks& marks, SealingEndpoint& endpoint,
                   std::function<bool()> keep)
    : m_identity(identity), m_keyring(keyring), m_marks(marks), m_endpoint(endpoint),
      m_keep(std::move(keep)) {
    if (!m_keep)
        m_keep = [] { return true; };
    m_endpoint.SetSealMarks(&m_marks);
}

void SealDesk::RequestKeys(const QList<QByteArray>& hosts) {
    for (const QByteArray& host : hosts) {
        if (m_keyring.Pinned(host).isEmpty())
            m_endpoint.RequestKey(host);
    }
}

QByteArray SealDesk::FingerprintOf(const QByteArray& host) const {
    const QByteArray key = m_keyring.Pinned(host);
    return key.isEmpty() ? QByteArray() : Fingerprint(key);
}

QList<SealDesk::KeyChange> SealDesk::TakeKeyChanges() {
    QList<KeyChange> changes;
    for (const Keyring::Change& change : m_keyring.TakeUntold())
        changes.append({change.name, Fingerprint(change.pinned), Fingerprint(change.candidate)});
    if (!changes.isEmpty())
        m_keep();
    return changes;
}

bool SealDesk::AcceptKey(const QByteArray& name) {
    const bool accepted = m_keyring.Accept(name);
    m_keep();
    return accepted;
}

bool SealDesk::Keep(const std::function<bool(const QByteArray&)>& received,
                    const std::function<bool(const QByteArray&)>& sent) {
    m_marks.Keep(received, sent);
    return m_keep();
}

} // namespace varnel
