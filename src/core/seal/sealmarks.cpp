#include "seal/sealmarks.h"

#include <QList>
#include <algorithm>

namespace varnel {

void SealMarks::Arrived(QByteArrayView key, Seal seal) {
    const QByteArray k = key.toByteArray();
    if (seal == Seal::Plain) {
        m_dirty |= m_received.remove(k) > 0;
        return;
    }
    m_received.insert(k, seal == Seal::Pinned ? 'P' : 'U');
    m_dirty = true;
}

Seal SealMarks::ArrivedAs(QByteArrayView key) const {
    switch (m_received.value(key.toByteArray())) {
    case 'P':
        return Seal::Pinned;
    case 'U':
        return Seal::Unpinned;
    default:
        return Seal::Plain;
    }
}

void SealMarks::Sent(QByteArrayView key, bool sealed) {
    const QByteArray k = key.toByteArray();
    if (!sealed) {
        m_dirty |= m_sent.remove(k) > 0;
        return;
    }
    m_sent.insert(k, true);
    m_dirty = true;
}

bool SealMarks::WentSealed(QByteArrayView key) const {
    return m_sent.contains(key.toByteArray());
}

void SealMarks::Keep(const std::function<bool(const QByteArray&)>& received,
                     const std::function<bool(const QByteArray&)>& sent) {
    m_dirty |= m_received.removeIf([&](const auto& it) { return !received(it.key()); }) > 0;
    m_dirty |= m_sent.removeIf([&](const auto& it) { return !sent(it.key()); }) > 0;
}

QByteArray SealMarks::Text() const {
    // In key order, so the same marks always give the same file.
    QList<QByteArray> lines;
    for (auto it = m_received.cbegin(); it != m_received.cend(); ++it)
        lines.append(QByteArray(1, it.value()) + ' ' + it.key().toBase64());
    for (auto it = m_sent.cbegin(); it != m_sent.cend(); ++it)
        lines.append("S " + it.key().toBase64());
    std::sort(lines.begin(), lines.end());
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + '\n';
    return text;
}

int SealMarks::Load(QByteArrayView text) {
    int skipped = 0;
    for (const QByteArray& line : text.toByteArray().split('\n')) {
        if (line.isEmpty())
            continue;
        auto key = QByteArray::fromBase64Encoding(line.mid(2), QByteArray::AbortOnBase64DecodingErrors);
        if (line.size() < 3 || line[1] != ' ' || !key || key.decoded.isEmpty()) {
            ++skipped;
            continue;
        }
        switch (line[0]) {
        case 'P':
        case 'U':
            m_received.insert(*key, line[0]);
            break;
        case 'S':
            m_sent.insert(*key, true);
            break;
        default:
            ++skipped;
        }
    }
    return skipped;
}

} // namespace varnel
