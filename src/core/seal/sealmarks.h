#pragma once

#include "transport/endpoint.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <functional>

namespace varnel {

// Which mail went or came sealed, by record key: the mailbox files keep their format, so this is
// kept beside them. A received mail with no mark came plain; a sent copy with no mark went plain.
class SealMarks {
public:
    void Arrived(QByteArrayView key, Seal seal);
    Seal ArrivedAs(QByteArrayView key) const;
    void Sent(QByteArrayView key, bool sealed);
    bool WentSealed(QByteArrayView key) const;

    // Forgets the marks of mail no longer in the boxes.
    void Keep(const std::function<bool(const QByteArray& key)>& received,
              const std::function<bool(const QByteArray& key)>& sent);
    bool Dirty() const { return m_dirty; }
    void Saved() { m_dirty = false; }

    // One mark a line: 'P' (came sealed under the pinned key), 'U' (sealed under another key) or
    // 'S' (went sealed), a space, the record key in base64. Unusable lines are skipped and counted.
    QByteArray Text() const;
    int Load(QByteArrayView text);

private:
    QHash<QByteArray, char> m_received;
    QHash<QByteArray, bool> m_sent;
    bool m_dirty = false;
};

} // namespace varnel
