#include "seal/keyring.h"

#include "seal/identity.h"
#include "seal/sealedformat.h"

namespace varnel {

bool Keyring::Learn(QByteArrayView name, QByteArrayView key) {
    if (name.isEmpty() || name.size() > kMaxSealedName || key.size() != kPublicKeySize)
        return false;
    const QByteArray id = KeyOf(name);
    if (m_entries.contains(id))
        return false;
    m_entries.insert(id, Entry{name.toByteArray(), key.toByteArray(), {}, false});
    m_order.append(id);
    m_dirty = true;
    return true;
}

Keyring::Seen Keyring::Offer(QByteArrayView name, QByteArrayView key) {
    if (Learn(name, key))
        return Seen::First;
    auto it = m_entries.find(KeyOf(name));
    if (it == m_entries.end())
        return Seen::Changed; // a name or key that cannot be pinned is never trusted
    if (it->pinned == key)
        return Seen::Same;
    if (it->candidate != key) {
        it->candidate = key.toByteArray();
        it->told = false;
        m_dirty = true;
    }
    return Seen::Changed;
}

bool Keyring::Accept(QByteArrayView name) {
    auto it = m_entries.find(KeyOf(name));
    if (it == m_entries.end() || it->candidate.isEmpty())
        return false;
    it->pinned = std::exchange(it->candidate, {});
    it->told = false;
    m_dirty = true;
    return true;
}

QByteArray Keyring::Pinned(QByteArrayView name) const {
    return m_entries.value(KeyOf(name)).pinned;
}

QByteArray Keyring::Candidate(QByteArrayView name) const {
    return m_entries.value(KeyOf(name)).candidate;
}

QList<Keyring::Change> Keyring::TakeUntold() {
    QList<Change> changes;
    for (const QByteArray& id : std::as_const(m_order)) {
        Entry& entry = m_entries[id];
        if (entry.candidate.isEmpty() || entry.told)
            continue;
        entry.told = true;
        m_dirty = true;
        changes.append({entry.name, entry.pinned, entry.candidate});
    }
    return changes;
}

QByteArray Keyring::Text() const {
    QByteArray text;
    for (const QByteArray& id : std::as_const(m_order)) {
        const Entry& entry = *m_entries.constFind(id);
        text += entry.name.toBase64() + ' ' + entry.pinned.toBase64();
        if (!entry.candidate.isEmpty())
            text += ' ' + entry.candidate.toBase64() + (entry.told ? " 1" : " 0");
        text += '\n';
    }
    return text;
}

int Keyring::Load(QByteArrayView text) {
    int skipped = 0;
    for (const QByteArrayView line : QByteArray(text.toByteArray()).split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QList<QByteArray> fields = line.toByteArray().split(' ');
        Entry entry;
        bool ok = fields.size() == 2 || fields.size() == 4;
        if (ok) {
            entry.name = QByteArray::fromBase64(fields[0]);
            entry.pinned = QByteArray::fromBase64(fields[1]);
            if (fields.size() == 4) {
                entry.candidate = QByteArray::fromBase64(fields[2]);
                entry.told = fields[3] == "1";
                ok = entry.candidate.size() == kPublicKeySize && (fields[3] == "0" || fields[3] == "1");
            }
            ok = ok && !entry.name.isEmpty() && entry.name.size() <= kMaxSealedName &&
                 entry.pinned.size() == kPublicKeySize && !m_entries.contains(KeyOf(entry.name));
        }
        if (!ok) {
            ++skipped;
            continue;
        }
        const QByteArray id = KeyOf(entry.name);
        m_entries.insert(id, entry);
        m_order.append(id);
    }
    return skipped;
}

} // namespace varnel
