#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

namespace varnel {

// The public keys of the other machines, pinned by machine name on first use. A key once pinned is
// replaced only when the person accepts a new one; a different key that proved itself (a sealed mail
// that opened and verified under it) is kept beside it as the candidate, and its change is told once.
class Keyring {
public:
    enum class Seen { First, Same, Changed };
    struct Change {
        QByteArray name;
        QByteArray pinned;
        QByteArray candidate;
    };

    // A key from an announcement or a key datagram: pinned when the machine has none yet, else
    // ignored (what anyone can announce never displaces a key). True when it was pinned.
    bool Learn(QByteArrayView name, QByteArrayView key);
    // A key that opened a sealed datagram: pinned when none was, else compared with the pinned one.
    // A different one becomes the machine's candidate.
    Seen Offer(QByteArrayView name, QByteArrayView key);
    // The person accepts the candidate: it becomes the pinned key. False when there is none.
    bool Accept(QByteArrayView name);

    QByteArray Pinned(QByteArrayView name) const;
    QByteArray Candidate(QByteArrayView name) const;
    // Changes not told yet, each returned once (also across restarts).
    QList<Change> TakeUntold();
    // Whether something changed since the last Text.
    bool Dirty() const { return m_dirty; }
    void Saved() { m_dirty = false; }

    // One machine a line: name, pinned key, and when there is one the candidate with a told flag,
    // each field in base64. Lines that cannot be used are skipped and counted.
    QByteArray Text() const;
    int Load(QByteArrayView text);

private:
    struct Entry {
        QByteArray name;
        QByteArray pinned;
        QByteArray candidate;
        bool told = false;
    };
    static QByteArray KeyOf(QByteArrayView name) { return name.toByteArray().toLower(); }
    QHash<QByteArray, Entry> m_entries;
    QList<QByteArray> m_order; // lower-case names in the order first pinned
    bool m_dirty = false;
};

} // namespace varnel
